// arcpeek-sendto, the program behind the Send-to entries, end to end: each
// mode on three archives (one to convert, one named in Hangul, one that
// fails), in the order given, with the summary and the backups it leaves.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "platform/file.h"
#include "support/tool_run.h"
#include "support/zip_builder.h"

namespace {

ToolRun RunSendTo(const std::vector<std::string>& args, const std::string& workDir = "") {
    std::vector<std::string> argv{ARCPEEK_SENDTO_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv, workDir);
}

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

TEST(SendTo, EachModeRunsEveryArchiveInOrderAndSumsUp) {
    struct Case {
        const char* mode;
        const char* summary;
        std::vector<std::string> backups;
    };
    const Case cases[] = {
        {"--list", "表示 2 件、失敗 1 件 (エラーコード 8)", {}},
        {"--sjis", "変換 1 件、変換不要 1 件、失敗 1 件 (エラーコード 8)", {"한글 😀.zip.back"}},
        {"--utf8", "変換 1 件、変換不要 1 件、失敗 1 件 (エラーコード 8)", {"夏 休み.zip.back"}},
    };
    for (const Case& c : cases) {
        ScratchDir dir;
        const std::vector<std::string> archives = {
            dir.Write("夏 休み.zip", ShiftJisArchive()),
            dir.Write("bad.zip", "not an archive, but long enough to be searched"),
            dir.Write("한글 😀.zip", Utf8Archive()),
        };
        ToolRun run = RunSendTo({c.mode, archives[0], archives[1], archives[2]});
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

}  // namespace
