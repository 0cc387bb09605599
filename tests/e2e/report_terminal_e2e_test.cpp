// Output on a terminal against output into a pipe: a pipe always receives the
// Shift-JIS bytes; a terminal in a UTF-8 locale receives readable UTF-8.
// Pseudo-terminals and locales are POSIX's alone: not built for Windows.
#ifndef _WIN32
#include <errno.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "support/tool_run.h"
#include "support/zip_builder.h"

namespace {

// 機能概要を表示し終了します。 as Shift-JIS and as UTF-8.
const std::string UsageLineSjis =
    "\x8B@\x94\x5C\x8AT\x97v\x82\xF0\x95\x5C\x8E\xA6\x82\xB5\x8FI\x97\xB9\x82\xB5\x82\xDC\x82\xB7"
    "\x81"
    "B";
const std::string UsageLineUtf8 = "機能概要を表示し終了します。";

// What stops this process from opening a pseudo-terminal, or "" when nothing
// does. A root whose /dev/pts is not mounted has none, for instance.
std::string PseudoTerminalFault() {
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0)
        return std::string("posix_openpt: ") + std::strerror(errno);
    std::string fault;
    const char* name = nullptr;
    if (::grantpt(master) != 0 || ::unlockpt(master) != 0 || !(name = ::ptsname(master))) {
        fault = std::string("grantpt, unlockpt or ptsname: ") + std::strerror(errno);
    } else {
        int slave = ::open(name, O_RDWR | O_NOCTTY);
        if (slave < 0)
            fault = std::string("open ") + name + ": " + std::strerror(errno);
        else
            ::close(slave);
    }
    ::close(master);
    return fault;
}

// The reason to skip a test that needs a pseudo-terminal, or "" to run it.
std::string WhyNoPseudoTerminal() {
    std::string fault = PseudoTerminalFault();
    if (fault.empty())
        return "";
    return "no pseudo-terminal can be opened (" + fault +
           "), so what a terminal receives cannot be checked; mount devpts on /dev/pts";
}

// Runs arcpeek with standard output (and with `errorsToo` standard error) on
// a pseudo-terminal, in the locale named by `locale`, and returns what the
// terminal received.
ToolRun RunOnTerminal(const std::vector<std::string>& args, const std::string& locale,
                      bool errorsToo = false) {
    ToolRun run;
    int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0)
        return run;
    int slave = ::open(::ptsname(master), O_RDWR | O_NOCTTY);
    if (slave < 0) {
        ::close(master);
        return run;
    }
    termios mode;
    ::tcgetattr(slave, &mode);
    ::cfmakeraw(&mode);  // no "\n" to "\r\n" on the way: the bytes as written
    ::tcsetattr(slave, TCSANOW, &mode);
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(slave, 1);
        int nullFd = ::open("/dev/null", O_RDWR);
        ::dup2(nullFd, 0);
        ::dup2(errorsToo ? slave : nullFd, 2);
        ::close(master);
        ::close(slave);
        ::unsetenv("LC_CTYPE");
        ::setenv("LANG", locale.c_str(), 1);
        ::setenv("LC_ALL", locale.c_str(), 1);
        std::vector<char*> argv{const_cast<char*>(ARCPEEK_BINARY)};
        for (const std::string& a : args)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        ::execv(argv[0], argv.data());
        ::_exit(127);
    }
    ::close(slave);
    char buffer[4096];
    for (;;) {
        ssize_t n = ::read(master, buffer, sizeof buffer);
        if (n <= 0)
            break;  // EIO once the program has closed the terminal
        run.output.append(buffer, static_cast<size_t>(n));
    }
    ::close(master);
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

ToolRun RunIntoPipe(const std::vector<std::string>& args, const std::string& locale) {
    std::vector<std::string> argv{"env", "LC_ALL=" + locale, "LANG=" + locale, ARCPEEK_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunProgram(argv);
}

// The terminal's locale decides: UTF-8 (also when the system lacks the locale
// named), Shift-JIS unchanged, and "?" where ASCII cannot show a character.
TEST(TerminalOutput, TerminalGetsTextInItsLocalesCharset) {
    if (std::string why = WhyNoPseudoTerminal(); !why.empty())
        GTEST_SKIP() << why;
    const struct {
        const char* locale;
        std::string usageLine;
    } cases[] = {{"C.UTF-8", UsageLineUtf8},
                 {"ja_JP.UTF-8", UsageLineUtf8},
                 {"ja_JP.SJIS", UsageLineSjis},
                 {"C", std::string(UsageLineUtf8.size() / 3, '?')}};
    for (const auto& c : cases) {
        ToolRun run = RunOnTerminal({"-h"}, c.locale);
        EXPECT_EQ(run.exitCode, 1) << c.locale;
        EXPECT_NE(run.output.find("\n       " + c.usageLine + "  "), std::string::npos)
            << c.locale << ": " << Hex(run.output);
    }
}

TEST(TerminalOutput, PipeGetsShiftJisWhateverTheLocale) {
    for (const char* locale : {"C.UTF-8", "C"}) {
        ToolRun run = RunIntoPipe({"-h"}, locale);
        EXPECT_EQ(run.exitCode, 1) << locale;
        EXPECT_NE(run.output.find("       " + UsageLineSjis), std::string::npos) << locale;
        EXPECT_EQ(run.output.find(UsageLineUtf8), std::string::npos) << locale;
    }
}

TEST(TerminalOutput, ListingOfTheSampleReadsAsJapanese) {
    if (std::string why = WhyNoPseudoTerminal(); !why.empty())
        GTEST_SKIP() << why;
    std::string sample = std::string(ARCPEEK_SOURCE_DIR) + "/samples/sample.zip";
    ToolRun terminal = RunOnTerminal({"-a", sample}, "C.UTF-8");
    EXPECT_EQ(terminal.exitCode, 0);
    EXPECT_NE(terminal.output.find("文字コード情報：シフトJIS\n"), std::string::npos);
    EXPECT_NE(terminal.output.find("\n写真/夏休み.txt    "), std::string::npos);
    EXPECT_NE(terminal.output.find("ファイル説明文：Arcpeek のサンプルアーカイブです。\n"),
              std::string::npos);

    ToolRun pipe = RunIntoPipe({"-a", sample}, "C.UTF-8");
    EXPECT_NE(pipe.output.find("\n\x8E\xCA\x90\x5E/\x89\xC4\x8B\x78\x82\xDD.txt    "),
              std::string::npos)
        << "写真/夏休み.txt in Shift-JIS";
    EXPECT_EQ(pipe.output.find("写真"), std::string::npos);
}

// A refusal that -r lifts says so on a terminal, in one more line after the
// error line; a pipe receives the error line alone, as it always has.
TEST(TerminalOutput, RefusalThatRelaxedReadingLiftsNamesTheSwitchOnATerminalOnly) {
    if (std::string why = WhyNoPseudoTerminal(); !why.empty())
        GTEST_SKIP() << why;
    ScratchDir scratch;
    const std::string archive = scratch.Write("a.zip", BuildZipWithNames({std::string(281, 'n')}));
    const std::string hint = "-r を指定すると、このアーカイブを読むことができます。\n";
    ToolRun terminal = RunOnTerminal({archive}, "C.UTF-8");
    EXPECT_EQ(terminal.exitCode, 82);
    EXPECT_NE(terminal.output.find(" : (20, 0)\n" + hint + "\n"), std::string::npos)
        << terminal.output;
    ToolRun pipe = RunIntoPipe({archive}, "C.UTF-8");
    EXPECT_EQ(pipe.output.find("-r "), std::string::npos) << pipe.output;
    EXPECT_EQ(pipe.output.substr(pipe.output.size() - 3), ")\n\n");
    scratch.Write("a.zip", "no archive at all");
    EXPECT_EQ(RunOnTerminal({archive}, "C.UTF-8").output.find("-r "), std::string::npos)
        << "a refusal that -r does not lift";
    ZipLayout zip64;  // a ZIP64 field, which a rewrite without -r refuses
    zip64.entries.resize(1);
    zip64.entries[0].name = "日本";
    zip64.entries[0].flags = 0x0800;
    zip64.entries[0].localExtra = Zip64Field({1, 1});
    scratch.Write("a.zip", BuildZip(zip64));
    terminal = RunOnTerminal({"-c:sN", archive}, "C.UTF-8");
    EXPECT_EQ(terminal.exitCode, 69);
    EXPECT_NE(terminal.output.find(" : (20, 0)\n" + hint + "\n"), std::string::npos)
        << terminal.output;
}

// A rewrite that moves more than 256 MiB shows its progress in one line on
// standard error, where that is a terminal; a pipe receives nothing, and
// standard output stays as it was.
TEST(TerminalOutput, LongRewriteShowsProgressOnATerminalOnly) {
    if (std::string why = WhyNoPseudoTerminal(); !why.empty())
        GTEST_SKIP() << why;
    ScratchDir scratch;
    const std::string archive =
        WriteSparseArchive(scratch, uint64_t{300} << 20, false, "日本.bin", 0x0800);
    const std::string total = std::to_string(std::filesystem::file_size(FsPath(archive)));
    ToolRun terminal = RunOnTerminal({"-c:sN", archive}, "C.UTF-8", true);
    EXPECT_EQ(terminal.exitCode, 0);
    const std::string last = "\r" + total + " / " + total + " bytes (100%)\n";
    ASSERT_GT(terminal.output.size(), last.size());
    EXPECT_EQ(terminal.output.substr(terminal.output.size() - last.size()), last);
    EXPECT_EQ(terminal.output[0], '\r') << "updated in place";
    ToolRun pipe = RunIntoPipe({"-c:uN", archive}, "C.UTF-8");
    EXPECT_EQ(pipe.exitCode, 0);
    EXPECT_EQ(pipe.output + pipe.errors, "");
}

}  // namespace

#endif  // _WIN32
