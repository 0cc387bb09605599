// Running programs, scratch folders and the CP932 helpers on POSIX: fork and
// exec with pipes, mkdtemp, and the C library's iconv.
#include <fcntl.h>
#include <iconv.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <sstream>

#include "support/tool_run.h"

namespace {

// Reads both pipes until they close, or until `deadline` passes (false).
bool Drain(pollfd (&fds)[2], std::string* out, std::string* err,
           std::optional<std::chrono::steady_clock::time_point> deadline) {
    int open = (fds[0].fd >= 0) + (fds[1].fd >= 0);
    char buffer[65536];
    while (open > 0) {
        int wait = -1;
        if (deadline) {
            auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                *deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return false;
            wait = static_cast<int>(left.count());
        }
        int ready = ::poll(fds, 2, wait);
        if (ready < 0)
            break;
        if (ready == 0)
            continue;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || !(fds[i].revents & (POLLIN | POLLHUP | POLLERR)))
                continue;
            ssize_t n = ::read(fds[i].fd, buffer, sizeof buffer);
            if (n > 0) {
                (i == 0 ? out : err)->append(buffer, static_cast<size_t>(n));
            } else {
                ::close(fds[i].fd);
                fds[i].fd = -1;
                --open;
            }
        }
    }
    return true;
}

ToolRun Run(const std::vector<std::string>& argv, const std::string& workDir, bool search,
            int timeoutSeconds = 0) {
    ToolRun run;
    int outPipe[2], errPipe[2];
    if (::pipe(outPipe) != 0 || ::pipe(errPipe) != 0)
        return run;
    pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(outPipe[1], 1);
        ::dup2(errPipe[1], 2);
        ::close(outPipe[0]);
        ::close(errPipe[0]);
        ::close(outPipe[1]);
        ::close(errPipe[1]);
        int nullFd = ::open("/dev/null", O_RDONLY);
        ::dup2(nullFd, 0);
        if (!workDir.empty() && ::chdir(workDir.c_str()) != 0)
            ::_exit(126);
        std::vector<char*> args;
        for (const std::string& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        if (search) {
            // The peers write and print names by the locale's character set:
            // in the C locale of a bare system, bsdtar leaves the UTF-8 flag
            // off and unzip prints "?" for names that tests compare as UTF-8.
            ::setenv("LC_ALL", "C.UTF-8", 1);
            ::execvp(args[0], args.data());
        } else {
            ::execv(args[0], args.data());
        }
        ::_exit(127);
    }
    ::close(outPipe[1]);
    ::close(errPipe[1]);
    pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
    std::optional<std::chrono::steady_clock::time_point> deadline;
    if (timeoutSeconds > 0)
        deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    if (!Drain(fds, &run.output, &run.errors, deadline)) {
        run.timedOut = true;
        ::kill(pid, SIGKILL);
        Drain(fds, &run.output, &run.errors, std::nullopt);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

}  // namespace

ToolRun RunArcpeek(const std::vector<std::string>& args, const std::string& workDir) {
    CollectArchives(args, workDir);
    std::vector<std::string> argv{ARCPEEK_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    return Run(argv, workDir, false);
}

ToolRun RunArcpeekWithin(int seconds, const std::vector<std::string>& args) {
    std::vector<std::string> argv{ARCPEEK_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    return Run(argv, "", false, seconds);
}

ToolRun RunProgram(const std::vector<std::string>& argv, const std::string& workDir) {
    return Run(argv, workDir, true);
}

bool HaveProgram(const std::string& program) {
    const char* path = std::getenv("PATH");
    if (!path)
        return false;
    std::stringstream folders(path);
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        std::string candidate = folder + "/" + program;
        if (::access(candidate.c_str(), X_OK) == 0)
            return true;
    }
    return false;
}

std::filesystem::path FsPath(const std::string& utf8) {
    return std::filesystem::path(utf8);
}

ScratchDir::ScratchDir() {
    const char* base = std::getenv("TMPDIR");
    std::string pattern = std::string(base && *base ? base : "/tmp") + "/arcpeek-test-XXXXXX";
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    if (::mkdtemp(buffer.data()))
        path_ = buffer.data();
}

std::string Cp932ToUtf8(const std::string& bytes) {
    iconv_t cd = iconv_open("UTF-8", "CP932");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return "<no CP932 converter>";
    std::string out(bytes.size() * 3 + 1, '\0');
    char* in = const_cast<char*>(bytes.data());
    size_t inLeft = bytes.size();
    char* o = out.data();
    size_t outLeft = out.size();
    size_t r = iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    if (r == static_cast<size_t>(-1)) {
        out += "<invalid CP932 at " + Hex(std::string(in, inLeft < 2 ? inLeft : 2)) + ">";
    }
    return out;
}

std::string Utf8ToCp932(const std::string& utf8) {
    iconv_t cd = iconv_open("CP932", "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1))
        return "<no CP932 converter>";
    std::string out(utf8.size() + 1, '\0');
    char* in = const_cast<char*>(utf8.data());
    size_t inLeft = utf8.size();
    char* o = out.data();
    size_t outLeft = out.size();
    iconv(cd, &in, &inLeft, &o, &outLeft);
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}
