// The terminal conversion on Windows: code page 932 to UTF-16 with
// MultiByteToWideChar, then to the terminal's code page with
// WideCharToMultiByte. The converter is the terminal's code page number.
#include <windows.h>

#include <cstdint>
#include <cstdlib>

#include "platform/codepage_policy.h"
#include "platform/console_charset.h"
#include "platform/console_wide.h"

namespace {

constexpr UINT ShiftJisCodePage = 932;

struct Converter {
    UINT codePage;
};

// The charset name in upper case without "-" and "_": "utf-8" -> "UTF8".
std::string Normalized(std::string_view charset) {
    std::string name;
    for (char c : charset) {
        if (c == '-' || c == '_')
            continue;
        name += (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
    }
    return name;
}

// The code page a charset name stands for; 0 when none is known.
UINT CodePageOfCharset(std::string_view charset) {
    std::string name = Normalized(charset);
    if (name == "UTF8")
        return CP_UTF8;
    if (name == "ASCII" || name == "ANSIX3.41968" || name == "USASCII")
        return 20127;
    if (name == "EUCJP")
        return 20932;
    if (name.starts_with("ISO8859") && name.size() > 7)
        name = "2859" + name.substr(7);
    for (const char* prefix : {"CP", "IBM", "WINDOWS", "MS"}) {
        std::string_view p(prefix);
        if (name.starts_with(p)) {
            name.erase(0, p.size());
            break;
        }
    }
    if (name.empty() || name.size() > 5 ||
        name.find_first_not_of("0123456789") != std::string::npos)
        return 0;
    UINT codePage = static_cast<UINT>(std::strtoul(name.c_str(), nullptr, 10));
    return IsValidCodePage(codePage) ? codePage : 0;
}

void AppendUnknown(std::wstring* out) {
    out->push_back(L'?');
}

// Decodes one whole character (one or two bytes) for display.
void AppendCharacter(const char* bytes, size_t length, std::wstring* out) {
    wchar_t unit = 0;
    if (length == 1 && SingleByteExtra(static_cast<uint8_t>(bytes[0])) != 0) {
        AppendUnknown(out);  // 80, A0, FD-FF show no character
        return;
    }
    int n = MultiByteToWideChar(ShiftJisCodePage, MB_ERR_INVALID_CHARS, bytes,
                                static_cast<int>(length), &unit, 1);
    if (n == 1)
        out->push_back(unit);
    else
        AppendUnknown(out);
}

// Decodes `bytes`, all but a lead byte at the very end, whose count (0 or 1)
// is returned. Runs of ASCII go in one piece.
size_t DecodePiece(std::string_view bytes, std::wstring* out) {
    size_t i = 0;
    while (i < bytes.size()) {
        uint8_t b = static_cast<uint8_t>(bytes[i]);
        if (b < 0x80) {
            out->push_back(static_cast<wchar_t>(b));
            ++i;
            continue;
        }
        if (IsLeadByte(b)) {
            if (i + 1 == bytes.size())
                return 1;
            if (IsTrailByte(static_cast<uint8_t>(bytes[i + 1]))) {
                AppendCharacter(bytes.data() + i, 2, out);
                i += 2;
                continue;
            }
        }
        AppendCharacter(bytes.data() + i, 1, out);
        ++i;
    }
    return 0;
}

}  // namespace

void TranscodeToUtf16(TerminalTranscoder* transcoder, std::string_view bytes, std::wstring* out) {
    if (bytes.empty())
        return;
    if (transcoder->heldCount == 1) {
        char pair[2] = {transcoder->heldLeadByte, bytes[0]};
        transcoder->heldCount = 0;
        if (DecodePiece(std::string_view(pair, 2), out) == 1) {
            transcoder->heldLeadByte = pair[1];
            transcoder->heldCount = 1;
        }
        bytes.remove_prefix(1);
    }
    if (DecodePiece(bytes, out) == 1) {
        transcoder->heldLeadByte = bytes.back();
        transcoder->heldCount = 1;
    }
}

bool OpenTerminalTranscoder(TerminalTranscoder* transcoder, const char* charset) {
    UINT codePage = CodePageOfCharset(charset);
    if (codePage == 0)
        return false;
    transcoder->converter = new Converter{codePage};
    transcoder->heldCount = 0;
    return true;
}

void TranscodeForTerminal(TerminalTranscoder* transcoder, std::string_view bytes,
                          std::string* out) {
    std::wstring wide;
    TranscodeToUtf16(transcoder, bytes, &wide);
    if (wide.empty())
        return;
    UINT codePage = static_cast<Converter*>(transcoder->converter)->codePage;
    // UTF-8 holds every unit and takes no default character.
    BOOL defaulted = FALSE;
    const char* fallback = codePage == CP_UTF8 ? nullptr : "?";
    BOOL* usedDefault = codePage == CP_UTF8 ? nullptr : &defaulted;
    int size = static_cast<int>(wide.size());
    int n = WideCharToMultiByte(codePage, 0, wide.data(), size, nullptr, 0, fallback, usedDefault);
    if (n <= 0)
        return;
    size_t start = out->size();
    out->resize(start + static_cast<size_t>(n));
    WideCharToMultiByte(codePage, 0, wide.data(), size, out->data() + start, n, fallback,
                        usedDefault);
}

void CloseTerminalTranscoder(TerminalTranscoder* transcoder, std::string* out) {
    if (!transcoder->converter)
        return;
    if (transcoder->heldCount == 1)
        out->push_back('?');
    transcoder->heldCount = 0;
    delete static_cast<Converter*>(transcoder->converter);
    transcoder->converter = nullptr;
}
