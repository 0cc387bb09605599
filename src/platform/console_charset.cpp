#include "platform/console_charset.h"

#include <cctype>

namespace {

// The charset name in upper case without "-" and "_": "Shift_JIS" -> "SHIFTJIS".
std::string NormalizeCharsetName(std::string_view charset) {
    std::string name;
    for (char c : charset) {
        if (c == '-' || c == '_')
            continue;
        name += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return name;
}

}  // namespace

bool IsShiftJisCharset(std::string_view charset) {
    std::string name = NormalizeCharsetName(charset);
    const char* const shiftJisNames[] = {"SJIS",       "SHIFTJIS",     "CP932",      "MS932",
                                         "IBM932",     "IBM943",       "WINDOWS31J", "MSKANJI",
                                         "CSSHIFTJIS", "CSWINDOWS31J", "CSIBM932",   "932"};
    for (const char* known : shiftJisNames) {
        if (name == known)
            return true;
    }
    // Variants such as SJIS-WIN, SJIS-OPEN and SHIFT_JISX0213.
    return name.starts_with("SJIS") || name.starts_with("SHIFTJIS");
}

std::string CharsetOfLocaleName(std::string_view locale) {
    size_t dot = locale.find('.');
    if (dot == std::string_view::npos)
        return "";
    std::string_view charset = locale.substr(dot + 1);
    size_t modifier = charset.find('@');
    if (modifier != std::string_view::npos)
        charset = charset.substr(0, modifier);
    return std::string(charset);
}
