// Shift-JIS to UTF-8: flag defaults, the pre-pass (validation, extension
// areas, katakana folding, newlines), measure mode, the refusal of texts that
// code page 932 cannot read faithfully, and the bounds of work area and
// output.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "jcode/ibm_extension.h"
#include "jcode/kana.h"
#include "jcode/sjis_utf8.h"
#include "jcode/unicode.h"
#include "platform/codepage.h"
#include "support/tool_run.h"

namespace {

constexpr ConversionFlags NoPrepass = 0x0002;          // a kana-group choice without folding
constexpr ConversionFlags DenyExtensionRows = 0x0200;  // an extension-group choice without 0x0080
constexpr char Untouched = '#';
constexpr int UntouchedLength = -99;

struct Conversion {
    int result;
    int length;
    std::string output;  // what the output holds up to its first zero byte
};

Conversion Convert(const std::string& source, ConversionFlags flags, size_t capacity = 256) {
    std::vector<char> output(capacity + 1, Untouched);
    output[capacity] = 0;
    Conversion c{0, UntouchedLength, ""};
    c.result = ShiftJisToUtf8(source.c_str(), output.data(), capacity, &c.length, flags);
    c.output = output.data();
    return c;
}

Conversion Measure(const std::string& source, ConversionFlags flags) {
    Conversion c{0, UntouchedLength, ""};
    c.result = ShiftJisToUtf8(source.c_str(), nullptr, 0, &c.length, flags);
    return c;
}

TEST(WithDefaultFlags, AddsEachGroupsDefaultOnlyWhenTheGroupIsEmpty) {
    const struct {
        ConversionFlags given;
        ConversionFlags expected;
    } cases[] = {
        {0, 0x0481},
        {NewlineCrLf, 0x2481},
        {NoPrepass, 0x0482},
        {KanaReject, 0x04A0},
        {DenyExtensionRows, 0x0201},
        {0x0400, 0x0401},
        {0x0080, 0x0081},
        {0x2200, 0x2201},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.given);
        EXPECT_EQ(WithDefaultFlags(c.given), c.expected);
    }
}

struct ConvertCase {
    const char* scenario;
    std::string source;
    ConversionFlags flags;
    int result;
    std::string utf8;  // expected output on success
};

const ConvertCase convertCases[] = {
    {"empty text", "", 0, 0, ""},
    {"hiragana and ASCII",
     "\x82\xA0"
     "A",
     0, 0,
     "\xE3\x81\x82"
     "A"},
    {"voiced half-width ka folds to ga", "\xB6\xDE", 0, 0, "\xE3\x82\xAC"},
    {"semi-voiced half-width ha folds to pa", "\xCA\xDF", 0, 0, "\xE3\x83\x91"},
    {"half-width u keeps its voiced mark apart", "\xB3\xDE", 0, 0, "\xE3\x82\xA6\xE3\x82\x9B"},
    {"half-width ka keeps a semi-voiced mark apart", "\xB6\xDF", 0, 0, "\xE3\x82\xAB\xE3\x82\x9C"},
    {"lone voiced mark", "\xDE", 0, 0, "\xE3\x82\x9B"},
    {"two voiced marks", "\xDE\xDE", 0, 0, "\xE3\x82\x9B\xE3\x82\x9B"},
    {"half-width ka last", "A\xB6", 0, 0, "A\xE3\x82\xAB"},
    {"no folding without the pre-pass", "\xB1", NoPrepass, 0, "\xEF\xBD\xB1"},
    {"a newline bit runs the pre-pass, which folds", "\xB1", NoPrepass | NewlineCrLf, 0,
     "\xE3\x82\xA2"},
    {"LF becomes CR LF", "A\n", NewlineCrLf, 0, "A\r\n"},
    {"area A accepted by default", "\x87\x40", 0, 0, "\xE2\x91\xA0"},
    {"area A refused when extension rows are denied", "\x87\x40", NewlineCrLf | DenyExtensionRows,
     CodeRejected, ""},
    {"area B accepted by default", "\xED\x40", 0, 0, "\xE7\xBA\x8A"},
    {"area C refused with the pre-pass", "\xF0\x40", 0, CodeRejected, ""},
    {"IBM extension refused with the pre-pass", "\xFA\x40", NewlineCrLf, CodeRejected, ""},
    {"area C converted without the pre-pass", "\xF0\x40", NoPrepass, 0, "\xEE\x80\x80"},
    {"IBM extension converted without the pre-pass", "\xFA\x40", NoPrepass, 0, "\xE2\x85\xB0"},
    {"first code after area A under any flags", "\x88\x9F", NewlineCrLf | DenyExtensionRows, 0,
     "\xE4\xBA\x9C"},
    {"last code before area B under any flags", "\xEA\xA4", NewlineCrLf | DenyExtensionRows, 0,
     "\xE7\x86\x99"},
    {"3F is no trail byte, even in area B", "\xEB\x3F", 0, BadTrailByte, ""},
    {"lead byte at the end", "A\x82", 0, MissingTrailByte, ""},
    {"lead byte before a space", "\x82\x20", 0, BadTrailByte, ""},
    {"lead byte before 7F", "\x82\x7F", 0, BadTrailByte, ""},
    {"lead byte before FD", "\x82\xFD", 0, BadTrailByte, ""},
    {"half-width katakana rejected", "A\xB1", KanaReject, KanaRejected, ""},
    {"rejection wins over folding", "\xB1", KanaReject | KanaFold, KanaRejected, ""},
    // Single bytes that code page 932 maps to code points of their own.
    {"single byte 80", "\x80", 0, 0, "\xC2\x80"},
    {"single byte A0", "\xA0", 0, 0, "\xEF\xA3\xB0"},
    {"single byte FF", "\xFF", 0, 0, "\xEF\xA3\xB3"},
    // Codes that hold no character are refused, never stored as U+30FB.
    {"undefined code in area A", "\x85\x40", 0, CodeRejected, ""},
    {"undefined code outside the areas", "A\x81\xAD", 0, CodeRejected, ""},
    {"undefined code without the pre-pass", "\x85\x40", NoPrepass, CodeRejected, ""},
    {"broken pair without the pre-pass", "\x82\x20", NoPrepass, BadTrailByte, ""},
    {"lead byte at the end without the pre-pass", "A\x82", NoPrepass, MissingTrailByte, ""},
};

TEST(ShiftJisToUtf8, ConvertsOrRefusesWithoutTouchingTheOutput) {
    for (const ConvertCase& c : convertCases) {
        SCOPED_TRACE(std::string(c.scenario) + ": " + Hex(c.source));
        Conversion got = Convert(c.source, c.flags);
        EXPECT_EQ(got.result, c.result);
        if (c.result == 0) {
            EXPECT_EQ(Hex(got.output), Hex(c.utf8));
            EXPECT_EQ(got.length, static_cast<int>(c.utf8.size()));
        } else {
            EXPECT_EQ(got.output, std::string(256, Untouched));
            EXPECT_EQ(got.length, UntouchedLength);
        }
    }
}

// Every half-width katakana folds to the full-width form it stands for.
// The one-pass path that takes most texts gives what the pre-pass and the
// general path give. A half-width katakana in front sends a text down the
// general path and must add no more than its full-width form: every byte and
// every pair of bytes, and the room in the output byte by byte.
TEST(ShiftJisToUtf8, OnePassAgreesWithTheGeneralPath) {
    const std::string halfWidthA = "\xB1";
    const std::string fullWidthA = "\xE3\x82\xA2";
    auto expectSame = [&](const std::string& text, size_t capacity) {
        Conversion fast = Convert(text, NewlineCrLf, capacity);
        Conversion general = Convert(halfWidthA + text, NewlineCrLf, capacity + 3);
        ASSERT_EQ(fast.result, general.result) << Hex(text) << " in " << capacity;
        if (fast.result == 0) {
            ASSERT_EQ(Hex(fullWidthA + fast.output), Hex(general.output)) << Hex(text);
            ASSERT_EQ(fast.length + 3, general.length) << Hex(text);
        }
    };
    // Twice: the second pass finds the form of every pair as the first left it.
    for (int pass = 0; pass < 2; ++pass) {
        for (int first = 1; first < 256; ++first) {
            if (first == 0xDE || first == 0xDF)
                continue;  // sound marks, which join the katakana in front
            expectSame(std::string(1, static_cast<char>(first)) + "y", 16);
            for (int second = 1; second < 256; ++second)
                expectSame({static_cast<char>(first), static_cast<char>(second), 'y'}, 16);
        }
    }
    // Runs of ASCII, which the one pass takes eight bytes at a time, with
    // every byte at the borders of an eight-byte step.
    const std::string run = "ab~\\ 09_z.ABCDEFGHIJ";
    for (int b = 1; b < 256; ++b) {
        if (b == 0xDE || b == 0xDF)
            continue;
        for (size_t at : {0, 7, 8, 9, 15, 19}) {
            std::string text = run;
            text[at] = static_cast<char>(b);
            expectSame(text, 64);
            expectSame(text + "\x88\xA0", 64);
        }
    }
    for (size_t capacity = 0; capacity <= 9; ++capacity)
        expectSame("a\x82\xA0\x8A\xBF", capacity);
    for (size_t capacity = 6; capacity <= 22; ++capacity)
        expectSame("abcdefghijklmn\x8A\xBF", capacity);
}

TEST(ShiftJisToUtf8, FoldsEveryHalfWidthKatakana) {
    const std::string fullWidth =
        "。「」、・ヲァィゥェォャュョッーアイウエオカキクケコサシスセソタチツテトナニヌネノ"
        "ハヒフヘホマミムメモヤユヨラリルレロワン゛゜";
    std::string halfWidth;
    for (int b = 0xA1; b <= 0xDF; ++b)
        halfWidth.push_back(static_cast<char>(b));
    Conversion got = Convert(halfWidth, 0, 512);
    EXPECT_EQ(got.result, 0);
    EXPECT_EQ(Hex(got.output), Hex(fullWidth));
}

std::string CodeBytes(uint16_t code) {
    return {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

// The character of a code as code page 932 reads it, in UTF-8.
std::string CharacterInUtf8(uint16_t code) {
    const std::string bytes = CodeBytes(code);
    char16_t unit = 0;
    size_t written = 0;
    bool replaced = false;
    CodePage932ToUtf16(bytes.data(), 2, &unit, 1, &written, &replaced);
    uint8_t utf8[4] = {};
    int length = 0;
    EncodeUtf8Char(static_cast<uint16_t>(unit), utf8, &length);
    return replaced ? "replaced" : std::string(reinterpret_cast<char*>(utf8), length);
}

// Each of the 388 codes of the IBM extension rows, which the converter
// refuses, has another code of the same character that it converts.
TEST(IbmExtensionCodes, EachTakesAnotherCodeOfTheSameCharacterThatConverts) {
    int paired = 0;
    for (uint16_t code = FirstIbmExtensionCode; code <= LastIbmExtensionCode; ++code) {
        const int trail = code & 0xFF;
        if (trail < 0x40 || trail == 0x7F || trail > 0xFC)
            continue;
        SCOPED_TRACE(Hex(CodeBytes(code)));
        ++paired;
        EXPECT_EQ(Convert(CodeBytes(code), NewlineCrLf).result, CodeRejected);
        const uint16_t other = OtherCodeOfIbmExtension(code);
        ASSERT_LT(other >> 8, 0xF0) << "outside the user-defined and IBM rows";
        std::string text = "a" + CodeBytes(code) + "z";
        ReplaceIbmExtensionCodes(text.data());
        EXPECT_EQ(Hex(text), Hex("a" + CodeBytes(other) + "z"));
        const std::string character = CharacterInUtf8(code);
        EXPECT_EQ(CharacterInUtf8(other), character);
        Conversion got = Convert(text, NewlineCrLf);
        EXPECT_EQ(got.result, 0);
        EXPECT_EQ(Hex(got.output), Hex("a" + character + "z"));
    }
    EXPECT_EQ(paired, 388);

    const struct {
        uint16_t code;
        uint16_t other;
    } named[] = {{0xFBFC, 0xEEE0}, {0xFA5C, 0xED40}, {0xFA40, 0xEEEF},
                 {0xFA4A, 0x8754}, {0xFA54, 0x81CA}, {0xFA5B, 0x81E6}};
    for (const auto& n : named)
        EXPECT_EQ(OtherCodeOfIbmExtension(n.code), n.other) << Hex(CodeBytes(n.code));
    EXPECT_EQ(Hex(CharacterInUtf8(0xFBFC)), "E9 AB 99") << "髙";
}

TEST(IbmExtensionCodes, OnlyWholeCodesOfTheIbmRowsAreReplaced) {
    const struct {
        std::string text;
        std::string after;
    } cases[] = {
        {"\xF0\x40\xF9\xFC", "\xF0\x40\xF9\xFC"},  // user-defined area
        {"\xFC\x4C\xEE\xE0", "\xFC\x4C\xEE\xE0"},  // past the last IBM code; NEC-selected
        {"\x81\xFA\x40", "\x81\xFA\x40"},          // FA is the trail byte of 81 FA
        {"\xB1\xFB\xFC\xFA", "\xB1\xEE\xE0\xFA"},  // after a single byte; a lead at the end
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        ReplaceIbmExtensionCodes(text.data());
        EXPECT_EQ(Hex(text), Hex(c.after)) << Hex(c.text);
    }
    EXPECT_EQ(OtherCodeOfIbmExtension(0xF040), 0);
    EXPECT_EQ(OtherCodeOfIbmExtension(0xFA3F), 0);
    EXPECT_EQ(OtherCodeOfIbmExtension(0xEEE0), 0);
}

TEST(SoundMarkKind, CombinesOnlyKanaThatTakeTheMark) {
    const struct {
        uint8_t kana;
        uint8_t next;
        int kind;
    } cases[] = {
        {0xB6, 0xDE, 1}, {0xC4, 0xDE, 1}, {0xCA, 0xDE, 1}, {0xCE, 0xDE, 1}, {0xB5, 0xDE, 0},
        {0xC5, 0xDE, 0}, {0xB3, 0xDE, 0}, {0xCF, 0xDE, 0}, {0xCA, 0xDF, 2}, {0xCE, 0xDF, 2},
        {0xC9, 0xDF, 0}, {0xB6, 0xDF, 0}, {0xCA, 0x41, 0}, {0xCA, 0x00, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Hex(std::string{static_cast<char>(c.kana), static_cast<char>(c.next)}));
        EXPECT_EQ(SoundMarkKind(c.kana, c.next), c.kind);
    }
}

TEST(ClassifyExtensionCode, PlacesCodesByAreaAndJisRoundTrip) {
    const struct {
        uint16_t code;
        int kind;
    } cases[] = {
        {0x853F, 0}, {0x8540, 1}, {0x857F, 2}, {0x889E, 1}, {0x889F, 0}, {0xEAA4, 0},
        {0xEB40, 1}, {0xEFFC, 1}, {0xF040, 3}, {0xFA40, 3}, {0xFCFC, 3}, {0xFCFD, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        EXPECT_EQ(ClassifyExtensionCode(c.code), c.kind);
    }
}

TEST(ShiftJisToJis, GivesRowAndCell) {
    const struct {
        uint8_t lead;
        uint8_t trail;
        uint16_t jis;
    } cases[] = {
        {0x81, 0x40, 0x2121}, {0x81, 0x9E, 0x217E}, {0x81, 0x9F, 0x2221}, {0x81, 0xFC, 0x227E},
        {0x85, 0x40, 0x2921}, {0x88, 0x9E, 0x2F7E}, {0x9F, 0xFC, 0x5E7E}, {0xE0, 0x40, 0x5F21},
        {0xEB, 0x40, 0x7521}, {0xF0, 0x40, 0x7F21},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.jis);
        EXPECT_EQ(ShiftJisToJis(c.lead, c.trail), c.jis);
    }
}

struct MeasureCase {
    const char* scenario;
    std::string source;
    ConversionFlags flags;
    int result;
    int length;
};

TEST(ShiftJisToUtf8, MeasuresTheTextOrTheCharactersBeforeAFault) {
    const MeasureCase cases[] = {
        {"hiragana and ASCII",
         "\x82\xA0"
         "A",
         0, 0, 4},
        {"folded katakana take three bytes",
         "\xB6\xDE"
         "A",
         0, 0, 4},
        {"newlines counted after the rule", "A\nB", NewlineCrLf, 0, 4},
        {"lead byte at the end, no pre-pass", "A\x82", NoPrepass, MissingTrailByte, 1},
        {"lead byte at the end, pre-pass fails first", "A\x82", 0, MissingTrailByte,
         UntouchedLength},
        {"area C, no pre-pass", "\x82\xA0\xF0\x40", NoPrepass, CodeRejected, 3},
        {"IBM extension, no pre-pass", "\xFA\x40", NoPrepass, CodeRejected, 0},
        {"area C with the pre-pass", "\xF0\x40", 0, CodeRejected, UntouchedLength},
        {"area A denied, no pre-pass", "A\x87\x40", NoPrepass | DenyExtensionRows, CodeRejected, 1},
        {"undefined area A code counts as U+30FB", "\x85\x40", 0, 0, 3},
        {"single byte A0 counts as U+F8F0", "\xA0", NoPrepass, 0, 3},
    };
    for (const MeasureCase& c : cases) {
        SCOPED_TRACE(std::string(c.scenario) + ": " + Hex(c.source));
        Conversion got = Measure(c.source, c.flags);
        EXPECT_EQ(got.result, c.result);
        EXPECT_EQ(got.length, c.length);
    }
}

TEST(ShiftJisToUtf8, RefusesAnOutputThatDoesNotFitWithoutWritingIt) {
    const struct {
        size_t capacity;
        int result;
    } cases[] = {{4, 0}, {3, TextTooLong}, {1, TextTooLong}, {0, TextTooLong}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.capacity);
        Conversion got = Convert("\x82\xA0", 0, c.capacity);
        EXPECT_EQ(got.result, c.result);
        if (c.result == 0) {
            EXPECT_EQ(Hex(got.output), "E3 81 82");
        } else {
            EXPECT_EQ(got.output, std::string(c.capacity, Untouched));
            EXPECT_EQ(got.length, UntouchedLength);
        }
    }
}

// The text after the pre-pass (or as copied without it) must fit the 20479
// bytes of the work area.
TEST(ShiftJisToUtf8, RefusesATextThatOutgrowsTheWorkArea) {
    const struct {
        const char* scenario;
        std::string source;
        ConversionFlags flags;
        int result;
    } cases[] = {
        {"20479 bytes", std::string(20479, 'A'), 0, 0},
        {"20480 bytes", std::string(20480, 'A'), 0, TextTooLong},
        {"20480 bytes without the pre-pass", std::string(20480, 'A'), NoPrepass, TextTooLong},
        {"10239 folded katakana", std::string(10239, '\xB1'), 0, 0},
        {"10240 folded katakana", std::string(10240, '\xB1'), 0, TextTooLong},
        {"10240 newlines doubled", std::string(10240, '\n'), NewlineCrLf, TextTooLong},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        Conversion measured = Measure(c.source, c.flags);
        EXPECT_EQ(measured.result, c.result);
        Conversion got = Convert(c.source, c.flags, 61440);
        EXPECT_EQ(got.result, c.result);
        if (c.result != 0) {
            EXPECT_EQ(got.length, UntouchedLength);
        }
    }
}

}  // namespace
