// The code page 932 service: defined mappings both ways, the single bytes
// that map to U+0080 and U+F8F0-U+F8F3, and the fixed replacements ("?" one
// way, U+30FB the other) with their report.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "jcode/cp932_table.h"
#include "platform/codepage.h"
#include "support/tool_run.h"

namespace {

std::string UnitsHex(const std::u16string& units) {
    std::string s;
    char buffer[8];
    for (char16_t u : units) {
        std::snprintf(buffer, sizeof buffer, "%s%04X", s.empty() ? "" : " ", unsigned(u));
        s += buffer;
    }
    return s;
}

struct ToUtf16Case {
    const char* scenario;
    std::string bytes;
    std::u16string units;
    bool replaced;
};

const ToUtf16Case toUtf16Cases[] = {
    {"ASCII with backslash and tilde", "a\\~", u"a\\~", false},
    {"hiragana and kanji", "\x82\xA0\x8A\xBF", u"\u3042\u6F22", false},
    {"half-width katakana", "\xB1\xDF", u"\uFF71\uFF9F", false},
    {"single byte 80", "\x80", u"\u0080", false},
    {"single byte A0", "\xA0", u"\uF8F0", false},
    {"single bytes FD FE FF", "\xFD\xFE\xFF", u"\uF8F1\uF8F2\uF8F3", false},
    {"NEC special row", "\x87\x40", u"\u2460", false},
    {"NEC-selected IBM extension", "\xED\x40", u"\u7E8A", false},
    {"IBM extension", "\xFA\x40", u"\u2170", false},
    {"first user-defined code", "\xF0\x40", u"\uE000", false},
    {"last user-defined code", "\xF9\xFC", u"\uE757", false},
    {"JIS variants read as code page 932 defines them", "\x81\x60\x81\x61\x81\x7C\x81\x5C",
     u"\uFF5E\u2225\uFF0D\u2015", false},
    {"undefined code in area A is one U+30FB",
     "\x85\x40"
     "A",
     u"\u30FB"
     "A",
     true},
    {"undefined code in row 2", "\x81\xAD", u"\u30FB", true},
    {"lead byte before a non-trail byte",
     "\x82\x20"
     "A",
     u"\u30FB A", true},
    {"lead byte at the end", "A\x82", u"A\u30FB", true},
};

TEST(CodePage932ToUtf16, MapsEachCharacterToOneUnitAndReportsReplacements) {
    for (const ToUtf16Case& c : toUtf16Cases) {
        SCOPED_TRACE(std::string(c.scenario) + ": " + Hex(c.bytes));
        std::vector<char16_t> out(16);
        size_t written = 99;
        bool replaced = false;
        int result = CodePage932ToUtf16(c.bytes.data(), c.bytes.size(), out.data(), out.size(),
                                        &written, &replaced);
        EXPECT_EQ(result, CodePageDone);
        EXPECT_EQ(UnitsHex(std::u16string(out.data(), written)), UnitsHex(c.units));
        EXPECT_EQ(replaced, c.replaced);
    }
}

struct FromUtf16Case {
    const char* scenario;
    std::u16string units;
    std::string bytes;
    bool replaced;
};

const FromUtf16Case fromUtf16Cases[] = {
    {"ASCII", u"a\\~", "a\\~", false},
    {"hiragana", u"\u3042", "\x82\xA0", false},
    {"full-width tilde", u"\uFF5E", "\x81\x60", false},
    {"half-width katakana", u"\uFF71", "\xB1", false},
    {"user-defined area", u"\uE000\uE757", "\xF0\x40\xF9\xFC", false},
    {"IBM extension small roman one", u"\u2170", "\xFA\x40", false},
    {"U+0080 and U+F8F0-U+F8F3 back to single bytes", u"\u0080\uF8F0\uF8F1\uF8F2\uF8F3",
     "\x80\xA0\xFD\xFE\xFF", false},
    {"accented letter has no form", u"\u00E9", "?", true},
    {"yen sign is no backslash", u"a\u00A5b", "a?b", true},
    {"overline is no tilde", u"\u203E", "?", true},
    {"wave dash has no form of its own", u"\u301C", "?", true},
    {"em dash has no form of its own", u"\u2014", "?", true},
    {"each surrogate unit is one ?", u"\U0001F600", "??", true},
    {"lone surrogate between letters",
     u"a\xD83D"
     "b",
     "a?b", true},
    {"combining mark alone", u"\u3099", "?", true},
};

TEST(Utf16ToCodePage932, ConvertsHeldUnitsAndReplacesTheRestWithQuestionMarks) {
    for (const FromUtf16Case& c : fromUtf16Cases) {
        SCOPED_TRACE(std::string(c.scenario) + ": " + UnitsHex(c.units));
        std::vector<char> out(16);
        size_t written = 99;
        bool replaced = false;
        int result = Utf16ToCodePage932(c.units.data(), c.units.size(), out.data(), out.size(),
                                        &written, &replaced);
        EXPECT_EQ(result, CodePageDone);
        EXPECT_EQ(Hex(std::string(out.data(), written)), Hex(c.bytes));
        EXPECT_EQ(replaced, c.replaced);
    }
}

TEST(Utf16ToCodePage932, StopsAtAWholeCharacterWhenTheOutputIsFull) {
    std::u16string units = u"\u3042\u3044";
    std::vector<char> out(3);
    size_t written = 0;
    bool replaced = false;
    EXPECT_EQ(
        Utf16ToCodePage932(units.data(), units.size(), out.data(), out.size(), &written, &replaced),
        CodePageNoRoom);
    EXPECT_EQ(Hex(std::string(out.data(), written)), "82 A0");

    std::u16string question = u"a\u00E9";
    EXPECT_EQ(
        Utf16ToCodePage932(question.data(), question.size(), out.data(), 1, &written, &replaced),
        CodePageNoRoom);
    EXPECT_EQ(written, 1u);
}

TEST(CodePage932ToUtf16, StopsWhenTheOutputIsFull) {
    std::string bytes =
        "\x82\xA0\x80"
        "A";
    std::vector<char16_t> out(2);
    size_t written = 0;
    bool replaced = false;
    EXPECT_EQ(
        CodePage932ToUtf16(bytes.data(), bytes.size(), out.data(), out.size(), &written, &replaced),
        CodePageNoRoom);
    EXPECT_EQ(written, 2u);
    EXPECT_EQ(UnitsHex(std::u16string(out.data(), written)), "3042 0080");
}

// Every defined double-byte code converts to one unit that converts back to
// a code reading as the same unit: the two directions agree.
TEST(CodePage932, DefinedCodesSurviveARoundTrip) {
    int defined = 0;
    for (int lead = 0x81; lead <= 0xFC; ++lead) {
        if (lead > 0x9F && lead < 0xE0)
            continue;
        for (int trail = 0x40; trail <= 0xFC; ++trail) {
            if (trail == 0x7F)
                continue;
            char bytes[2] = {static_cast<char>(lead), static_cast<char>(trail)};
            char16_t unit = 0;
            size_t written = 0;
            bool replaced = false;
            CodePage932ToUtf16(bytes, 2, &unit, 1, &written, &replaced);
            ASSERT_EQ(written, 1u) << Hex(std::string(bytes, 2));
            if (replaced)
                continue;
            ++defined;
            char back[2] = {};
            bool lost = false;
            Utf16ToCodePage932(&unit, 1, back, 2, &written, &lost);
            char16_t again = 0;
            CodePage932ToUtf16(back, written, &again, 1, &written, &lost);
            ASSERT_FALSE(lost) << Hex(std::string(bytes, 2));
            ASSERT_EQ(again, unit) << Hex(std::string(bytes, 2));
        }
    }
    // JIS X 0208 (6879), the NEC special row (83), the NEC-selected (374) and
    // IBM (388) extensions and the user-defined area (1880).
    EXPECT_EQ(defined, 6879 + 83 + 374 + 388 + 1880);
}

// The table that the converters use gives what the platform gives, unit by
// unit over all of the 16-bit range, and fills up the same way.
TEST(Utf16ToCodePage932Cached, AgreesWithThePlatformOnEveryUnit) {
    for (uint32_t u = 0; u <= 0xFFFF; ++u) {
        char16_t unit = static_cast<char16_t>(u);
        char expected[2] = {};
        char actual[2] = {};
        size_t expectedWritten = 0;
        size_t actualWritten = 0;
        bool expectedReplaced = false;
        bool actualReplaced = false;
        Utf16ToCodePage932(&unit, 1, expected, 2, &expectedWritten, &expectedReplaced);
        Utf16ToCodePage932Cached(&unit, 1, actual, 2, &actualWritten, &actualReplaced);
        ASSERT_EQ(Hex(std::string(actual, actualWritten)),
                  Hex(std::string(expected, expectedWritten)))
            << "U+" << std::hex << u;
        ASSERT_EQ(actualReplaced, expectedReplaced) << "U+" << std::hex << u;
    }
    std::u16string units = u"a\u3042\u00E9\u3044";
    for (size_t capacity = 0; capacity <= 7; ++capacity) {
        SCOPED_TRACE(capacity);
        std::vector<char> expected(capacity + 1);
        std::vector<char> actual(capacity + 1);
        size_t expectedWritten = 0;
        size_t actualWritten = 0;
        bool expectedReplaced = false;
        bool actualReplaced = false;
        int expectedResult = Utf16ToCodePage932(units.data(), units.size(), expected.data(),
                                                capacity, &expectedWritten, &expectedReplaced);
        EXPECT_EQ(Utf16ToCodePage932Cached(units.data(), units.size(), actual.data(), capacity,
                                           &actualWritten, &actualReplaced),
                  expectedResult);
        EXPECT_EQ(Hex(std::string(actual.data(), actualWritten)),
                  Hex(std::string(expected.data(), expectedWritten)));
        // A text cut for room is refused whole by every caller, whatever the
        // flag says; it is compared where the text was converted whole.
        if (expectedResult == CodePageDone) {
            EXPECT_EQ(actualReplaced, expectedReplaced);
        }
    }
}

// The same for the other direction: every byte and every pair of bytes (a
// lead byte before each byte, any byte before a byte that starts nothing),
// and a text cut by the room for its units.
TEST(CodePage932ToUtf16Cached, AgreesWithThePlatformOnEveryByteAndPair) {
    auto expectSame = [](const std::string& bytes, size_t capacity) {
        std::vector<char16_t> expected(capacity + 1);
        std::vector<char16_t> actual(capacity + 1);
        size_t expectedWritten = 0;
        size_t actualWritten = 0;
        bool expectedReplaced = false;
        bool actualReplaced = false;
        int expectedResult = CodePage932ToUtf16(bytes.data(), bytes.size(), expected.data(),
                                                capacity, &expectedWritten, &expectedReplaced);
        int actualResult = CodePage932ToUtf16Cached(bytes.data(), bytes.size(), actual.data(),
                                                    capacity, &actualWritten, &actualReplaced);
        ASSERT_EQ(actualResult, expectedResult) << Hex(bytes);
        ASSERT_EQ(UnitsHex(std::u16string(actual.data(), actualWritten)),
                  UnitsHex(std::u16string(expected.data(), expectedWritten)))
            << Hex(bytes);
        if (expectedResult == CodePageDone) {
            ASSERT_EQ(actualReplaced, expectedReplaced) << Hex(bytes);
        }
    };
    for (int first = 0; first < 256; ++first) {
        expectSame(std::string(1, static_cast<char>(first)), 2);
        for (int second = 0; second < 256; ++second) {
            std::string pair = {static_cast<char>(first), static_cast<char>(second)};
            expectSame(pair, 2);
        }
    }
    std::string text = "a\x82\xA0\x85\x40\x82 \xFD";
    for (size_t capacity = 0; capacity <= 6; ++capacity)
        expectSame(text, capacity);
}

}  // namespace
