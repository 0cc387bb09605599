#include "sendto/sendto_run.h"

#include <cstring>
#include <string>
#include <vector>

#include "platform/console.h"
#include "platform/fileio.h"
#include "platform/process.h"
#include "platform/send_to.h"
#include "sendto/sendto_texts.h"

namespace {

// What a mode asks arcpeek to do with each archive.
struct Mode {
    const char* option;
    std::vector<std::string> switches;  // given to arcpeek before the archive
    bool rewrites;
};

const Mode Modes[] = {
    {"--list", {}, false},
    {"--sjis", {"-c:s", "-b"}, true},
    {"--utf8", {"-c:u", "-b"}, true},
};

// The menu's entries, named for a Japanese user by what they do.
const std::vector<SendToEntry> MenuEntries = {
    {"Arcpeek ファイル一覧を表示", "--list"},
    {"Arcpeek ファイル名を Shift-JIS に変換 (バックアップ付き)", "--sjis"},
    {"Arcpeek ファイル名を UTF-8 に変換 (バックアップ付き)", "--utf8"},
};

struct Tally {
    int converted = 0;
    int unchanged = 0;  // listed, or needed no conversion
    std::vector<int> failures;
};

// An archive path as arcpeek must receive it: one that starts with "-"
// would be taken for a switch.
std::string ArchiveArgument(const std::string& path) {
    return path.starts_with("-") ? "./" + path : path;
}

// Runs arcpeek on one archive and counts the outcome. A rewrite never changes
// the archive's file, it replaces it with a new one: an archive whose
// identity (file, size, modification time) changed was converted; one that
// kept it needed nothing.
void RunOnArchive(const std::string& arcpeek, const Mode& mode, const std::string& path,
                  Tally* tally) {
    FileIdentity before{};
    bool known = PathIdentity(path.c_str(), &before) == 0;
    std::vector<std::string> arguments = mode.switches;
    arguments.push_back(ArchiveArgument(path));
    int code = RunProgramAndWait(arcpeek, arguments);
    if (code < 0) {
        ConsoleWrite(CannotRunText);
        ConsoleWritePath(arcpeek.c_str());
        ConsoleWrite("\n");
    }
    FileIdentity after{};
    if (code != 0)
        tally->failures.push_back(code);
    else if (mode.rewrites && known && PathIdentity(path.c_str(), &after) == 0 &&
             !SameFileIdentity(before, after))
        ++tally->converted;
    else
        ++tally->unchanged;
}

void PrintSummary(const Mode& mode, const Tally& tally) {
    int failed = static_cast<int>(tally.failures.size());
    ConsoleWrite("\n");
    if (mode.rewrites)
        ConsolePrintf(ConvertSummaryFormat, tally.converted, tally.unchanged, failed);
    else
        ConsolePrintf(ListSummaryFormat, tally.unchanged, failed);
    if (failed > 0) {
        std::string codes;
        for (int code : tally.failures) {
            if (!codes.empty())
                codes += ", ";
            codes += std::to_string(code);
        }
        ConsolePrintf(FailureCodesFormat, codes.c_str());
    }
    ConsoleWrite("\n");
}

int RunOnArchives(const Mode& mode, const std::vector<std::string>& paths) {
    if (paths.empty()) {
        ConsoleWrite(NoArchiveText);
        return SendToBadUsage;
    }
    const std::string arcpeek = SiblingProgram("arcpeek");
    Tally tally;
    const int count = static_cast<int>(paths.size());
    for (int i = 0; i < count; ++i) {
        ConsolePrintf("%s[%d/%d] ", i ? "\n" : "", i + 1, count);
        ConsoleWritePath(paths[i].c_str());
        ConsoleWrite("\n");
        RunOnArchive(arcpeek, mode, paths[i], &tally);
    }
    PrintSummary(mode, tally);
    return tally.failures.empty() ? SendToAllDone : SendToSomeFailed;
}

int ChangeMenu(bool install) {
    std::string folder;
    int error = install ? AddSendToEntries(MenuEntries, SiblingProgram("arcpeek-sendto"), &folder)
                        : RemoveSendToEntries(MenuEntries, &folder);
    if (error != 0) {
        ConsolePrintf(MenuFailedFormat, error);
        return SendToSomeFailed;
    }
    ConsoleWrite(install ? InstalledText : RemovedText);
    ConsoleWritePath(folder.c_str());
    ConsoleWrite("\n");
    for (const SendToEntry& entry : MenuEntries) {
        ConsoleWrite("  ");
        ConsoleWritePath(entry.name);
        ConsoleWrite("\n");
    }
    return SendToAllDone;
}

}  // namespace

int RunSendTo(const std::vector<std::string>& arguments) {
    const std::string option = arguments.size() > 1 ? arguments[1] : "";
    if (option == "--install" || option == "--remove")
        return ChangeMenu(option == "--install");
    for (const Mode& mode : Modes) {
        if (option == mode.option)
            return RunOnArchives(mode, {arguments.begin() + 2, arguments.end()});
    }
    ConsoleWrite(SendToUsageText);
    return SendToBadUsage;
}
