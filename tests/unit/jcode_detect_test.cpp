// The encoding detector: byte-order marks, the UTF-8 pass and its sequence
// boundaries, the Shift-JIS/EUC-JP decision, the 16-bit scan and its 4096-byte
// cap, the EUC-JP scan, and the bytes read past the end of the string.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "jcode/detect.h"
#include "support/tool_run.h"

namespace {

struct DetectCase {
    const char* scenario;
    std::string text;   // the string; its length is what the detector is told
    std::string after;  // the two bytes that follow it in the caller's buffer
    int mode;
    int expected;
};

std::string Repeat(const std::string& unit, int times) {
    std::string s;
    for (int i = 0; i < times; ++i)
        s += unit;
    return s;
}

// Runs the detector on a heap buffer that ends exactly where the caller's
// guarantee ends (two bytes after the string, at least three bytes), so that
// the sanitizer catches any read beyond it.
int Detect(const std::string& text, const std::string& after, int mode) {
    std::string bytes = text + after;
    while (bytes.size() < 3)
        bytes.push_back(0);
    std::vector<uint8_t> buffer(bytes.begin(), bytes.end());
    return DetectEncoding(buffer.data(), static_cast<int32_t>(text.size()), mode);
}

const std::string Zeros("\0\0", 2);
const std::string Hiragana3 = "\xE3\x81\x82";  // あ in UTF-8
const std::string Accent2 = "\xC3\xA9";        // é in UTF-8

const DetectCase detectCases[] = {
    // Byte-order marks, whatever the length.
    {"FF FE is the UTF-16LE mark", "\xFF\xFE", Zeros, 1, Utf16LeBom},
    {"FE FF is the UTF-16BE mark", "\xFE\xFF", Zeros, 1, Utf16BeBom},
    {"EF BB BF leads a UTF-8 mark", "\xEF\xBB\xBF\x41\x42", Zeros, 1, Utf8Bom},
    {"mark read past a one-byte string", "\xFF", std::string("\xFE\x00", 2), 1, Utf16LeBom},
    {"mark read on an empty string", "", std::string("\xEF\xBB\xBF", 3), 1, Utf8Bom},
    {"empty string without mark", "", Zeros, 1, Undetermined},

    // 7-bit text and stray control bytes.
    {"printable and line-control bytes", "ab c\t\r\n\x1A~\x7F", Zeros, 1, Undetermined},
    {"control byte, odd length, ends in EUC scan",
     "A\x01"
     "B",
     Zeros, 1, Undetermined},
    {"control byte, even length, 16-bit scan answers",
     "AB\x01"
     "C",
     Zeros, 1, Utf16BeText},
    {"UTF-16LE hiragana without zero or high bytes", "\x42\x30\x44\x30\x46\x30", Zeros, 1,
     Undetermined},

    // UTF-8 and the 49/50 confirmation boundary (odd lengths keep the 16-bit
    // scan out: a TAB last with a zero after it turns the confirmation to
    // Doubtful, and the EUC-JP scan then reads the pairs as EUC-JP).
    {"49 two-byte sequences and TAB, confirm pass doubts", Repeat(Accent2, 49) + "\t", Zeros, 1,
     EucText},
    {"50 two-byte sequences and TAB need no confirmation", Repeat(Accent2, 50) + "\t", Zeros, 1,
     Utf8Text},
    {"49 sequences in mode 0 need no confirmation", Repeat(Accent2, 49) + "\t", Zeros, 0, Utf8Text},
    {"49 sequences and TAB, printable byte after", Repeat(Accent2, 49) + "\t", "A\0", 1, Utf8Text},
    {"49 three-byte characters confirmed", Repeat(Hiragana3, 49), Zeros, 1, Utf8Text},
    {"C3 A9 TAB, zero after", Accent2 + "\t", Zeros, 1, EucText},
    {"C3 A9 TAB, 41 after", Accent2 + "\t", "A\0", 1, Utf8Text},
    {"61 C3 A9 TAB, zero after, 16-bit scan answers", "a" + Accent2 + "\t", Zeros, 1, Utf16BeText},

    // The 101/102 sequence boundary: the pass stops after 102 sequences and
    // never sees the zero byte behind them.
    {"102 three-byte characters then zero", Repeat(Hiragana3, 102) + '\0', Zeros, 1, Utf8Text},
    {"101 three-byte characters then zero", Repeat(Hiragana3, 101) + '\0', Zeros, 1, Utf16LeText},
    {"102 two-byte sequences then zero", Repeat(Accent2, 102) + '\0', Zeros, 1, Utf8Text},
    {"101 two-byte sequences then zero", Repeat(Accent2, 101) + '\0', Zeros, 1, Rejected},

    // Shift-JIS against EUC-JP: ten pairs in A1-DF make EUC-JP, nine do not.
    {"ten EUC-JP hiragana", Repeat("\xA4\xA2", 10), Zeros, 1, EucText},
    {"nine EUC-JP hiragana", Repeat("\xA4\xA2", 9), Zeros, 1, ShiftJisText},
    {"EUC-only pair (second byte above DF)", "\xB0\xEC", Zeros, 1, EucText},
    {"Shift-JIS kanji", "\x8A\xBF\x8E\x9A", Zeros, 1, ShiftJisText},
    {"EUC-only pair then Shift-JIS, no control: 16-bit scan runs",
     "\xB0\xEC"
     "A\x82\xA0"
     "A",
     Zeros, 1, Utf16BeText},
    {"EUC-only pair then Shift-JIS with control: Rejected skips 16-bit scan",
     "\xB0\xEC\x0D\x82\xA0"
     "A",
     Zeros, 1, EucText},
    {"the same with the control byte inside eight plain bytes",
     "\xB0\xEC"
     "a\x0D"
     "bcdefghij\x82\xA0"
     "A",
     Zeros, 1, EucText},
    {"Shift-JIS with a bad byte inside", "\x82\xA0\x80\x41\x42", Zeros, 1, Rejected},
    {"82 A0 TAB, zero after", "\x82\xA0\t", Zeros, 1, Undetermined},
    {"single A4, zero after: bad last byte is no bad byte", "\xA4", Zeros, 1, ShiftJisText},
    {"single 8F, zero after", "\x8F", Zeros, 1, ShiftJisText},

    // The 16-bit scan.
    {"UTF-16LE Latin letters", std::string("A\0B\0", 4), Zeros, 1, Utf16LeText},
    {"UTF-16BE Latin letters", std::string("\0A\0B", 4), Zeros, 1, Utf16BeText},
    {"a little-endian space outweighs big-endian hits", std::string(" \0\0A\0B", 6), Zeros, 1,
     Utf16LeText},
    {"full-width forms little-endian", "\x21\xFF\x22\xFF", Zeros, 1, Utf16LeText},
    {"full-width forms big-endian", "\xFF\x21\xFF\x22", Zeros, 1, Utf16BeText},
    {"little-endian markers の は", "\x6E\x30\x6F\x30\x01\x26", Zeros, 1, Utf16LeText},
    {"8-bit line break ends the 16-bit scan Doubtful",
     "\x01"
     "ABCD\x0A"
     "EF",
     Zeros, 1, Undetermined},
    {"same text without the line break",
     "\x01"
     "ABCDGEF",
     Zeros, 1, Utf16BeText},
    {"zero unit rejects, EUC-JP scan rejects", std::string("A\0\0\0", 4), Zeros, 1, Rejected},
    {"CR LF unit, EUC-JP scan meets the zero", std::string("A\0\x0D\x0A", 4), Zeros, 1, Rejected},

    // The EUC-JP scan.
    {"8F last reads two EUC bytes past the end", "A\x01\x8F", "\xA1\xA1", 1, EucText},
    {"8F last reads a zero past the end", "A\x01\x8F", Zeros, 1, Doubtful},
    {"EUC kana pair after a control byte", "\x01\x8E\xB1", Zeros, 1, EucText},
    {"EUC pair after a Shift-JIS pair", "\x01\x8E\x40\xB0\xEC", Zeros, 1, Rejected},
    {"truncated EUC byte at the end without kana",
     "\x01"
     "A\xA4\xA2\xA4",
     Zeros, 1, Undetermined},
};

TEST(DetectEncoding, ClassifiesEachBoundaryCase) {
    for (const DetectCase& c : detectCases) {
        SCOPED_TRACE(std::string(c.scenario) + ": " + Hex(c.text) + " | " + Hex(c.after));
        EXPECT_EQ(Detect(c.text, c.after, c.mode), c.expected);
    }
}

// Hiragana TE in UTF-16LE, 3000 times, then a zero unit: the 16-bit scan
// stops at 4096 bytes and never meets the zero unit.
TEST(DetectEncoding, Utf16ScanStopsAt4096BytesBeforeALaterZeroUnit) {
    std::string text = Repeat("\x66\x30", 3000) + std::string("\0\0", 2);
    EXPECT_EQ(Detect(text, Zeros, 1), Utf16LeText);
}

// When the 16-bit scan has run, the EUC-JP scan is held to the same 4096
// bytes: a 0xFF beyond them does not reject the text.
TEST(DetectEncoding, EucScanIsHeldToTheCappedLength) {
    std::string head =
        "\x0D\x0A\x01"
        "A";  // an 8-bit CR LF unit: the 16-bit scan doubts
    std::string text = head + std::string(4092, 'A') + std::string(900, 'A') + "\xFF" + "A";
    ASSERT_EQ(text.size() % 2, 0u);
    EXPECT_EQ(Detect(text, Zeros, 1), Undetermined);
    std::string shortText = head + std::string(900, 'A') + "\xFF" + "A";
    EXPECT_EQ(Detect(shortText, Zeros, 1), Rejected);
}

}  // namespace
