#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "platform/console.h"
#include "platform/console_charset.h"

namespace {

// Set at start-up when standard output is a terminal that does not work in
// Shift-JIS; everything written then goes through it.
TerminalTranscoder terminal = {nullptr, 0, 0};

// Where ConsoleWrite puts its bytes instead of standard output, while set.
std::string* redirectedOutput = nullptr;

void WriteToStandardOutput(std::string_view bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

void PrepareTerminalOutput() {
    if (!::isatty(STDOUT_FILENO))
        return;
    const char* charset = nl_langinfo(CODESET);
    if (!charset || !*charset || IsShiftJisCharset(charset))
        return;
    OpenTerminalTranscoder(&terminal, charset);
}

}  // namespace

void SelectJapaneseLocale() {
    std::setlocale(LC_CTYPE, "");
    PrepareTerminalOutput();
}

void RedirectConsoleOutput(std::string* sink) {
    redirectedOutput = sink;
}

void ConsoleWrite(std::string_view bytes) {
    if (redirectedOutput) {
        redirectedOutput->append(bytes);
    } else if (terminal.converter) {
        std::string text;
        TranscodeForTerminal(&terminal, bytes, &text);
        WriteToStandardOutput(text);
    } else {
        WriteToStandardOutput(bytes);
    }
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
    std::string rest;
    CloseTerminalTranscoder(&terminal, &rest);
    WriteToStandardOutput(rest);
    std::fflush(stdout);
    std::exit(code);
}
