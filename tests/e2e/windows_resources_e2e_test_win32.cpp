// What Explorer shows of the two programs: each carries the icon, the
// application manifest (long paths, Windows 10 and 11, never elevated) and
// version information naming the product.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "support/tool_run.h"

namespace {

std::string Resource(HMODULE module, LPCWSTR type, int id) {
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), type);
    HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    if (!loaded)
        return "";
    return std::string(static_cast<const char*>(LockResource(loaded)),
                       SizeofResource(module, found));
}

std::wstring VersionString(const std::wstring& program, const wchar_t* name) {
    DWORD ignored = 0;
    std::string data(GetFileVersionInfoSizeW(program.c_str(), &ignored), '\0');
    void* value = nullptr;
    UINT length = 0;
    std::wstring key = std::wstring(L"\\StringFileInfo\\040904B0\\") + name;
    if (data.empty() ||
        !GetFileVersionInfoW(program.c_str(), 0, static_cast<DWORD>(data.size()), data.data()) ||
        !VerQueryValueW(data.data(), key.c_str(), &value, &length) || length == 0)
        return L"";
    return static_cast<const wchar_t*>(value);
}

TEST(WindowsResources, BothProgramsCarryIconManifestAndVersion) {
    for (const char* binary : {ARCPEEK_BINARY, ARCPEEK_SENDTO_BINARY}) {
        std::wstring program = FsPath(binary).wstring();
        HMODULE module = LoadLibraryExW(program.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
        ASSERT_NE(module, nullptr) << binary;
        std::string manifest = Resource(module, MAKEINTRESOURCEW(24), 1);
        EXPECT_NE(manifest.find("<longPathAware"), std::string::npos) << binary;
        EXPECT_NE(manifest.find("{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"), std::string::npos);
        EXPECT_NE(manifest.find("level=\"asInvoker\""), std::string::npos) << binary;
        EXPECT_FALSE(Resource(module, MAKEINTRESOURCEW(14), 1).empty()) << binary << ": icon";
        FreeLibrary(module);
        EXPECT_EQ(VersionString(program, L"ProductName"), L"Arcpeek") << binary;
        EXPECT_EQ(VersionString(program, L"ProductVersion"), L"1.0.0.0") << binary;
        EXPECT_FALSE(VersionString(program, L"FileDescription").empty()) << binary;
    }
}

}  // namespace
