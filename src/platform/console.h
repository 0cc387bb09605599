// Console services: the locale, raw byte output to standard output, and the
// end of the process. Texts are Shift-JIS bytes and are written unchanged.
#pragma once

#include <cstddef>
#include <string_view>

// Selects the locale for character handling at start-up.
void SelectJapaneseLocale();

// Writes bytes to standard output exactly as given.
void ConsoleWrite(std::string_view bytes);

// Formats like printf and writes the result with ConsoleWrite.
void ConsolePrintf(const char* format, ...) __attribute__((format(printf, 1, 2)));

// Flushes standard output and ends the process with `code`.
[[noreturn]] void EndProcess(int code);
