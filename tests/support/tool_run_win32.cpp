// Running programs, scratch folders and the CP932 helpers on Windows.
// arcpeek.exe starts with CreateProcessW, its output through pipes. Under
// Wine the checkers are Linux programs: Wine starts them but hands them
// neither the pipes nor their exit code back, so they run inside /bin/sh,
// which leaves their output and exit code in files that are read here.
#include <windows.h>

#include <cstdio>
#include <string>
#include <thread>

#include "platform/wide_text.h"
#include "support/tool_run.h"

namespace {

// The Linux folders the checkers live in; Wine shows the Linux root as Z:.
const char* const LinuxProgramFolders[] = {"/usr/local/bin", "/usr/bin", "/bin"};

std::wstring CommandLine(const std::vector<std::string>& argv) {
    std::wstring line;
    for (const std::string& argument : argv) {
        if (!line.empty())
            line.push_back(L' ');
        line += QuotedArgument(WideFromUtf8(argument));
    }
    return line;
}

// Reads a pipe to its end; each pipe has a thread of its own, so that
// neither can fill up and stop the program.
void Drain(HANDLE pipe, std::string* into) {
    char buffer[65536];
    DWORD n = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &n, nullptr) && n > 0)
        into->append(buffer, n);
}

ToolRun RunWindowsProgram(const std::vector<std::string>& argv, const std::string& workDir,
                          DWORD timeout = INFINITE) {
    ToolRun run;
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE outRead, outWrite, errRead, errWrite;
    if (!CreatePipe(&outRead, &outWrite, &inherit, 0))
        return run;
    if (!CreatePipe(&errRead, &errWrite, &inherit, 0)) {
        CloseHandle(outRead);
        CloseHandle(outWrite);
        return run;
    }
    SetHandleInformation(outRead, HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead, HANDLE_FLAG_INHERIT, 0);
    HANDLE nul = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                             OPEN_EXISTING, 0, nullptr);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = outWrite;
    startup.hStdError = errWrite;
    PROCESS_INFORMATION process{};
    std::wstring line = CommandLine(argv);
    std::wstring folder = WideFromUtf8(workDir);
    BOOL started = CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                  workDir.empty() ? nullptr : folder.c_str(), &startup, &process);
    CloseHandle(outWrite);
    CloseHandle(errWrite);
    if (nul != INVALID_HANDLE_VALUE)
        CloseHandle(nul);
    if (started) {
        std::thread output(Drain, outRead, &run.output);
        std::thread errors(Drain, errRead, &run.errors);
        if (WaitForSingleObject(process.hProcess, timeout) == WAIT_TIMEOUT) {
            run.timedOut = true;
            TerminateProcess(process.hProcess, 1);
            WaitForSingleObject(process.hProcess, INFINITE);
        }
        output.join();
        errors.join();
        DWORD code = 0;
        if (GetExitCodeProcess(process.hProcess, &code))
            run.exitCode = static_cast<int>(code);
        CloseHandle(process.hProcess);
        CloseHandle(process.hThread);
    } else {
        run.exitCode = 127;
    }
    CloseHandle(outRead);
    CloseHandle(errRead);
    return run;
}

// The Linux path of a path Wine shows on Z: ("Z:\tmp/x" -> "/tmp/x"); other
// texts unchanged. A switch may carry the path behind its letter ("-oZ:\x").
std::string LinuxPath(const std::string& text) {
    size_t at = text.size() > 3 && text[0] == '-' ? 2 : 0;
    if (text.size() < at + 3 || (text[at] != 'Z' && text[at] != 'z') || text[at + 1] != ':' ||
        (text[at + 2] != '\\' && text[at + 2] != '/'))
        return text;
    std::string linux = text.substr(0, at) + text.substr(at + 2);
    for (size_t i = at; i < linux.size(); ++i) {
        if (linux[i] == '\\')
            linux[i] = '/';
    }
    return linux;
}

bool IsFile(const std::string& path) {
    DWORD attributes = GetFileAttributesW(WideFromUtf8(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// A command-line argument reaches a Linux program through UTF-16, where
// bytes that are no UTF-8 (Shift-JIS names) have no place: they travel as
// octal escapes ("\0203") that the script below turns back into bytes.
std::string Escaped(const std::string& argument) {
    std::string out;
    for (char c : argument) {
        unsigned char b = static_cast<unsigned char>(c);
        if (b >= 0x80 || c == '\\') {
            char code[8];
            std::snprintf(code, sizeof code, "\\0%03o", b);
            out += code;
        } else {
            out += c;
        }
    }
    return out;
}

// The script run by /bin/sh: $1 the folder for the results, $2 the working
// folder, the rest the program and its escaped arguments.
const char* const BridgeScript =
    "d=$1; w=$2; shift 2; n=$#; while [ $n -gt 0 ]; do v=$(printf '%bx' \"$1\"); "
    "set -- \"$@\" \"${v%x}\"; shift; n=$((n-1)); done; "
    "PATH=/usr/local/bin:/usr/bin:/bin; LC_ALL=C.UTF-8; export PATH LC_ALL; "
    "if [ -z \"$w\" ] || cd \"$w\"; then \"$@\" </dev/null >\"$d/out\" 2>\"$d/err\"; c=$?; "
    "else c=126; fi; echo $c >\"$d/code.part\"; mv \"$d/code.part\" \"$d/code\"";

ToolRun RunLinuxProgram(const std::vector<std::string>& argv, const std::string& workDir) {
    ScratchDir results;
    std::vector<std::string> command{
        "/bin/sh", "-c", BridgeScript, "sh", LinuxPath(results.path()), LinuxPath(workDir)};
    for (const std::string& argument : argv)
        command.push_back(Escaped(LinuxPath(argument)));
    ToolRun run = RunWindowsProgram(command, "");
    if (run.exitCode == 127)
        return run;
    // Wine does not wait for a Linux program: wait for its exit code.
    std::string codeFile = results.File("code");
    for (int waited = 0; !IsFile(codeFile) && waited < 600000; waited += 5)
        Sleep(5);
    ToolRun result;
    std::string code = ReadFileBytes(codeFile);
    result.exitCode = code.empty() ? -1 : std::atoi(code.c_str());
    result.output = ReadFileBytes(results.File("out"));
    result.errors = ReadFileBytes(results.File("err"));
    return result;
}

bool IsLinuxProgram(const std::string& program) {
    return !program.ends_with(".exe");
}

}  // namespace

ToolRun RunArcpeek(const std::vector<std::string>& args, const std::string& workDir) {
    CollectArchives(args, workDir);
    std::vector<std::string> argv{ARCPEEK_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunWindowsProgram(argv, workDir);
}

ToolRun RunArcpeekWithin(int seconds, const std::vector<std::string>& args) {
    std::vector<std::string> argv{ARCPEEK_BINARY};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunWindowsProgram(argv, "", static_cast<DWORD>(seconds) * 1000);
}

ToolRun RunProgram(const std::vector<std::string>& argv, const std::string& workDir) {
    if (argv.empty())
        return ToolRun{};
    if (IsLinuxProgram(argv[0]))
        return RunLinuxProgram(argv, workDir);
    return RunWindowsProgram(argv, workDir);
}

bool HaveProgram(const std::string& program) {
    for (const char* folder : LinuxProgramFolders) {
        if (IsFile(std::string("Z:") + folder + "/" + program))
            return true;
    }
    return false;
}

std::filesystem::path FsPath(const std::string& utf8) {
    return std::filesystem::path(SystemPath(utf8.c_str()));
}

ScratchDir::ScratchDir() {
    // Under Wine the scratch folders lie where the Linux checkers see them.
    std::wstring base = L"Z:\\tmp\\";
    DWORD attributes = GetFileAttributesW(base.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY)) {
        wchar_t temp[MAX_PATH + 1];
        DWORD length = GetTempPathW(MAX_PATH + 1, temp);
        base.assign(temp, length);
    }
    static unsigned serial = 0;
    for (int attempt = 0; attempt < 1000; ++attempt) {
        wchar_t name[64];
        std::swprintf(name, 64, L"arcpeek-test-%lu-%u-%lu", GetCurrentProcessId(), serial++,
                      GetTickCount());
        std::wstring folder = base + name;
        if (CreateDirectoryW(folder.c_str(), nullptr)) {
            path_ = Utf8FromWide(folder);
            return;
        }
    }
}

std::string Cp932ToUtf8(const std::string& bytes) {
    std::wstring wide;
    size_t i = 0;
    while (i < bytes.size()) {
        unsigned char b = static_cast<unsigned char>(bytes[i]);
        bool lead = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        size_t length = lead && i + 1 < bytes.size() ? 2 : 1;
        wchar_t unit = 0;
        if (MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, bytes.data() + i,
                                static_cast<int>(length), &unit, 1) != 1 ||
            (lead && length == 1)) {
            return Utf8FromWide(wide) + "<invalid CP932 at " +
                   Hex(bytes.substr(i, bytes.size() - i < 2 ? bytes.size() - i : 2)) + ">";
        }
        wide.push_back(unit);
        i += length;
    }
    return Utf8FromWide(wide);
}

std::string Utf8ToCp932(const std::string& utf8) {
    std::wstring wide = WideFromUtf8(utf8);
    int size = static_cast<int>(wide.size());
    int n = WideCharToMultiByte(932, 0, wide.data(), size, nullptr, 0, nullptr, nullptr);
    std::string out(n > 0 ? static_cast<size_t>(n) : 0, '\0');
    if (n > 0)
        WideCharToMultiByte(932, 0, wide.data(), size, out.data(), n, nullptr, nullptr);
    return out;
}
