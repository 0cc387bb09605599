#include "fuzz_support.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace fs = std::filesystem;

namespace {

std::string MakeScratchFolder() {
    std::error_code ec;
    fs::path base =
        fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    fs::path folder = base / ("arcpeek-fuzz-" + std::to_string(getpid()));
    fs::remove_all(folder, ec);
    fs::create_directories(folder, ec);
    if (ec)
        FuzzFailure("cannot create the scratch folder");
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(ScratchFolder(), ignored);
    });
    return folder.string();
}

}  // namespace

const std::string& ScratchFolder() {
    // Never destroyed: the exit handler that removes the folder needs its name.
    static const std::string& folder = *new std::string(MakeScratchFolder());
    return folder;
}

void WriteWholeFile(const std::string& path, const uint8_t* bytes, size_t size) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes), static_cast<std::streamsize>(size));
    if (!out)
        FuzzFailure("cannot write a scratch file");
}

std::string ReadWholeFile(const std::string& path, bool* exists) {
    std::ifstream in(path, std::ios::binary);
    if (exists)
        *exists = static_cast<bool>(in);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

bool FileExists(const std::string& path) {
    std::error_code ec;
    return fs::exists(fs::symlink_status(path, ec));
}

void FuzzFailure(const char* what) {
    std::fprintf(stderr, "%s\n", what);
    std::abort();
}
