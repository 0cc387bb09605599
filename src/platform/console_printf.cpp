// ConsolePrintf for every platform: it formats, and ConsoleWrite writes.
#include <cstdarg>
#include <cstdio>
#include <string_view>
#include <vector>

#include "platform/console.h"

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
