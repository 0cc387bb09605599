// The Send-to entries are shell shortcuts (.lnk) in the folder the system
// names FOLDERID_SendTo (%APPDATA%\Microsoft\Windows\SendTo), written through
// the shell's own IShellLinkW: no administrator rights, no registry.
#include <windows.h>
// The shell's headers need the types of windows.h.
#include <objbase.h>
#include <shlobj.h>
#include <shobjidl.h>

#include "platform/send_to.h"
#include "platform/wide_text.h"

namespace {

// The system's error number of a failed COM call.
int ErrorNumber(HRESULT result) {
    return HRESULT_FACILITY(result) == FACILITY_WIN32 ? HRESULT_CODE(result)
                                                      : static_cast<int>(result);
}

// The user's Send-to folder, created if it is missing; empty on failure.
std::wstring SendToFolder(int* error) {
    PWSTR path = nullptr;
    HRESULT result = SHGetKnownFolderPath(FOLDERID_SendTo, KF_FLAG_CREATE, nullptr, &path);
    std::wstring folder = SUCCEEDED(result) && path ? path : L"";
    CoTaskMemFree(path);
    *error = SUCCEEDED(result) ? 0 : ErrorNumber(result);
    return folder;
}

std::wstring ShortcutPath(const std::wstring& folder, const SendToEntry& entry) {
    return folder + L"\\" + WideFromUtf8(entry.name) + L".lnk";
}

// Writes one shortcut to `program` with `arguments`, replacing the file.
HRESULT SaveShortcut(const std::wstring& path, const std::wstring& program,
                     const std::wstring& arguments) {
    IShellLinkW* link = nullptr;
    HRESULT result = CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER,
                                      IID_IShellLinkW, reinterpret_cast<void**>(&link));
    if (FAILED(result))
        return result;
    IPersistFile* file = nullptr;
    result = link->SetPath(program.c_str());
    if (SUCCEEDED(result))
        result = link->SetArguments(arguments.c_str());
    if (SUCCEEDED(result))
        result = link->SetIconLocation(program.c_str(), 0);
    if (SUCCEEDED(result))
        result = link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file));
    if (SUCCEEDED(result))
        result = file->Save(path.c_str(), TRUE);
    if (file)
        file->Release();
    link->Release();
    return result;
}

}  // namespace

int AddSendToEntries(const std::vector<SendToEntry>& entries, const std::string& program,
                     std::string* folder) {
    int error = 0;
    std::wstring sendTo = SendToFolder(&error);
    *folder = Utf8FromWide(sendTo);
    if (error != 0)
        return error;
    HRESULT started = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(started))
        return ErrorNumber(started);
    std::wstring target = WideFromUtf8(program);
    for (const SendToEntry& entry : entries) {
        HRESULT result =
            SaveShortcut(ShortcutPath(sendTo, entry), target, WideFromUtf8(entry.arguments));
        if (FAILED(result)) {
            error = ErrorNumber(result);
            break;
        }
    }
    CoUninitialize();
    return error;
}

int RemoveSendToEntries(const std::vector<SendToEntry>& entries, std::string* folder) {
    int error = 0;
    std::wstring sendTo = SendToFolder(&error);
    *folder = Utf8FromWide(sendTo);
    if (error != 0)
        return error;
    for (const SendToEntry& entry : entries) {
        if (!DeleteFileW(ShortcutPath(sendTo, entry).c_str()) &&
            GetLastError() != ERROR_FILE_NOT_FOUND)
            return static_cast<int>(GetLastError());
    }
    return 0;
}
