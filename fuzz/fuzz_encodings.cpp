// The bytes are four control bytes and a text. Control byte 0 picks the
// detector's mode, bytes 1 and 2 are the flag word and the detector's
// look-ahead, byte 3 the output capacity. Every converter runs on the text;
// each output has guard bytes behind its capacity.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "fuzz_support.h"
#include "jcode/detect.h"
#include "jcode/euc.h"
#include "jcode/ibm_extension.h"
#include "jcode/sjis_utf8.h"
#include "jcode/unicode.h"
#include "jcode/work_areas.h"
#include "platform/codepage.h"

namespace {

constexpr size_t GuardSize = 16;
constexpr uint8_t Guard = 0xA5;
constexpr size_t LargeCapacity = 2 * NarrowWorkSize + 8;

// 1 to 191 bytes as given; beyond that the capacities the callers use.
size_t CapacityOf(uint8_t control) {
    static const size_t large[] = {408, 640, 10240, 20479, 20480, 20481, LargeCapacity};
    if (control != 0 && control < 192)
        return control;
    return large[control % (sizeof large / sizeof large[0])];
}

// An output of `capacity` bytes followed by guard bytes, on the heap so that
// the address sanitizer sees a write past the guards as well.
struct GuardedOutput {
    explicit GuardedOutput(size_t capacity)
        : bytes(capacity + GuardSize, Guard), capacity(capacity) {}
    char* data() {
        return reinterpret_cast<char*>(bytes.data());
    }
    bool GuardsIntact() const {
        for (size_t i = capacity; i < bytes.size(); ++i) {
            if (bytes[i] != Guard)
                return false;
        }
        return true;
    }
    bool Terminated() const {
        return std::memchr(bytes.data(), 0, capacity) != nullptr;
    }
    std::vector<uint8_t> bytes;
    size_t capacity;
};

using ToShiftJis = int (*)(const char*, char*, size_t, ConversionFlags, int*);

void CheckToShiftJis(ToShiftJis convert, const char* source, size_t capacity,
                     ConversionFlags flags) {
    GuardedOutput out(capacity);
    int lossy = -1;
    int r = convert(source, out.data(), capacity, flags, &lossy);
    FUZZ_CHECK(out.GuardsIntact());
    FUZZ_CHECK(out.Terminated());
    FUZZ_CHECK(lossy == 0 || lossy == 1);
    FUZZ_CHECK(r != TextTooLong || lossy == 1);
}

// Measure mode and write mode agree; a refusal leaves output and length
// alone; a success reads back to the same characters without replacement.
void CheckShiftJisToUtf8(const char* source, size_t capacity, ConversionFlags flags) {
    int measured = -7777;
    int rMeasure = ShiftJisToUtf8(source, nullptr, 0, &measured, flags);

    GuardedOutput out(capacity);
    int written = -7777;
    int r = ShiftJisToUtf8(source, out.data(), capacity, &written, flags);
    FUZZ_CHECK(out.GuardsIntact());
    if (r != 0) {
        FUZZ_CHECK(written == -7777);
        for (size_t i = 0; i < capacity; ++i)
            FUZZ_CHECK(out.bytes[i] == Guard);
        // Measure mode counts a code that holds no character as U+30FB; only
        // the conversion refuses it.
        if (rMeasure == 0 && static_cast<size_t>(measured) < capacity)
            FUZZ_CHECK(r == CodeRejected);
        return;
    }
    FUZZ_CHECK(written >= 0 && static_cast<size_t>(written) < capacity);
    FUZZ_CHECK(std::strlen(out.data()) == static_cast<size_t>(written));
    // Without the pre-pass the conversion checks nothing, while measure mode
    // still refuses the extension codes it does not allow.
    if ((WithDefaultFlags(flags) & PrepassMask) == 0)
        return;
    FUZZ_CHECK(rMeasure == 0);
    FUZZ_CHECK(measured == written);

    GuardedOutput back(LargeCapacity);
    int lossy = -1;
    int rBack = Utf8ToShiftJis(out.data(), back.data(), LargeCapacity, NewlineCrLf, &lossy);
    FUZZ_CHECK(back.GuardsIntact());
    if ((flags & (NewlineCrLf | NewlineCr | NewlineLf)) != NewlineCrLf)
        return;  // the newlines are not the ones the way back writes
    FUZZ_CHECK(rBack == 0 && lossy == 0);
    // Code page 932 holds some characters twice and the way back picks the
    // IBM extension code, which a rewrite replaces by the other code of the
    // same character before converting; so the round trip is checked on the
    // characters, through UTF-8, after that replacement.
    ReplaceIbmExtensionCodes(back.data());
    GuardedOutput again(LargeCapacity);
    int againLength = -1;
    FUZZ_CHECK(ShiftJisToUtf8(back.data(), again.data(), LargeCapacity, &againLength, flags) == 0);
    FUZZ_CHECK(againLength == written);
    FUZZ_CHECK(std::memcmp(again.data(), out.data(), static_cast<size_t>(written)) == 0);
}

// The one-pass paths that take the usual texts give what the general paths
// give. A character in front that only the general path takes (a newline
// for UTF-8, a half-width katakana for Shift-JIS) sends the same text down
// the general path and must add no more than its own form.
void CheckOnePassAgainstGeneral(const std::vector<char>& source, size_t length, size_t capacity) {
    const uint8_t first = static_cast<uint8_t>(source[0]);
    if (length + 4 > NarrowWorkText)
        return;  // the character in front would reach a work area's bound first
    if (first != '\r' && first != '\n') {
        std::vector<char> prefixed(source.size() + 1, 0);
        prefixed[0] = '\n';
        std::memcpy(prefixed.data() + 1, source.data(), length);
        GuardedOutput fast(capacity);
        GuardedOutput general(capacity + 2);
        int fastLossy = -1;
        int generalLossy = -1;
        int rFast = Utf8ToShiftJis(source.data(), fast.data(), capacity, NewlineCrLf, &fastLossy);
        int rGeneral = Utf8ToShiftJis(prefixed.data(), general.data(), capacity + 2, NewlineCrLf,
                                      &generalLossy);
        FUZZ_CHECK(rFast == rGeneral && fastLossy == generalLossy);
        if (rFast == 0) {
            FUZZ_CHECK(general.bytes[0] == '\r' && general.bytes[1] == '\n');
            FUZZ_CHECK(std::strcmp(fast.data(), general.data() + 2) == 0);
        }
    }
    if (first != 0xDE && first != 0xDF) {  // sound marks would join the katakana
        std::vector<char> prefixed(source.size() + 1, 0);
        prefixed[0] = '\xB1';
        std::memcpy(prefixed.data() + 1, source.data(), length);
        GuardedOutput fast(capacity);
        GuardedOutput general(capacity + 3);
        int fastLength = -1;
        int generalLength = -1;
        int rFast = ShiftJisToUtf8(source.data(), fast.data(), capacity, &fastLength, NewlineCrLf);
        int rGeneral = ShiftJisToUtf8(prefixed.data(), general.data(), capacity + 3, &generalLength,
                                      NewlineCrLf);
        FUZZ_CHECK(rFast == rGeneral);
        if (rFast == 0) {
            FUZZ_CHECK(generalLength == fastLength + 3);
            FUZZ_CHECK(std::memcmp(general.data(), "\xE3\x82\xA2", 3) == 0);
            FUZZ_CHECK(std::strcmp(fast.data(), general.data() + 3) == 0);
        }
    }
}

// A conversion without replacement comes back to the same UTF-16 units.
void CheckCodePage(const uint8_t* text, size_t length, size_t capacity) {
    std::vector<char16_t> units(capacity + GuardSize, u'\xA5A5');
    size_t unitCount = 0;
    bool replaced = false;
    int r = CodePage932ToUtf16(reinterpret_cast<const char*>(text), length, units.data(), capacity,
                               &unitCount, &replaced);
    FUZZ_CHECK(unitCount <= capacity && (r == CodePageDone || r == CodePageNoRoom));
    for (size_t i = capacity; i < units.size(); ++i)
        FUZZ_CHECK(units[i] == u'\xA5A5');

    GuardedOutput bytes(2 * unitCount + 1);
    size_t byteCount = 0;
    bool lost = false;
    r = Utf16ToCodePage932(units.data(), unitCount, bytes.data(), bytes.capacity, &byteCount,
                           &lost);
    FUZZ_CHECK(bytes.GuardsIntact() && byteCount <= bytes.capacity && r == CodePageDone);
    if (lost)
        return;
    std::vector<char16_t> again(unitCount + 1);
    size_t againCount = 0;
    bool againReplaced = false;
    r = CodePage932ToUtf16(bytes.data(), byteCount, again.data(), again.size(), &againCount,
                           &againReplaced);
    FUZZ_CHECK(r == CodePageDone && !againReplaced && againCount == unitCount);
    FUZZ_CHECK(std::memcmp(again.data(), units.data(), unitCount * sizeof(char16_t)) == 0);
}

// Replacing the IBM extension codes keeps the length and the characters.
void CheckIbmExtensionReplacement(const std::vector<char>& source, size_t length) {
    std::vector<char> replaced(source);
    ReplaceIbmExtensionCodes(replaced.data());
    FUZZ_CHECK(std::memcmp(replaced.data() + length, source.data() + length, 4) == 0);
    std::vector<char16_t> before(length + 1);
    std::vector<char16_t> after(length + 1);
    size_t beforeCount = 0;
    size_t afterCount = 0;
    bool lost = false;
    CodePage932ToUtf16(source.data(), length, before.data(), before.size(), &beforeCount, &lost);
    CodePage932ToUtf16(replaced.data(), length, after.data(), after.size(), &afterCount, &lost);
    FUZZ_CHECK(beforeCount == afterCount);
    FUZZ_CHECK(std::memcmp(before.data(), after.data(), beforeCount * sizeof(char16_t)) == 0);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4)
        return 0;
    const int mode = data[0] & 1;
    const ConversionFlags flags = static_cast<ConversionFlags>(data[1] | data[2] << 8);
    const size_t capacity = CapacityOf(data[3]);
    const uint8_t* text = data + 4;
    const size_t length = size - 4;

    // The detector sees the text and the two bytes that follow it, as in the
    // directory: here the flag bytes. It reads at least three bytes.
    std::vector<uint8_t> view(length + 2 < 3 ? 3 : length + 2, 0);
    std::memcpy(view.data(), text, length);
    view[length] = data[1];
    view[length + 1] = data[2];
    int code = DetectEncoding(view.data(), static_cast<int32_t>(length), mode);
    FUZZ_CHECK(code != Undecodable);

    // The converters take zero-terminated texts (UTF-16: a zero unit).
    std::vector<char> source(length + 4, 0);
    std::memcpy(source.data(), text, length);
    CheckToShiftJis(EucToShiftJis, source.data(), capacity, flags);
    CheckToShiftJis(Utf16LeToShiftJis, source.data(), capacity, flags);
    CheckToShiftJis(Utf8ToShiftJis, source.data(), capacity, flags);
    std::vector<char> swapped(source);
    for (size_t i = 0; i + 1 < length; i += 2)
        std::swap(swapped[i], swapped[i + 1]);
    CheckToShiftJis(Utf16LeToShiftJis, swapped.data(), capacity, flags);

    CheckShiftJisToUtf8(source.data(), capacity, flags);
    CheckShiftJisToUtf8(source.data(), capacity, NewlineCrLf);
    CheckOnePassAgainstGeneral(source, length, capacity);
    CheckCodePage(text, length, capacity);
    CheckIbmExtensionReplacement(source, length);
    return 0;
}
