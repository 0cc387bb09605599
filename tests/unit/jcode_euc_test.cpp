// EUC-JP and JIS arithmetic (with its 8-bit wrap-around), the EUC-JP to
// Shift-JIS converter with its result codes, the newline rule it shares with
// the other converters, and its output bound.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "jcode/euc.h"
#include "support/tool_run.h"

namespace {

struct CodeCase {
    uint8_t first;
    uint8_t second;
    uint16_t expected;
};

std::string CodeTrace(const CodeCase& c) {
    return Hex(std::string{static_cast<char>(c.first), static_cast<char>(c.second)});
}

TEST(JisToShiftJis, GivesStandardCodesAndWrapsOutsideTheJisRange) {
    const CodeCase cases[] = {
        {0x21, 0x21, 0x8140}, {0x5E, 0x7E, 0x9FFC}, {0x5F, 0x21, 0xE040}, {0x21, 0x5F, 0x817E},
        {0x21, 0x60, 0x8180}, {0x22, 0x21, 0x819F}, {0x22, 0x7E, 0x81FC}, {0x75, 0x21, 0xEB40},
        {0x7E, 0x7E, 0xEFFC}, {0x00, 0xA1, 0x301E}, {0x20, 0x20, 0x009E}, {0x7F, 0x21, 0xF040},
        {0xFF, 0xFF, 0x301E},
    };
    for (const CodeCase& c : cases) {
        SCOPED_TRACE(CodeTrace(c));
        EXPECT_EQ(JisToShiftJis(c.first, c.second), c.expected);
    }
}

TEST(EucPairToShiftJis, ConvertsPairsThroughJis) {
    const CodeCase cases[] = {
        {0xA4, 0xA2, 0x82A0}, {0xB4, 0xC1, 0x8ABF}, {0xA1, 0xA1, 0x8140},
        {0xFE, 0xFE, 0xEFFC}, {0xF5, 0xA1, 0xEB40},
    };
    for (const CodeCase& c : cases) {
        SCOPED_TRACE(CodeTrace(c));
        EXPECT_EQ(EucPairToShiftJis(c.first, c.second), c.expected);
    }
}

TEST(EucPairToJis, FlipsTopBitsAndTakesKanaAlone) {
    const CodeCase cases[] = {
        {0xA4, 0xA2, 0x2422}, {0x8E, 0xB1, 0x00B1}, {0x21, 0x7F, 0xA1FF}, {0x8E, 0xA1, 0x00A1}};
    for (const CodeCase& c : cases) {
        SCOPED_TRACE(CodeTrace(c));
        EXPECT_EQ(EucPairToJis(c.first, c.second), c.expected);
    }
    // 0x8E through the pair arithmetic is not a half-width katakana, which is
    // why the string converter copies the kana byte itself.
    EXPECT_EQ(EucPairToShiftJis(0x8E, 0xB1), 0x3000 + (0xB1 - 0x83));
}

struct EucCase {
    const char* scenario;
    std::string source;
    ConversionFlags flags;
    int result;
    std::string output;
};

const EucCase eucCases[] = {
    {"empty text", "", NewlineCrLf, 0, ""},
    {"hiragana and kanji", "\xA4\xA2\xB4\xC1", NewlineCrLf, 0, "\x82\xA0\x8A\xBF"},
    {"half-width katakana keeps its byte",
     "\x8E\xB1"
     "A",
     NewlineCrLf, 0,
     "\xB1"
     "A"},
    {"newlines under CR LF", "a\r\nb\nc\rd", NewlineCrLf, 0, "a\r\nb\r\nc\r\nd"},
    {"newlines under CR", "a\r\nb\nc\rd", NewlineCr, 0, "a\rb\rc\rd"},
    {"newlines under LF", "a\r\nb\nc\rd", NewlineLf, 0, "a\nb\nc\nd"},
    {"newlines kept without a newline bit", "a\r\nb\nc\rd", 0, 0, "a\r\nb\nc\rd"},
    {"CR LF wins when every bit is set", "a\nb", NewlineCrLf | NewlineCr | NewlineLf, 0, "a\r\nb"},
    {"LF CR is two newlines", "\n\r", NewlineCrLf, 0, "\r\n\r\n"},
    {"text ends after an EUC byte", "A\xA4", NewlineCrLf, MissingTrailByte, "A"},
    {"text ends after 8E", "A\x8E", NewlineCrLf, MissingTrailByte, "A"},
    {"EUC byte before ASCII",
     "\xA4"
     "A",
     NewlineCrLf, BadEucTrailByte, ""},
    {"8E before ASCII",
     "\xA4\xA2\x8E"
     "A",
     NewlineCrLf, BadKanaTrailByte, "\x82\xA0"},
    {"8E before an EUC byte above DF", "\x8E\xE0", NewlineCrLf, BadKanaTrailByte, ""},
    {"three-byte JIS X 0212 character", "\x8F\xA1\xA1", NewlineCrLf, ThreeByteCodeRejected, ""},
    {"byte 80 where a character starts", "x\x80", NewlineCrLf, BadEucLeadByte, "x"},
    {"byte FF where a character starts", "x\xFF", NewlineCrLf, BadEucLeadByte, "x"},
    {"byte A0 where a character starts", "x\xA0\xA1", NewlineCrLf, BadEucLeadByte, "x"},
};

TEST(EucToShiftJis, ConvertsOrStopsWithTheFailingCharactersCode) {
    for (const EucCase& c : eucCases) {
        SCOPED_TRACE(std::string(c.scenario) + ": " + Hex(c.source));
        std::vector<char> output(64, '#');
        int lossy = -1;
        int result = EucToShiftJis(c.source.c_str(), output.data(), output.size(), c.flags, &lossy);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(Hex(output.data()), Hex(c.output));
        EXPECT_EQ(lossy, result != 0 ? 1 : 0);
    }
}

struct BoundCase {
    const char* scenario;
    std::string source;
    size_t capacity;
    int result;
    std::string output;
};

// The output holds `capacity` bytes with the terminator; a character or a
// newline that does not fit is left out whole and the text counts as cut.
TEST(EucToShiftJis, CutsAtACharacterThatDoesNotFitAndReportsTextTooLong) {
    const BoundCase cases[] = {
        {"two characters fit exactly", "\xA4\xA2\xA4\xA4", 5, 0, "\x82\xA0\x82\xA2"},
        {"second character does not fit", "\xA4\xA2\xA4\xA4", 4, TextTooLong, "\x82\xA0"},
        {"half a character never written", "\xA4\xA2\xA4\xA4", 2, TextTooLong, ""},
        {"a grown newline fits exactly", "A\n", 4, 0, "A\r\n"},
        {"a grown newline is not split", "A\n", 3, TextTooLong, "A"},
        {"room for the terminator only", "A", 1, TextTooLong, ""},
    };
    for (const BoundCase& c : cases) {
        SCOPED_TRACE(std::string(c.scenario) + ": " + Hex(c.source));
        std::vector<char> output(c.capacity + 4, '#');
        int lossy = 0;
        int result =
            EucToShiftJis(c.source.c_str(), output.data(), c.capacity, NewlineCrLf, &lossy);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(Hex(output.data()), Hex(c.output));
        EXPECT_EQ(lossy, c.result != 0 ? 1 : 0);
        EXPECT_EQ(std::string(output.data() + c.capacity, 4), "####") << "written past capacity";
    }
}

TEST(EucToShiftJis, ZeroCapacityWritesNothing) {
    char output[2] = {'#', '#'};
    EXPECT_EQ(EucToShiftJis("A", output, 0, NewlineCrLf), TextTooLong);
    EXPECT_EQ(output[0], '#');
}

}  // namespace
