// Converting the Shift-JIS output for a terminal that works in another set.
#include <gtest/gtest.h>

#include <string>

#include "platform/console_charset.h"

namespace {

TEST(TerminalCharset, ShiftJisNamesAndTheirVariants) {
    for (const char* name :
         {"SHIFT_JIS", "Shift_JIS", "SJIS", "sjis", "CP932", "cp932", "WINDOWS-31J", "MS932",
          "IBM-943", "MS_KANJI", "SJIS-WIN", "SHIFT_JISX0213"}) {
        EXPECT_TRUE(IsShiftJisCharset(name)) << name;
    }
    for (const char* name :
         {"UTF-8", "utf8", "ANSI_X3.4-1968", "EUC-JP", "ISO-8859-1", "", "CP1252", "UTF-16"}) {
        EXPECT_FALSE(IsShiftJisCharset(name)) << name;
    }
}

TEST(TerminalCharset, CharsetPartOfLocaleNames) {
    EXPECT_EQ(CharsetOfLocaleName("ja_JP.UTF-8"), "UTF-8");
    EXPECT_EQ(CharsetOfLocaleName("ja_JP.SJIS"), "SJIS");
    EXPECT_EQ(CharsetOfLocaleName("de_DE.ISO-8859-15@euro"), "ISO-8859-15");
    EXPECT_EQ(CharsetOfLocaleName("C.utf8"), "utf8");
    EXPECT_EQ(CharsetOfLocaleName("C"), "");
    EXPECT_EQ(CharsetOfLocaleName("ja_JP"), "");
    EXPECT_EQ(CharsetOfLocaleName(""), "");
}

class TerminalTranscoderTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(OpenTerminalTranscoder(&transcoder, "UTF-8"));
    }
    void TearDown() override {
        std::string ignored;
        CloseTerminalTranscoder(&transcoder, &ignored);
    }
    std::string Convert(const std::string& bytes) {
        std::string out;
        TranscodeForTerminal(&transcoder, bytes, &out);
        return out;
    }
    TerminalTranscoder transcoder = {nullptr, 0, 0};
};

TEST_F(TerminalTranscoderTest, ShiftJisBecomesReadableUtf8) {
    // 報告書.txt, half-width カ, a backslash and a tilde as ASCII
    EXPECT_EQ(Convert("\x95\xF1\x8D\x90\x8F\x91.txt \xB6 a\\b~\r\n"), "報告書.txt ｶ a\\b~\r\n");
    EXPECT_EQ(Convert("\x95\x5C"), "表");  // trail byte 0x5C is not a backslash
}

TEST_F(TerminalTranscoderTest, CharacterSplitBetweenWritesConvertsWhole) {
    std::string out = Convert("ab\x95");
    out += Convert("\xF1\x8D");
    out += Convert("\x90");
    EXPECT_EQ(out, "ab報告");
}

TEST_F(TerminalTranscoderTest, BytesThatAreNoCharacterBecomeQuestionMarks) {
    EXPECT_EQ(Convert("a\x80"
                      "b\xFF"
                      "c"),
              "a?b?c");
    EXPECT_EQ(Convert("\x81\x0A"
                      "d"),
              "?\nd");  // lead byte without a trail byte
    EXPECT_EQ(Convert("\x85\x40"
                      "e"),
              "?e");  // unassigned pair counts as one character
}

TEST_F(TerminalTranscoderTest, LeadByteLeftAtTheEndIsShownOnClose) {
    std::string out = Convert("x\x95");
    EXPECT_EQ(out, "x");
    CloseTerminalTranscoder(&transcoder, &out);
    EXPECT_EQ(out, "x?");
    EXPECT_EQ(transcoder.converter, nullptr);
}

TEST(TerminalTranscoderOpen, UnknownCharsetIsRefused) {
    TerminalTranscoder transcoder = {nullptr, 0, 0};
    EXPECT_FALSE(OpenTerminalTranscoder(&transcoder, "NO-SUCH-CHARSET-X"));
    EXPECT_EQ(transcoder.converter, nullptr);
}

}  // namespace
