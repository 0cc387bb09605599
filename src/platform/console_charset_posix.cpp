#include <iconv.h>

#include <cerrno>

#include "platform/console_charset.h"

namespace {

const iconv_t NoConverter = reinterpret_cast<iconv_t>(-1);

bool IsLeadByte(unsigned char b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool IsTrailByte(unsigned char b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

// How many bytes to replace by one "?" when the converter stops at `at`: a
// whole two-byte character when it is one, else the single byte.
size_t UnconvertibleLength(const char* at, size_t left) {
    unsigned char first = static_cast<unsigned char>(at[0]);
    if (left >= 2 && IsLeadByte(first) && IsTrailByte(static_cast<unsigned char>(at[1]))) {
        return 2;
    }
    return 1;
}

// Converts `bytes` completely except a lead byte at the very end, whose count
// (0 or 1) is returned.
size_t ConvertPiece(iconv_t converter, std::string_view bytes, std::string* out) {
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    while (inLeft > 0) {
        size_t start = out->size();
        size_t room = inLeft * 3 + 16;  // one byte can become three in UTF-8
        out->resize(start + room);
        char* o = out->data() + start;
        size_t outLeft = room;
        size_t r = iconv(converter, &in, &inLeft, &o, &outLeft);
        int error = errno;
        out->resize(start + (room - outLeft));
        if (r != static_cast<size_t>(-1))
            break;
        if (error == E2BIG)
            continue;
        if (error == EINVAL && inLeft == 1 && IsLeadByte(static_cast<unsigned char>(*in))) {
            return 1;
        }
        size_t skip = (error == EILSEQ) ? UnconvertibleLength(in, inLeft) : inLeft;
        out->push_back('?');
        in += skip;
        inLeft -= skip;
    }
    return 0;
}

}  // namespace

bool OpenTerminalTranscoder(TerminalTranscoder* transcoder, const char* charset) {
    iconv_t converter = iconv_open(charset, "CP932");
    if (converter == NoConverter)
        return false;
    transcoder->converter = converter;
    transcoder->heldCount = 0;
    return true;
}

void TranscodeForTerminal(TerminalTranscoder* transcoder, std::string_view bytes,
                          std::string* out) {
    iconv_t converter = static_cast<iconv_t>(transcoder->converter);
    if (bytes.empty())
        return;
    if (transcoder->heldCount == 1) {
        char pair[2] = {transcoder->heldLeadByte, bytes[0]};
        transcoder->heldCount = 0;
        size_t held = ConvertPiece(converter, std::string_view(pair, 2), out);
        if (held == 1) {  // a lone byte: nothing followed it
            transcoder->heldLeadByte = pair[1];
            transcoder->heldCount = 1;
        }
        bytes.remove_prefix(1);
    }
    size_t held = ConvertPiece(converter, bytes, out);
    if (held == 1) {
        transcoder->heldLeadByte = bytes.back();
        transcoder->heldCount = 1;
    }
}

void CloseTerminalTranscoder(TerminalTranscoder* transcoder, std::string* out) {
    if (!transcoder->converter)
        return;
    if (transcoder->heldCount == 1)
        out->push_back('?');
    transcoder->heldCount = 0;
    iconv_close(static_cast<iconv_t>(transcoder->converter));
    transcoder->converter = nullptr;
}
