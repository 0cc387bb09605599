#include <windows.h>

#include <cstdint>

#include "platform/wide_text.h"

namespace {

constexpr char32_t ReplacementCharacter = 0xFFFD;

// Folders need room for an 8.3 name behind them, so the long form starts
// below MAX_PATH.
constexpr size_t LongPathFrom = MAX_PATH - 12;

// The length of the UTF-8 sequence that starts with `b`; 0 for a byte that
// cannot start one.
size_t SequenceLength(uint8_t b) {
    if (b < 0x80)
        return 1;
    if (b >= 0xC2 && b <= 0xDF)
        return 2;
    if (b >= 0xE0 && b <= 0xEF)
        return 3;
    if (b >= 0xF0 && b <= 0xF4)
        return 4;
    return 0;
}

// Decodes the character at `text[i]`, advancing `i` past it.
char32_t DecodeCharacter(std::string_view text, size_t* i) {
    uint8_t first = static_cast<uint8_t>(text[*i]);
    size_t length = SequenceLength(first);
    if (length == 0 || *i + length > text.size()) {
        ++*i;
        return ReplacementCharacter;
    }
    char32_t c = length == 1 ? first : first & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
        uint8_t next = static_cast<uint8_t>(text[*i + k]);
        if ((next & 0xC0) != 0x80) {
            ++*i;
            return ReplacementCharacter;
        }
        c = (c << 6) | (next & 0x3F);
    }
    static const char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
    *i += length;
    if (c < smallest[length] || c > 0x10FFFF)
        return ReplacementCharacter;
    return c;
}

void AppendUtf8(char32_t c, std::string* out) {
    if (c < 0x80) {
        out->push_back(static_cast<char>(c));
    } else if (c < 0x800) {
        out->push_back(static_cast<char>(0xC0 | (c >> 6)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
        out->push_back(static_cast<char>(0xE0 | (c >> 12)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
        out->push_back(static_cast<char>(0xF0 | (c >> 18)));
        out->push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
        out->push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
}

bool IsHighSurrogate(wchar_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}

bool IsLowSurrogate(wchar_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

bool HasLongForm(const std::wstring& path) {
    return path.starts_with(L"\\\\?\\") || path.starts_with(L"\\\\.\\");
}

// The absolute form of `path`, "." and ".." resolved and "/" made "\".
std::wstring FullPath(const std::wstring& path) {
    DWORD size = GetFullPathNameW(path.c_str(), 0, nullptr, nullptr);
    if (size == 0)
        return path;
    std::wstring full(size, L'\0');
    DWORD length = GetFullPathNameW(path.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size)
        return path;
    full.resize(length);
    return full;
}

}  // namespace

std::wstring WideFromUtf8(std::string_view text) {
    std::wstring out;
    out.reserve(text.size());
    size_t i = 0;
    while (i < text.size()) {
        char32_t c = DecodeCharacter(text, &i);
        if (c >= 0x10000) {
            c -= 0x10000;
            out.push_back(static_cast<wchar_t>(0xD800 + (c >> 10)));
            out.push_back(static_cast<wchar_t>(0xDC00 + (c & 0x3FF)));
        } else {
            out.push_back(static_cast<wchar_t>(c));
        }
    }
    return out;
}

std::string Utf8FromWide(std::wstring_view text) {
    std::string out;
    out.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t u = text[i];
        if (IsHighSurrogate(u) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            char32_t c = 0x10000 + ((static_cast<char32_t>(u) - 0xD800) << 10) +
                         (static_cast<char32_t>(text[i + 1]) - 0xDC00);
            AppendUtf8(c, &out);
            ++i;
        } else {
            AppendUtf8(static_cast<char32_t>(u), &out);
        }
    }
    return out;
}

std::wstring SystemPath(const char* path) {
    std::wstring wide = WideFromUtf8(path);
    if (wide.size() < LongPathFrom || HasLongForm(wide))
        return wide;
    std::wstring full = FullPath(wide);
    if (full.size() < LongPathFrom || HasLongForm(full))
        return full;
    if (full.starts_with(L"\\\\"))
        return L"\\\\?\\UNC\\" + full.substr(2);
    return L"\\\\?\\" + full;
}

std::wstring NativePath(const char* path) {
    std::wstring full = FullPath(SystemPath(path));
    if (full.starts_with(L"\\\\?\\") || full.starts_with(L"\\\\.\\"))
        return L"\\??\\" + full.substr(4);
    if (full.starts_with(L"\\\\"))
        return L"\\??\\UNC\\" + full.substr(2);
    return L"\\??\\" + full;
}

std::wstring QuotedArgument(const std::wstring& argument) {
    if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos)
        return argument;
    std::wstring out = L"\"";
    size_t backslashes = 0;
    for (wchar_t c : argument) {
        if (c == L'\\') {
            ++backslashes;
            continue;
        }
        out.append(c == L'"' ? backslashes * 2 + 1 : backslashes, L'\\');
        backslashes = 0;
        out.push_back(c);
    }
    out.append(backslashes * 2, L'\\');
    out.push_back(L'"');
    return out;
}
