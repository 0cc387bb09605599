// Console services: the locale, byte output to standard output, the console
// window that a run owns, and the end of the process. Texts are Shift-JIS bytes. Files and pipes
// receive them unchanged; a terminal that works in another character set (a UTF-8 locale) receives
// them converted to that set, so that a person can read them.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

// The command-line arguments, the program's name first: argv as given on
// POSIX; on Windows the wide command line converted to UTF-8, so that a path
// with any character in it arrives intact.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Selects the locale for character handling at start-up, and with it the
// character set in which a terminal on standard output is written.
void SelectJapaneseLocale();

// Writes Shift-JIS bytes to standard output: exactly as given, or converted
// for a terminal as described above.
void ConsoleWrite(std::string_view bytes);

// True when standard output is a terminal (POSIX) or a console window
// (Windows), and ConsoleWrite is not redirected: a person reads what is
// written. False for a file or a pipe.
bool ConsoleIsInteractive();

// True when standard error is a terminal (POSIX) or a console (Windows): a
// person watches it.
bool ErrorOutputIsInteractive();

// Writes ASCII bytes to standard error as they are, at once.
void ErrorWrite(std::string_view bytes);

// For tests: while `sink` is not null, ConsoleWrite appends the bytes to it,
// unconverted, instead of writing them. Null restores standard output.
void RedirectConsoleOutput(std::string* sink);

// Formats like printf and writes the result with ConsoleWrite.
#if defined(__GNUC__)
#define ARCPEEK_PRINTF_FORMAT __attribute__((format(printf, 1, 2)))
#else
#define ARCPEEK_PRINTF_FORMAT
#endif
void ConsolePrintf(const char* format, ...) ARCPEEK_PRINTF_FORMAT;

// Writes a path (as the command line gives it) for a person to read: on a
// Windows console in full, whatever characters it holds; elsewhere as
// PathForDisplay shows it, so that files and pipes receive Shift-JIS only.
void ConsoleWritePath(const char* path);

// Keeps a console window that was opened for this run alone from closing
// before its text can be read: started from Explorer (a drop on the program,
// a double-click, a shortcut), the run ends by showing `prompt` (Shift-JIS)
// on that console and waiting for a key. Nothing is shown and nothing waits
// when the console is shared with other processes (a command prompt), when
// standard input or output is redirected, or where a program never has a
// window of its own (POSIX). Standard output receives nothing either way.
void HoldOwnConsoleWindow(std::string_view prompt);

// Flushes standard output and ends the process with `code`.
[[noreturn]] void EndProcess(int code);
