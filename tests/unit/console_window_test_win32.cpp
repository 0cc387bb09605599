// Whether a run holds its console window open, decided from the answers the
// system gives: each situation a run can start in, with the calls faked.
#include <gtest/gtest.h>

#include "platform/console_window_win32.h"

namespace {

// The answers of the faked system.
struct Situation {
    const char* name;
    DWORD inputType;
    BOOL inputHasMode;
    DWORD outputType;
    BOOL outputHasMode;
    DWORD processes;
    bool owns;
};

const Situation* current = nullptr;
HANDLE const FakeInput = reinterpret_cast<HANDLE>(0x10);
HANDLE const FakeOutput = reinterpret_cast<HANDLE>(0x20);

HANDLE WINAPI FakeStdHandle(DWORD which) {
    return which == STD_INPUT_HANDLE ? FakeInput : FakeOutput;
}
DWORD WINAPI FakeFileType(HANDLE handle) {
    return handle == FakeInput ? current->inputType : current->outputType;
}
BOOL WINAPI FakeConsoleMode(HANDLE handle, LPDWORD mode) {
    *mode = 0;
    return handle == FakeInput ? current->inputHasMode : current->outputHasMode;
}
DWORD WINAPI FakeProcessList(LPDWORD ids, DWORD count) {
    for (DWORD i = 0; i < count && i < current->processes; ++i)
        ids[i] = 100 + i;
    return current->processes;
}

TEST(ConsoleWindow, HeldOnlyWhenTheRunIsAloneOnItsConsole) {
    const DWORD Char = FILE_TYPE_CHAR, Disk = FILE_TYPE_DISK, Pipe = FILE_TYPE_PIPE;
    const Situation situations[] = {
        {"own console (Explorer)", Char, TRUE, Char, TRUE, 1, true},
        {"console shared with cmd", Char, TRUE, Char, TRUE, 2, false},
        {"console shared with three", Char, TRUE, Char, TRUE, 3, false},
        {"input from a file", Disk, FALSE, Char, TRUE, 1, false},
        {"input from a pipe", Pipe, FALSE, Char, TRUE, 1, false},
        {"input from NUL", Char, FALSE, Char, TRUE, 1, false},
        {"output to a file", Char, TRUE, Disk, FALSE, 1, false},
        {"output to a pipe", Char, TRUE, Pipe, FALSE, 1, false},
        {"output to NUL", Char, TRUE, Char, FALSE, 1, false},
        {"no console", Char, TRUE, Char, TRUE, 0, false},
    };
    const ConsoleQueries fake{FakeStdHandle, FakeFileType, FakeConsoleMode, FakeProcessList};
    for (const Situation& situation : situations) {
        current = &situation;
        EXPECT_EQ(OwnsConsoleWindow(fake), situation.owns) << situation.name;
    }
    current = nullptr;
}

TEST(ConsoleWindow, MissingStandardHandlesAreNoConsole) {
    auto none = [](DWORD) -> HANDLE { return nullptr; };
    auto invalid = [](DWORD) -> HANDLE { return INVALID_HANDLE_VALUE; };
    auto anyChar = [](HANDLE) -> DWORD { return FILE_TYPE_CHAR; };
    auto anyMode = [](HANDLE, LPDWORD) -> BOOL { return TRUE; };
    auto alone = [](LPDWORD, DWORD) -> DWORD { return 1; };
    EXPECT_FALSE(OwnsConsoleWindow(ConsoleQueries{none, anyChar, anyMode, alone}));
    EXPECT_FALSE(OwnsConsoleWindow(ConsoleQueries{invalid, anyChar, anyMode, alone}));
}

}  // namespace
