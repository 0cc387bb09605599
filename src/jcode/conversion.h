// Shared vocabulary of the text converters: the flag word every converter
// takes, the converters' own negative result codes, and the sizes of the two
// process-wide work areas.
#pragma once

#include <cstddef>
#include <cstdint>

using ConversionFlags = uint32_t;

constexpr ConversionFlags KanaFold = 0x0001;
constexpr ConversionFlags KanaReject = 0x0020;
constexpr ConversionFlags AllowExtensionRows = 0x0080;
constexpr ConversionFlags NewlineCrLf = 0x2000;
constexpr ConversionFlags NewlineCr = 0x4000;
constexpr ConversionFlags NewlineLf = 0x8000;
constexpr ConversionFlags KanaGroup = 0x002B;
constexpr ConversionFlags ExtensionGroup = 0x0680;
constexpr ConversionFlags PrepassMask = 0xE021;
constexpr ConversionFlags DefaultConversionFlags = 0x0481;

// Result codes of the converters (0 is success). They are never printed.
enum ConversionResult : int {
    KanaRejected = -454,
    BadTrailByte = -455,
    BadEucTrailByte = -456,
    BadKanaTrailByte = -457,
    ThreeByteCodeRejected = -458,
    CodeRejected = -459,
    MissingTrailByte = -464,
    BadEucLeadByte = -466,
    // The converted text does not fit the output or a work area (20479 bytes
    // or units of text, more while long texts are allowed: jcode/work_areas.h). The converters to
    // Shift-JIS leave their output zero-terminated but cut, and mark it lossy: it must not be
    // stored. ShiftJisToUtf8 writes nothing then.
    TextTooLong = -467,
};

constexpr size_t NarrowWorkSize = 20480;  // bytes
constexpr size_t WideWorkSize = 20480;    // UTF-16 units
