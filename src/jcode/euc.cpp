#include "jcode/euc.h"

#include "jcode/kana.h"
#include "jcode/newline.h"

namespace {

bool IsEucByte(uint8_t b) {
    return b >= 0xA1 && b <= 0xFE;
}

uint8_t Byte(int value) {
    return static_cast<uint8_t>(value & 0xFF);
}

// Writes the two bytes of a 16-bit code, high byte first.
bool PutCode(TextSink* sink, uint16_t code) {
    const char bytes[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    return SinkPut(sink, bytes, 2);
}

// The code for a byte that does not start a character the walk can convert.
int StopCode(uint8_t b, uint8_t next) {
    if (b == 0x8F)
        return ThreeByteCodeRejected;
    if (IsEucByte(b))
        return next == 0 ? MissingTrailByte : BadEucTrailByte;
    if (b == 0x8E)
        return next == 0 ? MissingTrailByte : BadKanaTrailByte;
    return BadEucLeadByte;
}

}  // namespace

uint16_t EucPairToJis(uint8_t first, uint8_t second) {
    if (first == 0x8E)
        return second;
    return static_cast<uint16_t>(Byte(first + 0x80) << 8 | Byte(second + 0x80));
}

uint16_t JisToShiftJis(uint8_t first, uint8_t second) {
    uint8_t trail = Byte(second + ((first & 1) ? 0x1F : 0x7D));
    uint8_t lead = Byte((Byte(first - 0x21) >> 1) + 0x81);
    if (trail >= 0x7F)
        trail = Byte(trail + 1);
    if (lead > 0x9F)
        lead = Byte(lead + 0x40);
    return static_cast<uint16_t>(lead << 8 | trail);
}

uint16_t EucPairToShiftJis(uint8_t first, uint8_t second) {
    uint16_t jis = EucPairToJis(first, second);
    return JisToShiftJis(Byte(jis >> 8), Byte(jis));
}

int EucToShiftJis(const char* source, char* output, size_t capacity, ConversionFlags flags,
                  int* lossy) {
    TextSink sink = MakeTextSink(output, capacity);
    NewlineForm newlines = SelectNewlineForm(flags);
    int result = 0;
    size_t i = 0;
    while (result == 0 && source[i] != 0) {
        uint8_t b = static_cast<uint8_t>(source[i]);
        uint8_t c = static_cast<uint8_t>(source[i + 1]);
        if (IsEucByte(b) && IsEucByte(c)) {
            PutCode(&sink, EucPairToShiftJis(b, c));
            i += 2;
        } else if (b == 0x8E && IsHalfWidthKana(c)) {
            SinkPutByte(&sink, static_cast<char>(c));
            i += 2;
        } else if (b == '\r' || b == '\n') {
            char replacement[2];
            size_t replacementLength = 0;
            i += TranslateNewline(source + i, newlines, replacement, &replacementLength);
            SinkPut(&sink, replacement, replacementLength);
        } else if (b < 0x80) {
            SinkPutByte(&sink, static_cast<char>(b));
            ++i;
        } else {
            result = StopCode(b, c);
        }
        if (sink.full)
            result = TextTooLong;
    }
    SinkTerminate(&sink);
    if (sink.full)
        result = TextTooLong;
    if (lossy)
        *lossy = result != 0 ? 1 : 0;
    return result;
}
