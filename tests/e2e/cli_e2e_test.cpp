// The command line and run sequence, end to end: switches, banner, usage,
// messages, exit codes and the reader's error line, on the built binary.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "app/messages.h"
#include "support/tool_run.h"
#include "support/zip_builder.h"

namespace {

const std::string Banner = ExpectedBanner;
// The reader's refusal of offsets wrapped modulo 2^32 (archive/reader.h).
constexpr int WrappedOffsetsCode = 100;

std::string UsageText() {
    std::string text;
    for (size_t i = 0; i < UsageLineCount; ++i) {
        std::string line = UsageLines[i] ? UsageLines[i] : "";
        size_t width = (i + 1 == UsageShortLine) ? UsageShortLineWidth : UsageLineWidth;
        line.resize(width, ' ');
        text += line + "\n";
    }
    return text;
}

std::string ErrorLine(int code, int version, int detail) {
    char line[256];
    std::snprintf(line, sizeof line, ErrorLineFormat, code, version, detail);
    return std::string(line) + "\n";
}

std::string NotFound(const std::string& path) {
    char line[8192];
    std::snprintf(line, sizeof line, FileNotFoundFormat, path.c_str());
    return "\n" + std::string(line) + "\n";
}

std::string SimpleArchive() {
    return BuildZipWithNames({"readme.txt", "docs/guide.txt"});
}

class CommandLine : public ::testing::Test {
protected:
    ScratchDir scratch;
};

TEST_F(CommandLine, UsageTextIsPaddedLineByLine) {
    std::string usage = UsageText();
    size_t lines = 0;
    size_t start = 0;
    for (size_t end = usage.find('\n'); end != std::string::npos; end = usage.find('\n', start)) {
        ++lines;
        size_t width = end - start;
        EXPECT_EQ(width, lines == 29 ? 76u : 78u) << "line " << lines;
        start = end + 1;
    }
    EXPECT_EQ(lines, 34u);
}

TEST_F(CommandLine, UsageExitCodes) {
    struct Case {
        std::vector<std::string> args;
        int code;
    };
    const std::string archive = scratch.Write("a.zip", SimpleArchive());
    const std::vector<Case> cases = {
        {{}, 1},
        {{"-h"}, 1},
        {{"-H", archive}, 1},
        {{"-c"}, 2},
        {{"-cs", archive}, 2},
        {{"-f", archive}, 2},
        {{"-Fx"}, 2},
        {{"-c:x"}, 3},
        {{archive, "-c:"}, 3},
        {{archive, "-c:k"}, 3},
        {{"-x"}, 4},
        {{"-"}, 4},
        {{"-\xA4"}, 4},
        {{"-z", "/no/such/archive.zip"}, 4},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const std::string& a : c.args)
            joined += "[" + a + "]";
        SCOPED_TRACE(joined);
        ToolRun run = RunArcpeek(c.args);
        EXPECT_EQ(run.exitCode, c.code);
        EXPECT_EQ(run.output, Banner + "\n" + UsageText());
    }
}

TEST_F(CommandLine, MissingArchiveStopsAtOnceWithoutBanner) {
    const std::string missing = scratch.File("missing.zip");
    ToolRun run = RunArcpeek({missing, "-z"});
    EXPECT_EQ(run.exitCode, 5) << "the path is met before the bad switch";
    EXPECT_EQ(run.output, NotFound(missing));
}

TEST_F(CommandLine, TwoPathsMustBothExistAndTheSecondIsRead) {
    const std::string archive = scratch.Write("a.zip", SimpleArchive());
    const std::string notZip = scratch.Write("plain.txt", std::string(100, 'x'));
    const std::string missing = scratch.File("missing.zip");

    EXPECT_EQ(RunArcpeek({notZip, archive}).exitCode, 0);
    ToolRun reversed = RunArcpeek({archive, notZip});
    EXPECT_EQ(reversed.exitCode, 8);
    EXPECT_EQ(reversed.output, Banner + ErrorLine(8, 0, 0));
    ToolRun firstMissing = RunArcpeek({missing, archive});
    EXPECT_EQ(firstMissing.exitCode, 5);
    EXPECT_EQ(firstMissing.output, NotFound(missing));
}

TEST_F(CommandLine, LongPathsAreHandledWholly) {
    // A path far beyond 280 bytes, within what the platform accepts.
    std::string folder = scratch.path();
    for (int i = 0; i < 12; ++i) {
        folder += "/" + std::string(40, static_cast<char>('a' + i));
        ASSERT_TRUE(std::filesystem::create_directory(FsPath(folder)));
    }
    const std::string archive = folder + "/archive.zip";
    std::ofstream(FsPath(archive), std::ios::binary) << SimpleArchive();
    ASSERT_EQ(ReadFileBytes(archive), SimpleArchive());
    ASSERT_GT(archive.size(), 500u);

    EXPECT_EQ(RunArcpeek({archive}).exitCode, 0);
    const std::string missing = folder + "/missing.zip";
    ToolRun run = RunArcpeek({missing});
    EXPECT_EQ(run.exitCode, 5);
    EXPECT_EQ(run.output, NotFound(missing));
}

TEST_F(CommandLine, PathsWithCharactersOutsideCodePage932Work) {
    // Hangul and emoji have no code in code page 932: on Windows such paths
    // reach the system only through the wide calls, for every file the tool
    // opens or makes (archive, list file, temporary file, backup).
    const std::string folder = scratch.path() + "/\xED\x95\x9C\xEA\xB8\x80\xF0\x9F\x98\x80";
    ASSERT_TRUE(std::filesystem::create_directory(FsPath(folder)));
    const std::string archive = folder + "/\xF0\x9F\x93\xA6.zip";
    const std::string original = BuildZipWithNames({"\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E.txt"});
    std::ofstream(FsPath(archive), std::ios::binary) << original;
    const std::string list = folder + "/\xF0\x9F\x93\x8B.csv";

    ToolRun listed = RunArcpeek({"-f:" + list, archive});
    EXPECT_EQ(listed.exitCode, 0) << listed.output;
    EXPECT_NE(ReadFileBytes(list).find("\x93\xFA\x96\x7B\x8C\xEA.txt,"), std::string::npos);
    ToolRun rewritten = RunArcpeek({"-c:sN", "-b", archive});
    EXPECT_EQ(rewritten.exitCode, 0) << rewritten.output;
    EXPECT_EQ(ReadFileBytes(archive + ".back"), original);
    EXPECT_NE(ReadFileBytes(archive), original);
    EXPECT_EQ(RunArcpeek({folder + "/missing.zip"}).exitCode, 5);
}

TEST_F(CommandLine, SwitchLettersBeyondTheirPositionsAreIgnored) {
    const std::string archive = scratch.Write("a.zip", SimpleArchive());
    ToolRun run = RunArcpeek({"-abc", archive});
    EXPECT_EQ(run.exitCode, 0) << "-abc acts as -a";
    ToolRun silent = RunArcpeek({"-c:unused", archive});
    EXPECT_EQ(silent.exitCode, 0);
    EXPECT_EQ(silent.output, "") << "-c:un silences the report";
    ToolRun upper = RunArcpeek({"-C:SN", archive});
    EXPECT_EQ(upper.exitCode, 0);
    EXPECT_EQ(upper.output, "");
}

TEST_F(CommandLine, ReportStartsWithTheBannerUnlessSilenced) {
    const std::string archive = scratch.Write("a.zip", SimpleArchive());
    ToolRun run = RunArcpeek({archive});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output.substr(0, Banner.size()), Banner);
    ToolRun emptyList = RunArcpeek({"-f:", archive});
    EXPECT_EQ(emptyList.output.substr(0, Banner.size()), Banner)
        << "-f: with nothing after the colon names no list file";
}

TEST_F(CommandLine, AsciiArchiveIsNeverRewritten) {
    const std::string bytes = SimpleArchive();
    const std::string archive = scratch.Write("a.zip", bytes);
    for (const char* target : {"-c:u", "-c:s"}) {
        ToolRun run = RunArcpeek({target, "-b", archive});
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(ReadFileBytes(archive), bytes);
    }
    EXPECT_EQ(scratch.List(), std::vector<std::string>{"a.zip"}) << "no backup, no temporary file";
}

// Reader failures, each with the error line after the banner.
struct ReaderFailure {
    const char* scenario;
    std::string bytes;
    int code;
    int version;
};

std::vector<ReaderFailure> ReaderFailures() {
    std::vector<ReaderFailure> cases;
    auto entry = [](const std::string& name) {
        ZipEntryLayout e;
        e.name = name;
        e.data = "x";
        return e;
    };
    ZipLayout base;
    base.entries = {entry("a.txt"), entry("b.txt")};

    cases.push_back({"tiny file", "PK\x05\x06", 8, 0});
    cases.push_back({"no signature", std::string(300, 'z'), 8, 0});
    {
        ZipLayout empty;
        cases.push_back({"22-byte empty archive", BuildZip(empty), 8, 0});
        empty.comment = "an empty archive with a comment";
        cases.push_back({"empty archive with comment", BuildZip(empty), 8, 0});
    }
    {
        ZipLayout s = base;
        s.directoryOffset = 0;
        cases.push_back({"directory offset 0", BuildZip(s), 4, 0});
        s.directoryOffset = 0x80000000u;
        cases.push_back({"negative directory offset", BuildZip(s), 4, 0});
    }
    {
        ZipLayout s = base;
        s.diskNumber = 1;
        cases.push_back({"spanned archive", BuildZip(s), 91, 0});
        s.diskNumber.reset();
        s.directoryDisk = 2;
        cases.push_back({"directory on another disk", BuildZip(s), 91, 0});
    }
    {
        ZipLayout s = base;
        s.diskEntries = 0;
        cases.push_back({"no entries on this disk", BuildZip(s), 12, 0});
    }
    {
        ZipLayout s = base;
        s.directorySize = 5000;
        cases.push_back({"directory past the end of the file", BuildZip(s), 20, 0});
    }
    {
        ZipLayout s = base;
        s.entries[1].madeByVersion = 30;
        cases.push_back({"made by 30", BuildZip(s), 92, 30});
        s.entries[1].madeByVersion = 63;
        s.entries[1].neededVersion = 14;
        cases.push_back({"needed 14", BuildZip(s), 93, 63});
    }
    {
        ZipLayout s = base;
        s.entries[0].centralNameLength = 0;
        cases.push_back({"empty name", BuildZip(s), 81, 20});
        s.entries[0].centralNameLength.reset();
        s.entries[1].name = std::string(281, 'n');
        cases.push_back({"name of 281 bytes", BuildZip(s), 82, 20});
    }
    {
        ZipLayout s = base;
        s.diskEntries = 1;
        s.totalEntries = 1;
        cases.push_back({"more headers than entries", BuildZip(s), 84, 20});
        s.diskEntries = 3;
        cases.push_back({"fewer headers than entries", BuildZip(s), 85, 20});
    }
    {
        ZipLayout s = base;
        s.comment = std::string(10217, 'c');
        cases.push_back({"archive comment beyond the text buffer", BuildZip(s), 86, 0});
        s.comment = "cut";
        s.commentLength = 500;
        cases.push_back({"archive comment past the end of the file", BuildZip(s), 87, 0});
    }
    {
        // A UTF-8 name whose newlines double to CR LF once converted.
        ZipLayout s = base;
        s.entries[1].name = "\xC3\xA9" + std::string(270, '\n');
        cases.push_back({"converted name beyond 407 bytes", BuildZip(s), 89, 20});
    }
    {
        ZipLayout s = base;
        s.entries[0].comment = std::string(10239, 'c');
        cases.push_back({"entry comment beyond the text buffer", BuildZip(s), 88, 20});
    }
    return cases;
}

TEST_F(CommandLine, ReaderFailuresPrintTheErrorLineAndEndWithTheirCode) {
    for (const ReaderFailure& c : ReaderFailures()) {
        SCOPED_TRACE(c.scenario);
        const std::string archive = scratch.Write("bad.zip", c.bytes);
        ToolRun run = RunArcpeek({archive});
        EXPECT_EQ(run.exitCode, c.code);
        EXPECT_EQ(run.output, Banner + ErrorLine(c.code, c.version, 0));
    }
}

TEST_F(CommandLine, RelaxedSwitchReadsAnyVersionAndKeepsEveryOtherCheck) {
    ZipLayout layout;
    layout.entries.resize(2);
    layout.entries[0].name = "a.txt";
    layout.entries[1].name = "b.txt";
    layout.entries[0].madeByVersion = 30;  // Info-ZIP on Unix, 3.0
    layout.entries[0].madeByHost = 3;
    layout.entries[1].madeByVersion = 21;  // the macOS Finder, 2.1
    layout.entries[1].neededVersion = 63;
    const std::string archive = scratch.Write("a.zip", BuildZip(layout));
    ToolRun strict = RunArcpeek({archive});
    EXPECT_EQ(strict.exitCode, 92);
    EXPECT_EQ(strict.output, Banner + ErrorLine(92, 30, 0));
    for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
             {"-r", archive}, {"-a", archive, "-R"}, {"-rest", "-c:sN", archive}}) {
        ToolRun run = RunArcpeek(args);
        EXPECT_EQ(run.exitCode, 0) << args[0] << run.output;
    }

    layout.entries[1].neededVersion = 64;
    scratch.Write("a.zip", BuildZip(layout));
    ToolRun needed = RunArcpeek({"-r", archive});
    EXPECT_EQ(needed.exitCode, 93);
    EXPECT_EQ(needed.output, Banner + ErrorLine(93, 21, 0));
    layout.entries[1].neededVersion = 20;
    layout.diskEntries = 1;
    scratch.Write("a.zip", BuildZip(layout));
    EXPECT_EQ(RunArcpeek({"-r", archive}).exitCode, 84);
}

#ifdef _WIN32
// Windows counterpart: a folder is refused before it is opened.
TEST_F(CommandLine, FoldersAreRefusedAtOnce) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{scratch.path()}, {"-c:u", "-b", scratch.path()}}) {
        ToolRun run = RunArcpeekWithin(30, args);
        ASSERT_FALSE(run.timedOut);
        EXPECT_EQ(run.exitCode, 6);
        EXPECT_EQ(run.output, Banner + ErrorLine(6, 0, EISDIR));
    }
    EXPECT_EQ(scratch.List(), std::vector<std::string>{});
}
#else  // FIFOs, sockets and devices in the file system are POSIX's.
// The first block device in /dev, or "" when there is none.
std::string SomeBlockDevice() {
    for (const auto& item : std::filesystem::directory_iterator("/dev")) {
        if (item.is_block_file())
            return item.path().string();
    }
    return "";
}

// Anything but a regular file is refused at once with 6, without being read,
// by every kind of run: a FIFO without a writer would otherwise block the
// open forever, and nothing that is not seekable can hold an end record.
TEST_F(CommandLine, SpecialFilesAreRefusedAtOnce) {
    const std::string fifo = scratch.File("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string fifoLink = scratch.File("fifo-link");
    ASSERT_EQ(::symlink("fifo", fifoLink.c_str()), 0);
    const std::string fed = scratch.File("fed");
    ASSERT_EQ(::mkfifo(fed.c_str(), 0600), 0);
    int writer = ::open(fed.c_str(), O_RDWR | O_NONBLOCK);  // a writer with an archive queued
    ASSERT_GE(writer, 0);
    const std::string queued = SimpleArchive();
    ASSERT_EQ(::write(writer, queued.data(), queued.size()), static_cast<ssize_t>(queued.size()));

    const std::string socketPath = scratch.File("s");
    int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(listener, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, socketPath.c_str(), sizeof address.sun_path - 1);
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);

    const std::string list = "-f:" + scratch.File("list.csv");
    struct Case {
        std::vector<std::string> args;
        int detail;
    };
    std::vector<Case> cases = {
        {{scratch.path()}, EISDIR},
        {{"-c:u", "-b", scratch.path()}, EISDIR},
        {{fifo}, ESPIPE},
        {{"-c:u", fifo}, ESPIPE},
        {{"-c:s", "-b", fifo}, ESPIPE},
        {{list, fifo}, ESPIPE},
        {{fifoLink}, ESPIPE},
        {{"-c:u", fed}, ESPIPE},
        {{socketPath}, ESPIPE},
        {{"/dev/zero"}, ESPIPE},
        {{"/dev/stdin"}, ESPIPE},  // /dev/null for the tool
    };
    if (std::string device = SomeBlockDevice(); !device.empty())
        cases.push_back({{device}, ESPIPE});
    for (const Case& c : cases) {
        SCOPED_TRACE(c.args.back() + " after " + std::to_string(c.args.size() - 1) + " switches");
        // A blocked open never returns; the bound only has to tell that
        // apart from a run that ends at once, even on a loaded machine.
        ToolRun run = RunArcpeekWithin(5, c.args);
        ASSERT_FALSE(run.timedOut) << "the run blocked";
        EXPECT_EQ(run.exitCode, 6);
        EXPECT_EQ(run.output, Banner + ErrorLine(6, 0, c.detail));
    }
    ::close(listener);
    std::string left(queued.size() + 1, '\0');
    EXPECT_EQ(::read(writer, left.data(), left.size()), static_cast<ssize_t>(queued.size()))
        << "nothing was read from the pipe";
    ::close(writer);
    EXPECT_EQ(scratch.List(), (std::vector<std::string>{"fed", "fifo", "fifo-link", "s"}))
        << "no list file, backup or temporary file";
}
#endif

TEST_F(CommandLine, ArchivesOfTwoGigabytesOrMoreAreRefused) {
    for (long long size : {2684354560LL, 4294967296LL + 1000}) {
        SCOPED_TRACE(size);
        std::string bytes = SimpleArchive();
        const std::string archive = scratch.Write("big.zip", bytes);
        std::filesystem::resize_file(FsPath(archive), static_cast<uintmax_t>(size));
        ToolRun run = RunArcpeek({archive});
        EXPECT_EQ(run.exitCode, 8);
    }
}

TEST_F(CommandLine, EndRecordSearch) {
    struct Case {
        const char* scenario;
        std::string trailing;
        std::string comment;
        int code;
    };
    const std::vector<Case> cases = {
        {"end record followed by junk", std::string(100, 'j'), "", 0},
        {"junk holding a cut signature", "PK\x05\x06 cut short", "", 0},
        {"signature in the last 21 bytes of the comment", "", "note: PK\x05\x06 here", 0},
        {"long comment", "", std::string(5000, 'c'), 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scenario);
        ZipLayout layout;
        ZipEntryLayout e;
        e.name = "file.txt";
        e.data = "content";
        layout.entries = {e};
        layout.trailing = c.trailing;
        layout.comment = c.comment;
        const std::string archive = scratch.Write("a.zip", BuildZip(layout));
        ToolRun run = RunArcpeek({"-f:" + scratch.File("list.txt"), archive});
        EXPECT_EQ(run.exitCode, c.code);
    }
}

TEST_F(CommandLine, RelaxedSwitchReadsArchivesOfAnySizeUnlessTheirOffsetsWrapped) {
    const struct {
        uint64_t size;
        bool zip64;
        int code;
        std::string listed;
    } cases[] = {
        {2684354560u, false, 0, "video.mp4,2684354560,2684354560,2013/02/03 12:00:00,"},
        {5368709120u, true, 0, "video.mp4,5368709120,5368709120,2013/02/03 12:00:00,"},
        {5368709120u, false, WrappedOffsetsCode, ""},
    };
    const std::string list = scratch.File("list.csv");
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.size) + (c.zip64 ? " with ZIP64" : ""));
        const std::string archive = WriteSparseArchive(scratch, c.size, c.zip64);
        EXPECT_EQ(RunArcpeek({archive}).output, Banner + ErrorLine(8, 0, 0)) << "without -r";
        ToolRun run = RunArcpeek({"-r", "-f:" + list, archive});
        EXPECT_EQ(run.exitCode, c.code);
        if (c.code != 0) {
            EXPECT_EQ(run.output, Banner + ErrorLine(c.code, 0, 0));
            continue;
        }
        EXPECT_EQ(ReadFileBytes(list).substr(0, c.listed.size()), c.listed);
        ToolRun listing = RunArcpeek({"-r", archive});
        const std::string size = c.zip64 ? " 5,368,709,120" : " 2,684,354,560";
        EXPECT_NE(listing.output.find(size + size + " 2013"), std::string::npos) << listing.output;
    }
}

// What a UTF-8 rewrite may write (a name of 280 Shift-JIS bytes grows to 420,
// a comment of 10,238 to 15,357) the strict read refuses; -r reads it back
// and stores it in Shift-JIS again, byte for byte as it was.
TEST_F(CommandLine, RelaxedSwitchReadsWhatAUtf8RewriteWrites) {
    std::string name;
    std::string comment;
    for (int i = 0; i < 140; ++i)
        name += "\x8E\xCA";  // 写
    for (int i = 0; i < 5119; ++i)
        comment += "\x90\x5E";  // 真
    ZipLayout layout;
    layout.entries.resize(1);
    layout.entries[0].name = name;
    layout.entries[0].comment = comment;
    layout.entries[0].data = "photo";
    const std::string original = BuildZip(layout);
    const std::string archive = scratch.Write("a.zip", original);
    ASSERT_EQ(RunArcpeek({"-c:uN", archive}).exitCode, 0);
    EXPECT_EQ(RunArcpeek({archive}).exitCode, 82);
    layout.entries[0].name = "a";
    layout.entries[0].comment = comment + comment;
    EXPECT_EQ(RunArcpeek({scratch.Write("b.zip", BuildZip(layout))}).exitCode, 88);

    const std::string list = scratch.File("list.csv");
    EXPECT_EQ(RunArcpeek({"-r", "-f:" + list, archive}).exitCode, 0);
    EXPECT_EQ(ReadFileBytes(list).substr(0, name.size() + 1), name + ",");
    EXPECT_EQ(RunArcpeek({"-r", "-c:sN", archive}).exitCode, 0);
    EXPECT_EQ(Hex(ReadFileBytes(archive)), Hex(original));
}

}  // namespace
