// Console services on Windows. Standard output in binary mode, so that the
// bytes arrive as written ("\n" stays "\n"); when it is a console, the
// Shift-JIS text is shown through WriteConsoleW as UTF-16, readable under any
// console code page. A console window that Explorer opened for this process
// alone is held open at the end until a key is pressed.
#include <windows.h>
// shellapi.h needs the types of windows.h.
#include <fcntl.h>
#include <io.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/console_wide.h"
#include "platform/console_window_win32.h"
#include "platform/file.h"
#include "platform/wide_text.h"

namespace {

// The console on standard output; null when output goes to a file or pipe.
HANDLE console = nullptr;
TerminalTranscoder consoleText = {nullptr, 0, 0};

// Where ConsoleWrite puts its bytes instead of standard output, while set.
std::string* redirectedOutput = nullptr;

void WriteToStandardOutput(std::string_view bytes) {
    std::fwrite(bytes.data(), 1, bytes.size(), stdout);
}

// WriteConsoleW takes a limited number of units at a time.
void WriteToConsole(const std::wstring& text) {
    constexpr size_t Piece = 8192;
    for (size_t done = 0; done < text.size();) {
        size_t count = text.size() - done < Piece ? text.size() - done : Piece;
        DWORD written = 0;
        if (!WriteConsoleW(console, text.data() + done, static_cast<DWORD>(count), &written,
                           nullptr) ||
            written == 0)
            return;
        done += written;
    }
}

// A standard handle that is a console: a character device that has a console
// mode (NUL is a character device without one).
bool IsConsoleHandle(const ConsoleQueries& system, DWORD which) {
    HANDLE handle = system.getStdHandle(which);
    DWORD mode = 0;
    return handle != nullptr && handle != INVALID_HANDLE_VALUE &&
           system.getFileType(handle) == FILE_TYPE_CHAR && system.getConsoleMode(handle, &mode);
}

// Writes a lead byte still held by the transcoder as "?", so that nothing
// written after it is taken for its trail byte.
void SettleHeldLeadByte() {
    if (console && consoleText.heldCount == 1) {
        WriteToConsole(L"?");
        consoleText.heldCount = 0;
    }
}

// Waits for a key to go down. Keys pressed while the run worked are dropped
// first, so that the text stays until it has been seen; mouse and focus
// events do not count.
void WaitForKey(HANDLE input) {
    FlushConsoleInputBuffer(input);
    for (;;) {
        INPUT_RECORD record;
        DWORD read = 0;
        if (!ReadConsoleInputW(input, &record, 1, &read) || read == 0)
            return;
        if (record.EventType == KEY_EVENT && record.Event.KeyEvent.bKeyDown)
            return;
    }
}

}  // namespace

ConsoleQueries SystemConsoleQueries() {
    return ConsoleQueries{GetStdHandle, GetFileType, GetConsoleMode, GetConsoleProcessList};
}

bool OwnsConsoleWindow(const ConsoleQueries& system) {
    if (!IsConsoleHandle(system, STD_INPUT_HANDLE) || !IsConsoleHandle(system, STD_OUTPUT_HANDLE))
        return false;
    // Room for two: a count above one is all that matters, and the call
    // returns the count even when the list does not fit.
    DWORD processes[2];
    return system.getConsoleProcessList(processes, 2) == 1;
}

std::vector<std::string> ProgramArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr)
        return std::vector<std::string>(argv, argv + argc);
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i)
        arguments.push_back(Utf8FromWide(wide[i]));
    LocalFree(wide);
    return arguments;
}

void SelectJapaneseLocale() {
    _setmode(_fileno(stdout), _O_BINARY);
    HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    DWORD mode = 0;
    if (output != INVALID_HANDLE_VALUE && output != nullptr && GetConsoleMode(output, &mode))
        console = output;
}

bool ConsoleIsInteractive() {
    return redirectedOutput == nullptr && console != nullptr;
}

bool ErrorOutputIsInteractive() {
    DWORD mode = 0;
    HANDLE error = ::GetStdHandle(STD_ERROR_HANDLE);
    return error != nullptr && error != INVALID_HANDLE_VALUE && ::GetConsoleMode(error, &mode);
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
    } else if (console) {
        std::wstring text;
        TranscodeToUtf16(&consoleText, bytes, &text);
        WriteToConsole(text);
    } else {
        WriteToStandardOutput(bytes);
    }
}

void ConsoleWritePath(const char* path) {
    if (console && !redirectedOutput) {
        SettleHeldLeadByte();
        WriteToConsole(WideFromUtf8(path));
    } else {
        ConsoleWrite(PathForDisplay(path));
    }
}

void HoldOwnConsoleWindow(std::string_view prompt) {
    if (!console || redirectedOutput || !OwnsConsoleWindow(SystemConsoleQueries()))
        return;
    SettleHeldLeadByte();
    std::wstring text;
    TranscodeToUtf16(&consoleText, prompt, &text);
    WriteToConsole(text);
    SettleHeldLeadByte();
    WaitForKey(GetStdHandle(STD_INPUT_HANDLE));
}

void EndProcess(int code) {
    SettleHeldLeadByte();
    std::fflush(stdout);
    std::exit(code);
}
