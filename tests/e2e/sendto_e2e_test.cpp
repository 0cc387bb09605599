// arcpeek-sendto, the program behind the Send-to entries, end to end: each
// mode on three archives (one to convert, one named in Hangul, one that
// fails), in the order given, with the summary and the backups it leaves. On
// Windows the same runs go through the entries that the install file puts
// into the Send-to folder, and the removal file takes them away.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
// The shell's headers need the types of windows.h.
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>
#endif

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file.h"
#include "support/tool_run.h"
#include "support/zip_builder.h"

namespace {

// An archive whose names are stored in Shift-JIS, and one whose names are
// UTF-8 with the UTF-8 flag.
std::string ShiftJisArchive() {
    return BuildZipWithNames({Utf8ToCp932("写真/夏休み.txt")});
}
std::string Utf8Archive() {
    ZipEntryLayout entry;
    entry.name = "報告書.txt";
    entry.flags = 0x0800;
    ZipLayout layout;
    layout.entries.push_back(entry);
    return BuildZip(layout);
}

struct ModeCase {
    const char* mode;
    const char* summary;
    std::vector<std::string> backups;
};

const ModeCase ModeCases[] = {
    {"--list", "表示 2 件、失敗 1 件 (エラーコード 8)", {}},
    {"--sjis", "変換 1 件、変換不要 1 件、失敗 1 件 (エラーコード 8)", {"한글 😀.zip.back"}},
    {"--utf8", "変換 1 件、変換不要 1 件、失敗 1 件 (エラーコード 8)", {"夏 休み.zip.back"}},
};

// Runs `command` on the three archives and checks what a run in that mode
// prints and leaves.
void CheckThreeArchives(const std::vector<std::string>& command, const ModeCase& c) {
    ScratchDir dir;
    const std::vector<std::string> archives = {
        dir.Write("夏 休み.zip", ShiftJisArchive()),
        dir.Write("bad.zip", "not an archive, but long enough to be searched"),
        dir.Write("한글 😀.zip", Utf8Archive()),
    };
    std::vector<std::string> argv = command;
    argv.insert(argv.end(), archives.begin(), archives.end());
    ToolRun run = RunProgram(argv);
    EXPECT_EQ(run.exitCode, 1) << c.mode;
    size_t at = 0;
    for (size_t i = 0; i < archives.size(); ++i) {
        std::string header = "[" + std::to_string(i + 1) + "/3] " +
                             PathForDisplay(archives[i].c_str()) + "\n" + ExpectedBanner;
        size_t found = run.output.find(header, at);
        EXPECT_NE(found, std::string::npos) << c.mode << ": archive " << i + 1;
        at = found == std::string::npos ? at : found + header.size();
    }
    EXPECT_TRUE(run.output.ends_with("\n\n" + Utf8ToCp932(c.summary) + "\n"))
        << c.mode << ": " << Hex(run.output.substr(run.output.size() - 60));
    std::vector<std::string> expected = {"bad.zip", "夏 休み.zip", "한글 😀.zip"};
    expected.insert(expected.end(), c.backups.begin(), c.backups.end());
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(dir.List(), expected) << c.mode;
}

ToolRun RunSendTo(const std::vector<std::string>& args, const std::string& workDir = "") {
    std::vector<std::string> argv{ARCPEEK_SENDTO_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, workDir);
}

TEST(SendTo, EachModeRunsEveryArchiveInOrderAndSumsUp) {
    for (const ModeCase& c : ModeCases)
        CheckThreeArchives({ARCPEEK_SENDTO_BINARY, c.mode}, c);
}

TEST(SendTo, ANameLikeASwitchIsStillAnArchive) {
    ScratchDir dir;
    dir.Write("-a.zip", ShiftJisArchive());
    ToolRun run = RunSendTo({"--list", "-a.zip"}, dir.path());
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.output.ends_with(Utf8ToCp932("表示 1 件、失敗 0 件") + "\n"));
}

TEST(SendTo, NoArchiveOrNoModeIsBadUsage) {
    EXPECT_EQ(RunSendTo({"--sjis"}).exitCode, 2);
    EXPECT_EQ(RunSendTo({}).exitCode, 2);
    EXPECT_EQ(RunSendTo({"-c:s", "x.zip"}).exitCode, 2);
}

#ifdef _WIN32

// The entries as the menu shows them, each with the mode it runs.
const char* const EntryNames[] = {
    "Arcpeek ファイル一覧を表示",
    "Arcpeek ファイル名を Shift-JIS に変換 (バックアップ付き)",
    "Arcpeek ファイル名を UTF-8 に変換 (バックアップ付き)",
};

std::string Utf8(const std::filesystem::path& path) {
    std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

std::filesystem::path SendToFolder() {
    PWSTR path = nullptr;
    std::filesystem::path folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_SendTo, KF_FLAG_CREATE, nullptr, &path)))
        folder = path;
    CoTaskMemFree(path);
    return folder;
}

// How many Arcpeek shortcuts the Send-to folder holds.
int ArcpeekEntryCount() {
    int count = 0;
    std::error_code ignored;
    for (const auto& item : std::filesystem::directory_iterator(SendToFolder(), ignored))
        count += item.path().filename().wstring().starts_with(L"Arcpeek ");
    return count;
}

// The program and the arguments a shortcut starts, as Explorer reads them.
std::vector<std::string> ShortcutCommand(const std::filesystem::path& file) {
    std::vector<std::string> command;
    IShellLinkW* link = nullptr;
    IPersistFile* persist = nullptr;
    wchar_t program[MAX_PATH] = L"";
    wchar_t arguments[1024] = L"";
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                   reinterpret_cast<void**>(&link))) &&
        SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist))) &&
        SUCCEEDED(persist->Load(file.c_str(), STGM_READ)) &&
        SUCCEEDED(link->GetPath(program, MAX_PATH, nullptr, 0)) &&
        SUCCEEDED(link->GetArguments(arguments, 1024)))
        command = {Utf8(program), Utf8(arguments)};
    if (persist)
        persist->Release();
    if (link)
        link->Release();
    return command;
}

// One of the release's files that install and remove the entries, beside
// the programs, run as a double-click runs it.
ToolRun RunMenuFile(const char* name) {
    std::filesystem::path folder = FsPath(ARCPEEK_SENDTO_BINARY).parent_path();
    return RunProgram({"cmd.exe", "/c", Utf8(std::filesystem::absolute(folder / FsPath(name)))});
}

TEST(SendToMenu, InstallPutsThreeEntriesThatRunEachModeAndRemovalTakesThemAway) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    ASSERT_FALSE(SendToFolder().empty());
    for (int round = 0; round < 2; ++round)
        ASSERT_EQ(RunMenuFile("送るメニューに登録.cmd").exitCode, 0) << "round " << round;
    EXPECT_EQ(ArcpeekEntryCount(), 3);
    for (size_t i = 0; i < std::size(EntryNames); ++i) {
        std::vector<std::string> command =
            ShortcutCommand(SendToFolder() / FsPath(std::string(EntryNames[i]) + ".lnk"));
        ASSERT_EQ(command.size(), 2u) << EntryNames[i];
        EXPECT_TRUE(SameFile(command[0].c_str(), ARCPEEK_SENDTO_BINARY)) << command[0];
        EXPECT_EQ(command[1], ModeCases[i].mode);
        CheckThreeArchives(command, ModeCases[i]);
    }
    for (int round = 0; round < 2; ++round)
        EXPECT_EQ(RunMenuFile("送るメニューから削除.cmd").exitCode, 0) << "round " << round;
    EXPECT_EQ(ArcpeekEntryCount(), 0);
    CoUninitialize();
}

#endif

}  // namespace
