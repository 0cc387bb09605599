#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/process.h"
#include "platform/wide_text.h"

namespace {

// The standard handles, made inheritable so that the program receives them.
// A handle that is missing stays null.
HANDLE InheritableStdHandle(DWORD which) {
    HANDLE handle = GetStdHandle(which);
    if (handle == INVALID_HANDLE_VALUE)
        return nullptr;
    if (handle != nullptr)
        SetHandleInformation(handle, HANDLE_FLAG_INHERIT, HANDLE_FLAG_INHERIT);
    return handle;
}

}  // namespace

std::string SiblingProgram(const char* name) {
    std::wstring self(MAX_PATH, L'\0');
    for (;;) {
        DWORD length = GetModuleFileNameW(nullptr, self.data(), static_cast<DWORD>(self.size()));
        if (length == 0)
            return "";
        if (length < self.size()) {
            self.resize(length);
            break;
        }
        if (self.size() >= 32768)
            return "";
        self.resize(self.size() * 2);
    }
    size_t slash = self.find_last_of(L"\\/");
    if (slash == std::wstring::npos)
        return "";
    return Utf8FromWide(self.substr(0, slash + 1)) + name + ".exe";
}

int RunProgramAndWait(const std::string& path, const std::vector<std::string>& arguments) {
    std::wstring program = SystemPath(path.c_str());
    std::wstring line = QuotedArgument(WideFromUtf8(path));
    for (const std::string& argument : arguments)
        line += L" " + QuotedArgument(WideFromUtf8(argument));
    std::fflush(stdout);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = InheritableStdHandle(STD_INPUT_HANDLE);
    startup.hStdOutput = InheritableStdHandle(STD_OUTPUT_HANDLE);
    startup.hStdError = InheritableStdHandle(STD_ERROR_HANDLE);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                        &startup, &process))
        return -1;
    CloseHandle(process.hThread);
    DWORD code = 0;
    bool ended = WaitForSingleObject(process.hProcess, INFINITE) == WAIT_OBJECT_0 &&
                 GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hProcess);
    // Codes from 0x80000000 up are the system's status of a process that was
    // ended (Ctrl+C gives 0xC000013A), not a code the program chose.
    return ended && code <= 0x7FFFFFFF ? static_cast<int>(code) : -1;
}
