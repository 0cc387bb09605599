// The command line: the banner, the switches and the usage text.
#pragma once

// Fills context.banner.
void BuildBanner();

// Interprets one argument into the switches of the context. Ends the process
// for -h, bad switches (usage text, codes 1 to 4) and a missing archive (5).
void ParseArgument(const char* arg);

// Ends the process with `code`. In a console window that was opened for this
// run alone (started from Explorer), first asks for a key and waits for it,
// so that the window stays until its text has been read.
[[noreturn]] void EndRun(int code);

// Prints the banner, an empty line and the usage text, and ends the process.
[[noreturn]] void ShowUsageAndExit(int code);

// True when the archive was refused for a limit that -r lifts (8 for a size
// of 2 GiB or more, 82, 86, 88, 89 by the reader, 69 by the rewrite) and -r
// was not given.
bool RelaxedSwitchReads(int result);

// Prints the error line "処理エラーが発生しました。..." followed by an empty line.
// On a console, a refusal that -r lifts adds a line saying so before it.
void PrintErrorLine(int result, int madeByVersion, int errorDetail);
