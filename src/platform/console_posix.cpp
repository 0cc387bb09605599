#include <langinfo.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/console_charset.h"
#include "platform/file.h"

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

bool ConsoleIsInteractive() {
    return redirectedOutput == nullptr && ::isatty(STDOUT_FILENO) == 1;
}

bool ErrorOutputIsInteractive() {
    return ::isatty(STDERR_FILENO) == 1;
}

void ErrorWrite(std::string_view bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stderr);
    std::fflush(stderr);
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

void ConsoleWritePath(const char* path) {
    ConsoleWrite(PathForDisplay(path));
}

// A POSIX program runs in the terminal it was started from, which stays open
// after it: there is never anything to hold.
void HoldOwnConsoleWindow(std::string_view) {}

void EndProcess(int code) {
    std::string rest;
    CloseTerminalTranscoder(&terminal, &rest);
    WriteToStandardOutput(rest);
    std::fflush(stdout);
    std::exit(code);
}
