#include "support/tool_run.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "support/zip_builder.h"

ScratchDir::~ScratchDir() {
    if (path_.empty())
        return;
    std::error_code ignored;
    std::filesystem::permissions(FsPath(path_), std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ignored);
    std::filesystem::remove_all(FsPath(path_), ignored);
}

void CollectArchives(const std::vector<std::string>& args, const std::string& workDir) {
    const char* folder = std::getenv("ARCPEEK_COLLECT_ARCHIVES");
    if (folder == nullptr || *folder == '\0')
        return;
    for (const std::string& arg : args) {
        if (arg.empty() || arg[0] == '-')
            continue;
        std::string path = arg[0] == '/' || workDir.empty() ? arg : workDir + "/" + arg;
        std::error_code error;
        // Archives grown sparse to gigabytes only test the size limit.
        if (!std::filesystem::is_regular_file(FsPath(path), error) ||
            std::filesystem::file_size(FsPath(path), error) > (64u << 20))
            continue;
        std::string bytes = ReadFileBytes(path);
        char name[32];
        std::snprintf(name, sizeof name, "%016zx.zip", std::hash<std::string>{}(bytes));
        std::ofstream(FsPath(std::string(folder) + "/" + name), std::ios::binary) << bytes;
    }
}

std::string ScratchDir::File(const std::string& name) const {
    return path_ + "/" + name;
}

std::string ScratchDir::Write(const std::string& name, const std::string& bytes) const {
    std::string file = File(name);
    std::ofstream out(FsPath(file), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return file;
}

std::vector<std::string> ScratchDir::List() const {
    std::vector<std::string> names;
    std::error_code ignored;
    for (const auto& item : std::filesystem::directory_iterator(FsPath(path_), ignored)) {
        std::u8string name = item.path().filename().u8string();
        names.emplace_back(reinterpret_cast<const char*>(name.data()), name.size());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string ReadFileBytes(const std::string& path) {
    std::ifstream in(FsPath(path), std::ios::binary);
    std::ostringstream content;
    content << in.rdbuf();
    return content.str();
}

std::string Hex(const std::string& bytes) {
    std::string out;
    char cell[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(cell, sizeof cell, "%02X", static_cast<unsigned char>(bytes[i]));
        if (i)
            out += ' ';
        out += cell;
    }
    return out;
}

const char* const ExpectedBanner =
    "\nArcpeek Ver.1.0.0.0 ( Build: 2014.02.03 )\n"
    "Copyright (C) 2014-2026 The Arcpeek developers.\n\n";

// The local header, the hole, then the directory and the end records. With
// `zip64` the sizes and the directory offset stand in ZIP64 records; without,
// they are stored modulo 2^32, as some writers do past 4 GiB.
std::string WriteSparseArchive(const ScratchDir& scratch, uint64_t dataSize, bool zip64,
                               const std::string& name, uint16_t flags) {
    ZipEntryLayout e;
    e.name = name;
    e.flags = flags;
    e.compressedSize = e.uncompressedSize = zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(dataSize);
    e.crc32 = 0;
    if (zip64)
        e.extra = Zip64Field({dataSize, dataSize});
    ZipLayout local;
    local.entries = {e};
    const std::string head = BuildZip(local).substr(0, 30 + e.name.size() + e.extra.size());
    const uint64_t directoryOffset = head.size() + dataSize;
    ZipLayout tail;
    tail.withLocalSections = false;
    tail.entries = {e};
    tail.entries[0].localHeaderOffset = 0;
    tail.directoryOffset = zip64 ? 0xFFFFFFFF : static_cast<uint32_t>(directoryOffset);
    if (zip64) {
        tail.zip64End = Zip64EndLayout{};
        tail.zip64End->directoryOffset = directoryOffset;
        tail.zip64End->recordOffset = directoryOffset + 46 + e.name.size() + e.extra.size();
    }
    const std::string path = scratch.Write("big.zip", head);
    std::filesystem::resize_file(FsPath(path), directoryOffset);
    std::ofstream(FsPath(path), std::ios::binary | std::ios::app) << BuildZip(tail);
    return path;
}
