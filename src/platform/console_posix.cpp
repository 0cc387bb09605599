#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/console.h"

void SelectJapaneseLocale() {
    std::setlocale(LC_CTYPE, "");
}

void ConsoleWrite(std::string_view bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

void ConsolePrintf(const char* format, ...) {
    char small[1024];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(small, sizeof small, format, args);
    va_end(args);
    if (n < 0) {
        va_end(again);
        return;
    }
    if (static_cast<size_t>(n) < sizeof small) {
        ConsoleWrite(std::string_view(small, static_cast<size_t>(n)));
    } else {
        std::vector<char> large(static_cast<size_t>(n) + 1);
        std::vsnprintf(large.data(), large.size(), format, again);
        ConsoleWrite(std::string_view(large.data(), static_cast<size_t>(n)));
    }
    va_end(again);
}

void EndProcess(int code) {
    std::fflush(stdout);
    std::exit(code);
}
