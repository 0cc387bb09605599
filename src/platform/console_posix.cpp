#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>
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

// The locale the user asked for, as the C library looks it up.
const char* RequestedLocaleName() {
    for (const char* variable : {"LC_ALL", "LC_CTYPE", "LANG"}) {
        const char* value = std::getenv(variable);
        if (value && *value)
            return value;
    }
    return "";
}

// The terminal's character set: the selected locale's, or, when the system
// lacks the locale that was asked for (ja_JP.UTF-8 not installed), the one
// its name gives.
std::string TerminalCharset(bool localeSelected) {
    std::string named = localeSelected ? "" : CharsetOfLocaleName(RequestedLocaleName());
    if (!named.empty())
        return named;
    const char* codeset = nl_langinfo(CODESET);
    return codeset ? codeset : "";
}

void PrepareTerminalOutput(bool localeSelected) {
    if (!::isatty(STDOUT_FILENO))
        return;
    std::string charset = TerminalCharset(localeSelected);
    if (charset.empty() || IsShiftJisCharset(charset))
        return;
    OpenTerminalTranscoder(&terminal, charset.c_str());
}

}  // namespace

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

void SelectJapaneseLocale() {
    bool localeSelected = std::setlocale(LC_CTYPE, "") != nullptr;
    PrepareTerminalOutput(localeSelected);
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
