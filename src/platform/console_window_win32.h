// Windows only: whether the console window belongs to this run alone, the
// question behind HoldOwnConsoleWindow. The system calls the answer rests on
// come in a record, so that tests can give the answers of each situation.
#pragma once

#include <windows.h>

struct ConsoleQueries {
    HANDLE(WINAPI* getStdHandle)(DWORD which);
    DWORD(WINAPI* getFileType)(HANDLE handle);
    BOOL(WINAPI* getConsoleMode)(HANDLE handle, LPDWORD mode);
    DWORD(WINAPI* getConsoleProcessList)(LPDWORD processIds, DWORD count);
};

// The system's own calls.
ConsoleQueries SystemConsoleQueries();

// True when this process is the only one attached to its console (Explorer
// opened the window for it; a command prompt would be attached too) and both
// standard input and standard output are that console, not a file, pipe or
// NUL.
bool OwnsConsoleWindow(const ConsoleQueries& system);
