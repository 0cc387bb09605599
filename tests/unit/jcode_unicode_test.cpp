// The UTF-8 coders and the UTF-8 / UTF-16LE to Shift-JIS converters: decoding
// rules (the four-byte sequence taken whole), the newline rule, composition
// of decomposed kana, JIS variants, replacement with "?", lossy marking, and
// the bounds of the output and of the work areas.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "jcode/kana.h"
#include "jcode/unicode.h"
#include "support/tool_run.h"

namespace {

struct DecodeCase {
    const char* scenario;
    std::string bytes;  // padded with zeros as a cut sequence is
    uint16_t unit;
    int length;
};

TEST(DecodeUtf8Char, ChoosesTheLengthFromTheFirstByte) {
    const DecodeCase cases[] = {
        {"ASCII", "A", 0x41, 1},
        {"two-byte e acute", "\xC3\xA9", 0x00E9, 2},
        {"three-byte hiragana", "\xE3\x81\x82", 0x3042, 3},
        {"stray continuation read as a two-byte lead",
         "\x80"
         "A",
         0x0001, 2},
        {"overlong zero", std::string("\xC0\x80", 2), 0x0000, 2},
        {"overlong full stop", "\xC0\xAE", 0x002E, 2},
        {"four-byte sequence taken whole", "\xF0\x9F\x98\x80", 0xFFFD, 4},
        {"F4 with three continuation bytes", "\xF4\x8F\xBF\xBF", 0xFFFD, 4},
        {"F0 without a fourth continuation byte reads three",
         "\xF0\x9F\x98"
         "A",
         0x07D8, 3},
        {"F5 is no four-byte lead", "\xF5\x80\x80\x80", 0x5000, 3},
        {"cut three-byte sequence", std::string("\xE3\x81\x00", 3), 0x3040, 3},
        {"three-byte lead alone", std::string("\xE3\x00\x00", 3), 0x3000, 3},
    };
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(std::string(c.scenario) + ": " + Hex(c.bytes));
        std::string padded = c.bytes + std::string(4, '\0');
        int length = 0;
        uint16_t unit = DecodeUtf8Char(reinterpret_cast<const uint8_t*>(padded.data()), &length);
        EXPECT_EQ(unit, c.unit);
        EXPECT_EQ(length, c.length);
    }
}

TEST(EncodeUtf8Char, WritesOneToThreeBytes) {
    const struct {
        uint16_t unit;
        std::string bytes;
    } cases[] = {
        {0x0041, "\x41"},         {0x007F, "\x7F"},         {0x0080, "\xC2\x80"},
        {0x00E9, "\xC3\xA9"},     {0x07FF, "\xDF\xBF"},     {0x0800, "\xE0\xA0\x80"},
        {0x3042, "\xE3\x81\x82"}, {0xD83D, "\xED\xA0\xBD"}, {0xFFFF, "\xEF\xBF\xBF"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.unit);
        uint8_t out[3] = {};
        int length = 0;
        int count = EncodeUtf8Char(c.unit, out, &length);
        EXPECT_EQ(count, length);
        EXPECT_EQ(Hex(std::string(reinterpret_cast<char*>(out), count)), Hex(c.bytes));
    }
}

struct ConvertCase {
    const char* scenario;
    std::string source;
    std::string output;
    int lossy;
};

std::string ConvertUtf8(const std::string& source, ConversionFlags flags, int* lossy, int* result) {
    std::vector<char> output(256, '#');
    *result = Utf8ToShiftJis(source.c_str(), output.data(), output.size(), flags, lossy);
    return output.data();
}

const ConvertCase utf8Cases[] = {
    {"empty text", "", "", 0},
    {"hiragana", "\xE3\x81\x82", "\x82\xA0", 0},
    {"kanji and ASCII", "a\xE5\x86\x99\xE7\x9C\x9F", "a\x8E\xCA\x90\x5E", 0},
    {"e acute has no code page 932 form", "\xC3\xA9", "?", 1},
    // The four-byte sequence is one character and does not swallow the next.
    {"emoji then kanji", "\xF0\x9F\x98\x80\xE5\x86\x99\xE7\x9C\x9F", "?\x8E\xCA\x90\x5E", 1},
    {"emoji at the end", "A\xF0\x9F\x98\x80", "A?", 1},
    {"surrogate pair encoded in UTF-8 is one character",
     "\xED\xA0\xBD\xED\xB8\x80"
     "A",
     "?A", 1},
    {"overlong zero ends the text",
     "A\xC0\x80"
     "B",
     "A", 1},
    {"overlong full stop", "A\xC0\xAE", "A.", 1},
    {"stray continuation byte",
     "\x80"
     "A",
     "\x01", 1},
    {"sequence cut by the end of the text", "A\xE3\x81", "A?", 1},
    {"three-byte lead alone at the end", "A\xE3", "A\x81\x40", 1},
    {"newlines become CR LF", "a\nb\rc\r\nd", "a\r\nb\r\nc\r\nd", 0},
    // Decomposed kana as macOS writes them.
    {"ka with combining voiced mark", "\xE3\x81\x8B\xE3\x82\x99", "\x82\xAA", 0},
    {"katakana ha with combining semi-voiced mark", "\xE3\x83\x8F\xE3\x82\x9A", "\x83\x70", 0},
    {"katakana u with combining voiced mark", "\xE3\x82\xA6\xE3\x82\x99", "\x83\x94", 0},
    {"iteration mark with combining voiced mark", "\xE3\x82\x9D\xE3\x82\x99", "\x81\x55", 0},
    {"hiragana u has no voiced form in code page 932", "\xE3\x81\x86\xE3\x82\x99", "\x82\xA4?", 1},
    {"ka with semi-voiced mark does not compose", "\xE3\x81\x8B\xE3\x82\x9A", "\x82\xA9?", 1},
    {"combining mark first", "\xE3\x82\x99", "?", 1},
    // JIS variants take the form code page 932 holds; no other best fit.
    {"wave dash", "\xE3\x80\x9C", "\x81\x60", 0},
    {"double vertical line", "\xE2\x80\x96", "\x81\x61", 0},
    {"minus sign", "\xE2\x88\x92", "\x81\x7C", 0},
    {"cent sign", "\xC2\xA2", "\x81\x91", 0},
    {"pound sign", "\xC2\xA3", "\x81\x92", 0},
    {"not sign", "\xC2\xAC", "\x81\xCA", 0},
    {"em dash", "\xE2\x80\x94", "\x81\x5C", 0},
    {"yen sign is not a path separator",
     "a\xC2\xA5"
     "b",
     "a?b", 1},
    {"user-defined character", "\xEE\x80\x80", "\xF0\x40", 0},
    {"circled one", "\xE2\x91\xA0", "\x87\x40", 0},
};

TEST(Utf8ToShiftJis, ConvertsReplacesAndMarksLossyTexts) {
    for (const ConvertCase& c : utf8Cases) {
        SCOPED_TRACE(std::string(c.scenario) + ": " + Hex(c.source));
        int lossy = -1;
        int result = -1;
        std::string output = ConvertUtf8(c.source, NewlineCrLf, &lossy, &result);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(Hex(output), Hex(c.output));
        EXPECT_EQ(lossy, c.lossy);
    }
}

TEST(Utf8ToShiftJis, AppliesEachNewlineForm) {
    const struct {
        ConversionFlags flags;
        std::string output;
    } cases[] = {
        {NewlineCrLf, "A\r\nB\r\nC\r\nD\r\n\r\n"},
        {NewlineCr, "A\rB\rC\rD\r\r"},
        {NewlineLf, "A\nB\nC\nD\n\n"},
        {NewlineCrLf | NewlineCr | NewlineLf, "A\r\nB\r\nC\r\nD\r\n\r\n"},
        {NewlineCr | NewlineLf, "A\rB\rC\rD\r\r"},
        {0, "A\r\nB\nC\rD\n\r"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.flags);
        int lossy = -1;
        int result = -1;
        EXPECT_EQ(Hex(ConvertUtf8("A\r\nB\nC\rD\n\r", c.flags, &lossy, &result)), Hex(c.output));
        EXPECT_EQ(lossy, 0);
    }
}

// UTF-16LE text as the converter reads it: bytes ending in a zero unit.
std::string Utf16Le(const std::u16string& text) {
    std::string bytes;
    for (char16_t u : text) {
        bytes.push_back(static_cast<char>(u & 0xFF));
        bytes.push_back(static_cast<char>(u >> 8));
    }
    return bytes + std::string(2, '\0');
}

struct Utf16Case {
    const char* scenario;
    std::u16string source;
    std::string output;
    int lossy;
};

const Utf16Case utf16Cases[] = {
    {"empty text", u"", "", 0},
    {"Latin letters", u"AB", "AB", 0},
    {"Japanese name", u"\u5199\u771F.jpg", "\x8E\xCA\x90\x5E.jpg", 0},
    {"surrogate pair is one ?", u"\U0001F600\u5199", "?\x8E\xCA", 1},
    {"lone high surrogate",
     u"a\xD83D"
     "b",
     "a?b", 1},
    {"lone low surrogate",
     u"a\xDE00"
     "b",
     "a?b", 1},
    {"decomposed ga", u"\u304B\u3099", "\x82\xAA", 0},
    {"decomposed pa", u"\u30CF\u309A", "\x83\x70", 0},
    {"decomposed vu", u"\u30A6\u3099", "\x83\x94", 0},
    {"decomposed wa with voiced mark has no code page 932 form", u"\u30EF\u3099", "\x83\x8F?", 1},
    {"wave dash", u"\u301C", "\x81\x60", 0},
    {"newlines", u"a\nb\r", "a\r\nb\r\n", 0},
    {"half-width katakana kept", u"\uFF71", "\xB1", 0},
};

TEST(Utf16LeToShiftJis, ConvertsReplacesAndMarksLossyTexts) {
    for (const Utf16Case& c : utf16Cases) {
        std::string source = Utf16Le(c.source);
        SCOPED_TRACE(std::string(c.scenario) + ": " + Hex(source));
        std::vector<char> output(64, '#');
        int lossy = -1;
        int result =
            Utf16LeToShiftJis(source.data(), output.data(), output.size(), NewlineCrLf, &lossy);
        EXPECT_EQ(result, 0);
        EXPECT_EQ(Hex(output.data()), Hex(c.output));
        EXPECT_EQ(lossy, c.lossy);
    }
}

// Shift-JIS of a UTF-16 text, and whether it came out lossy.
std::pair<std::string, int> ShiftJisOf(const std::u16string& text) {
    std::string source = Utf16Le(text);
    std::vector<char> output(64, '\0');
    int lossy = -1;
    Utf16LeToShiftJis(source.data(), output.data(), output.size(), NewlineCrLf, &lossy);
    return {output.data(), lossy};
}

// Every kana with a voiced or semi-voiced form in code page 932, written
// decomposed as macOS does, becomes the same bytes as its precomposed form;
// a mark after a kana without such a form stays a mark, shown as "?".
TEST(Utf16LeToShiftJis, ComposesEveryKanaThatHasASoundMarkForm) {
    const std::u16string voiced =  // base, then its voiced form
        u"かがきぎくぐけげこごさざしじすずせぜそぞただちぢつづてでとどはばひびふぶへべほぼゝゞ"
        u"カガキギクグケゲコゴサザシジスズセゼソゾタダチヂツヅテデトドハバヒビフブヘベホボウヴヽヾ";
    const std::u16string semiVoiced = u"はぱひぴふぷへぺほぽハパヒピフプヘペホポ";
    const std::u16string noVoicedForm = u"あうっなまやらわんがぱアッナマヤラワヲンガパ";
    const std::u16string noSemiVoicedForm = u"かさたなばぱまカサタウバパ";
    for (auto [mark, pairs] :
         {std::pair{CombiningVoicedMark, voiced}, std::pair{CombiningSemiVoicedMark, semiVoiced}}) {
        for (size_t i = 0; i < pairs.size(); i += 2) {
            SCOPED_TRACE(Hex(ShiftJisOf(pairs.substr(i, 1)).first));
            auto composed = ShiftJisOf(std::u16string{pairs[i], mark});
            EXPECT_EQ(Hex(composed.first), Hex(ShiftJisOf(pairs.substr(i + 1, 1)).first));
            EXPECT_EQ(composed.second, 0);
        }
    }
    for (auto [mark, bases] : {std::pair{CombiningVoicedMark, noVoicedForm},
                               std::pair{CombiningSemiVoicedMark, noSemiVoicedForm}}) {
        for (char16_t base : bases) {
            std::string alone = ShiftJisOf(std::u16string{base}).first;
            SCOPED_TRACE(Hex(alone));
            auto kept = ShiftJisOf(std::u16string{base, mark});
            EXPECT_EQ(Hex(kept.first), Hex(alone + "?"));
            EXPECT_EQ(kept.second, 1);
        }
    }
}

struct BoundCase {
    const char* scenario;
    std::string source;  // UTF-8
    size_t capacity;
    int result;
    std::string output;
};

// A text that does not fit is cut before the first character (or newline)
// that does not fit whole, reported as TextTooLong and marked lossy; nothing
// is written past the capacity.
TEST(Utf8ToShiftJis, CutsTextsThatDoNotFitTheOutput) {
    const BoundCase cases[] = {
        {"two characters fit exactly", "\xE3\x81\x82\xE3\x81\x84", 5, 0, "\x82\xA0\x82\xA2"},
        {"second character does not fit", "\xE3\x81\x82\xE3\x81\x84", 4, TextTooLong, "\x82\xA0"},
        {"half a character is never written", "\xE3\x81\x82", 2, TextTooLong, ""},
        {"grown newline is not split", "A\n", 3, TextTooLong, "A"},
        {"room for the terminator only", "A", 1, TextTooLong, ""},
    };
    for (const BoundCase& c : cases) {
        SCOPED_TRACE(std::string(c.scenario) + ": " + Hex(c.source));
        std::vector<char> output(c.capacity + 4, '#');
        int lossy = -1;
        int result =
            Utf8ToShiftJis(c.source.c_str(), output.data(), c.capacity, NewlineCrLf, &lossy);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(Hex(output.data()), Hex(c.output));
        EXPECT_EQ(lossy, c.result != 0 ? 1 : 0);
        EXPECT_EQ(std::string(output.data() + c.capacity, 4), "####") << "written past capacity";
    }
    char untouched = '#';
    EXPECT_EQ(Utf8ToShiftJis("A", &untouched, 0, NewlineCrLf), TextTooLong);
    EXPECT_EQ(untouched, '#');
}

TEST(Utf16LeToShiftJis, CutsTextsThatDoNotFitTheOutput) {
    std::string source = Utf16Le(u"\u3042\u3044");
    std::vector<char> output(8, '#');
    int lossy = 0;
    EXPECT_EQ(Utf16LeToShiftJis(source.data(), output.data(), 4, NewlineCrLf, &lossy), TextTooLong);
    EXPECT_EQ(Hex(output.data()), "82 A0");
    EXPECT_EQ(lossy, 1);
    EXPECT_EQ(output[4], '#');
}

// The work areas hold 20479 units and 20479 Shift-JIS bytes; a longer text
// is cut there and reported, whatever room the output has.
TEST(Utf8ToShiftJis, BoundsTheTextByTheWorkAreas) {
    const struct {
        const char* scenario;
        std::string source;
        int result;
        size_t outputLength;
    } cases[] = {
        {"20479 units fit", std::string(20479, 'A'), 0, 20479},
        {"20480 units do not", std::string(20480, 'A'), TextTooLong, 20479},
        {"10239 double-byte characters fit",
         [] {
             std::string s;
             for (int i = 0; i < 10239; ++i)
                 s += "\xE3\x81\x82";
             return s;
         }(),
         0, 20478},
        {"10240 double-byte characters do not",
         [] {
             std::string s;
             for (int i = 0; i < 10240; ++i)
                 s += "\xE3\x81\x82";
             return s;
         }(),
         TextTooLong, 20478},
        {"20479 newlines double to the longest output", std::string(20479, '\n'), 0, 40958},
    };
    std::vector<char> output(40959);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        int lossy = -1;
        int result =
            Utf8ToShiftJis(c.source.c_str(), output.data(), output.size(), NewlineCrLf, &lossy);
        EXPECT_EQ(result, c.result);
        EXPECT_EQ(std::string(output.data()).size(), c.outputLength);
        EXPECT_EQ(lossy, c.result != 0 ? 1 : 0);
    }
}

// The one-pass path that takes most UTF-8 texts gives what the general path
// gives for the same units read from UTF-16LE: every unit of the 16-bit range
// alone and after a kana that a sound mark would join, the room in the
// output byte by byte, and the bounds of the work areas.
TEST(Utf8ToShiftJis, AgreesWithTheGeneralPathOnEveryUnit) {
    auto expectSame = [](const std::u16string& units, size_t capacity) {
        std::string utf8;
        for (char16_t u : units) {
            uint8_t bytes[3] = {};
            int length = 0;
            utf8.append(reinterpret_cast<char*>(bytes), EncodeUtf8Char(u, bytes, &length));
        }
        std::vector<char> fast(capacity + 1, '#');
        std::vector<char> general(capacity + 1, '#');
        int fastLossy = -1;
        int generalLossy = -1;
        int fastResult =
            Utf8ToShiftJis(utf8.c_str(), fast.data(), capacity, NewlineCrLf, &fastLossy);
        std::string wide = Utf16Le(units);
        int generalResult =
            Utf16LeToShiftJis(wide.c_str(), general.data(), capacity, NewlineCrLf, &generalLossy);
        ASSERT_EQ(fastResult, generalResult) << Hex(utf8) << " in " << capacity;
        ASSERT_EQ(fastLossy, generalLossy) << Hex(utf8) << " in " << capacity;
        if (capacity > 0) {
            ASSERT_EQ(Hex(fast.data()), Hex(general.data())) << Hex(utf8) << " in " << capacity;
        }
    };
    for (uint32_t u = 1; u <= 0xFFFF; ++u) {
        if (u >= 0xD800 && u <= 0xDFFF)
            continue;  // no UTF-8 form
        char16_t unit = static_cast<char16_t>(u);
        expectSame(std::u16string(1, unit), 16);
        expectSame(u"\u304B" + std::u16string(1, unit) + u"b", 16);
    }
    for (size_t capacity = 0; capacity <= 9; ++capacity) {
        expectSame(u"a\u304B\u6F22", capacity);
        expectSame(u"a\u304B\u00E9\u3099b", capacity);
    }
    for (size_t count : {20478, 20479, 20480})
        expectSame(std::u16string(count, u'A'), 40960);
    for (size_t count : {10239, 10240})
        expectSame(std::u16string(count, u'\u3042'), 40960);
}

TEST(Utf16LeToShiftJis, BoundsTheTextByTheWorkAreas) {
    std::vector<char> output(40959);
    const struct {
        std::u16string text;
        int result;
    } cases[] = {
        {std::u16string(20479, u'A'), 0},
        {std::u16string(20480, u'A'), TextTooLong},
        {std::u16string(10239, u'\u3042'), 0},
        {std::u16string(10240, u'\u3042'), TextTooLong},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.size());
        std::string source = Utf16Le(c.text);
        EXPECT_EQ(Utf16LeToShiftJis(source.data(), output.data(), output.size(), NewlineCrLf),
                  c.result);
    }
}

}  // namespace
