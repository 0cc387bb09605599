// The newline rule shared by every converter, and a bounded writer for
// converter output.
#pragma once

#include <cstddef>
#include <cstring>

#include "jcode/conversion.h"

// The newline form a flag word asks for. CR LF wins over CR, CR over LF; with
// none of the three bits newlines pass unchanged.
enum class NewlineForm { Keep, CrLf, Cr, Lf };

NewlineForm SelectNewlineForm(ConversionFlags flags);

// The newline that starts at `text` (a CR or an LF) under `form`: writes its
// replacement (1 or 2 bytes) to `replacement`, stores the count in
// `replacementLength` and returns the number of source bytes it stands for (2
// for CR followed by LF unless `form` is Keep, else 1). Looks one byte ahead
// only after a CR, so `text` must be zero-terminated.
size_t TranslateNewline(const char* text, NewlineForm form, char* replacement,
                        size_t* replacementLength);

// Output of a converter: `capacity` bytes at `out`, terminator included.
// Every put is all or nothing, so a text cut for lack of room never ends in
// half a character or half a newline.
struct TextSink {
    char* out;
    size_t capacity;
    size_t used;
    bool full;  // a put did not fit; nothing was written for it or after it
};

inline TextSink MakeTextSink(char* out, size_t capacity) {
    return TextSink{out, capacity, 0, false};
}

// Appends `count` bytes when they fit with room left for the terminator;
// otherwise sets `full` and writes nothing. Returns false once `full`.
// Inline: the converters put every character through here.
inline bool SinkPut(TextSink* sink, const char* bytes, size_t count) {
    if (sink->full)
        return false;
    // Room must stay for the terminator: used + count + 1 <= capacity.
    if (sink->capacity == 0 || count > sink->capacity - 1 - sink->used) {
        sink->full = true;
        return false;
    }
    std::memcpy(sink->out + sink->used, bytes, count);
    sink->used += count;
    return true;
}

inline bool SinkPutByte(TextSink* sink, char byte) {
    return SinkPut(sink, &byte, 1);
}

// Writes the zero byte after the text (there is always room for it when the
// capacity is at least 1). A zero capacity marks the sink full.
void SinkTerminate(TextSink* sink);
