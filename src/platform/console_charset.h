// Making the tool's Shift-JIS output readable on a terminal that works in
// another character set. Only a terminal gets converted text; files and pipes
// always receive the Shift-JIS bytes unchanged.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

// True when `charset` (a locale's codeset such as "SHIFT_JIS", "CP932" or
// "WINDOWS-31J") names Shift-JIS or one of its Windows or IBM variants.
bool IsShiftJisCharset(std::string_view charset);

// The character set part of a locale name: "ja_JP.UTF-8@euro" -> "UTF-8";
// empty when the name has none ("C", "POSIX", "ja_JP").
std::string CharsetOfLocaleName(std::string_view locale);

// A converter from code page 932 to a terminal's character set. A lead byte
// that ends one piece of output is held until the next piece brings its trail
// byte, so a character split between two writes still converts whole.
struct TerminalTranscoder {
    void* converter;    // the system converter; null while none is open
    char heldLeadByte;  // valid when heldCount is 1
    size_t heldCount;
};

// Opens a converter to `charset`; false when the system has none.
bool OpenTerminalTranscoder(TerminalTranscoder* transcoder, const char* charset);

// Appends the conversion of `bytes` to `out`. Bytes that form no Shift-JIS
// character, and characters the terminal's set lacks, become "?".
void TranscodeForTerminal(TerminalTranscoder* transcoder, std::string_view bytes, std::string* out);

// Appends "?" for a lead byte still held, then closes the converter.
void CloseTerminalTranscoder(TerminalTranscoder* transcoder, std::string* out);
