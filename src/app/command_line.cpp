#include "app/command_line.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>

#include "app/messages.h"
#include "archive/context.h"
#include "platform/console.h"
#include "platform/file.h"

namespace {

constexpr const char* ProductName = "Arcpeek";
constexpr const char* ProductVersion = "1.0.0.0";
constexpr const char* BuildDate = "2014.02.03";
constexpr const char* RightsNotice = "Copyright (C) 2014-2026 The Arcpeek developers.\n\n";

void PrintPaddedLine(const char* text, size_t width) {
    std::string line = text ? text : "";
    if (line.size() < width)
        line.append(width - line.size(), ' ');
    line += '\n';
    ConsoleWrite(line);
}

// -c:s, -c:u and their upper-case forms; N or n as fifth character silences
// the console report.
void ParseEncodingSwitch(const char* arg) {
    if (arg[2] != ':')
        ShowUsageAndExit(2);
    if (arg[3] == 's' || arg[3] == 'S') {
        context.targetEncoding = ShiftJis;
    } else if (arg[3] == 'u' || arg[3] == 'U') {
        context.targetEncoding = Utf8;
    } else {
        ShowUsageAndExit(3);
    }
    if (arg[4] == 'N' || arg[4] == 'n')
        context.suppressReport = 1;
}

void ParseListSwitch(const char* arg) {
    if (arg[2] != ':')
        ShowUsageAndExit(2);
    if (arg[3] != '\0')
        context.listPath = arg + 3;
}

void TakeArchivePath(const char* arg) {
    context.archivePath = arg;
    if (!PathExists(context.archivePath.c_str())) {
        ConsoleWrite("\n");
        ConsolePrintf(FileNotFoundFormat, PathForDisplay(context.archivePath.c_str()).c_str());
        ConsoleWrite("\n");
        EndRun(5);
    }
}

}  // namespace

void BuildBanner() {
    std::snprintf(context.banner, sizeof context.banner, "\n%s Ver.%s ( Build: %s )\n%s",
                  ProductName, ProductVersion, BuildDate, RightsNotice);
}

void ParseArgument(const char* arg) {
    if (arg[0] != '-') {
        TakeArchivePath(arg);
        return;
    }
    // The letter is taken as a signed character: bytes from 0x80 up match nothing.
    switch (static_cast<signed char>(arg[1])) {
        case 'a':
        case 'A':
            context.showDetails = 1;
            break;
        case 'b':
        case 'B':
            context.makeBackup = 1;
            break;
        case 'c':
        case 'C':
            ParseEncodingSwitch(arg);
            break;
        case 'f':
        case 'F':
            ParseListSwitch(arg);
            break;
        case 'r':
        case 'R':
            context.relaxedVersions = 1;
            break;
        case 'h':
        case 'H':
            ShowUsageAndExit(1);
        default:
            ShowUsageAndExit(4);
    }
}

void EndRun(int code) {
    HoldOwnConsoleWindow(CloseWindowPrompt);
    EndProcess(code);
}

void ShowUsageAndExit(int code) {
    ConsoleWrite(context.banner);
    ConsoleWrite("\n");
    for (size_t i = 0; i < UsageLineCount; ++i) {
        size_t width = (i + 1 == UsageShortLine) ? UsageShortLineWidth : UsageLineWidth;
        PrintPaddedLine(UsageLines[i], width);
    }
    EndRun(code);
}

bool RelaxedSwitchReads(int result) {
    if (context.relaxedVersions)
        return false;
    switch (result) {
        case 8:
            // Refused for its size alone: the size is checked first.
            return context.archiveIdentity.size > static_cast<uint64_t>(INT32_MAX);
        case 69:
        case 82:
        case 86:
        case 88:
        case 89:
            return true;
        default:
            return false;
    }
}

void PrintErrorLine(int result, int madeByVersion, int errorDetail) {
    ConsolePrintf(ErrorLineFormat, result, madeByVersion, errorDetail);
    // Only a person is told: a file or a pipe receives the error line alone,
    // as it always has.
    if (RelaxedSwitchReads(result) && ConsoleIsInteractive())
        ConsoleWrite(RelaxedSwitchHint);
    ConsoleWrite("\n");
}
