#include "support/zip_builder.h"

#include <algorithm>

#include "archive/crc32.h"

namespace {

void Append16(std::string& out, uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
}

void Append32(std::string& out, uint32_t v) {
    Append16(out, static_cast<uint16_t>(v & 0xFFFF));
    Append16(out, static_cast<uint16_t>(v >> 16));
}

void Append64(std::string& out, uint64_t v) {
    Append32(out, static_cast<uint32_t>(v));
    Append32(out, static_cast<uint32_t>(v >> 32));
}

void AppendZip64End(std::string& out, const Zip64EndLayout& z, uint64_t count, uint64_t size,
                    uint64_t offset) {
    const uint64_t recordOffset = out.size();
    Append32(out, z.signature.value_or(0x06064B50));
    Append64(out, z.recordSize.value_or(44));
    Append16(out, 45);
    Append16(out, 45);
    Append32(out, 0);
    Append32(out, z.directoryDisk.value_or(0));
    Append64(out, z.diskEntries.value_or(count));
    Append64(out, z.totalEntries.value_or(count));
    Append64(out, size);
    Append64(out, z.directoryOffset.value_or(offset));
    Append32(out, 0x07064B50);
    Append32(out, z.locatorDisk.value_or(0));
    Append64(out, z.recordOffset.value_or(recordOffset));
    Append32(out, z.diskCount.value_or(1));
}

uint32_t CrcOf(const ZipEntryLayout& e) {
    return e.crc32 ? *e.crc32 : Crc32(0, e.data.data(), e.data.size());
}

uint32_t CompressedSizeOf(const ZipEntryLayout& e) {
    return e.compressedSize ? *e.compressedSize : static_cast<uint32_t>(e.data.size());
}

uint32_t UncompressedSizeOf(const ZipEntryLayout& e) {
    return e.uncompressedSize ? *e.uncompressedSize : static_cast<uint32_t>(e.data.size());
}

uint16_t FlagsOf(const ZipEntryLayout& e) {
    return static_cast<uint16_t>(e.flags | (e.descriptor ? 0x0008 : 0));
}

void AppendLocalSection(std::string& out, const ZipEntryLayout& e) {
    const std::string& name = e.localName ? *e.localName : e.name;
    const std::string& extra = e.localExtra ? *e.localExtra : e.extra;
    Append32(out, 0x04034B50);
    Append16(out, e.neededVersion);
    Append16(out, e.localFlags ? *e.localFlags : FlagsOf(e));
    Append16(out, e.method);
    Append16(out, e.modTime);
    Append16(out, e.modDate);
    Append32(out, e.descriptor ? 0 : CrcOf(e));
    Append32(out, e.descriptor ? 0 : CompressedSizeOf(e));
    Append32(out, e.descriptor ? 0 : UncompressedSizeOf(e));
    Append16(out, static_cast<uint16_t>(name.size()));
    Append16(out, static_cast<uint16_t>(extra.size()));
    out += name;
    out += extra;
    out += e.data;
    if (e.descriptor) {
        if (e.descriptorSignature)
            Append32(out, 0x08074B50);
        Append32(out, CrcOf(e));
        Append32(out, CompressedSizeOf(e));
        Append32(out, UncompressedSizeOf(e));
    }
}

void AppendCentralHeader(std::string& out, const ZipEntryLayout& e, uint32_t localOffset) {
    Append32(out, 0x02014B50);
    out.push_back(static_cast<char>(e.madeByVersion));
    out.push_back(static_cast<char>(e.madeByHost));
    Append16(out, e.neededVersion);
    Append16(out, FlagsOf(e));
    Append16(out, e.method);
    Append16(out, e.modTime);
    Append16(out, e.modDate);
    Append32(out, CrcOf(e));
    Append32(out, CompressedSizeOf(e));
    Append32(out, UncompressedSizeOf(e));
    Append16(out,
             e.centralNameLength ? *e.centralNameLength : static_cast<uint16_t>(e.name.size()));
    Append16(out, static_cast<uint16_t>(e.extra.size()));
    Append16(out, static_cast<uint16_t>(e.comment.size()));
    Append16(out, 0);
    Append16(out, e.internalAttributes);
    Append32(out, e.externalAttributes);
    Append32(out, e.localHeaderOffset ? *e.localHeaderOffset : localOffset);
    out += e.name;
    out += e.extra;
    out += e.comment;
    out += e.junkAfterCentral;
}

}  // namespace

std::string BuildZip(const ZipLayout& layout) {
    std::string out = layout.prefix;
    std::vector<uint32_t> offsets;
    for (const ZipEntryLayout& e : layout.entries) {
        offsets.push_back(static_cast<uint32_t>(out.size()));
        if (layout.withLocalSections)
            AppendLocalSection(out, e);
    }
    const uint32_t directoryOffset = static_cast<uint32_t>(out.size());
    for (size_t i = 0; i < layout.entries.size(); ++i) {
        AppendCentralHeader(out, layout.entries[i], offsets[i]);
    }
    const uint32_t directorySize = static_cast<uint32_t>(out.size()) - directoryOffset;
    const uint16_t count = static_cast<uint16_t>(layout.entries.size());
    if (layout.zip64End)
        AppendZip64End(out, *layout.zip64End, layout.entries.size(), directorySize,
                       directoryOffset);
    Append32(out, 0x06054B50);
    Append16(out, layout.diskNumber.value_or(0));
    Append16(out, layout.directoryDisk.value_or(0));
    Append16(out, layout.diskEntries.value_or(count));
    Append16(out, layout.totalEntries.value_or(count));
    Append32(out, layout.directorySize.value_or(directorySize));
    Append32(out, layout.directoryOffset.value_or(directoryOffset));
    Append16(out, layout.commentLength.value_or(static_cast<uint16_t>(layout.comment.size())));
    out += layout.comment;
    out += layout.trailing;
    return out;
}

std::string Zip64Field(const std::vector<uint64_t>& values) {
    std::string out;
    Append16(out, 0x0001);
    Append16(out, static_cast<uint16_t>(8 * values.size()));
    for (uint64_t v : values)
        Append64(out, v);
    return out;
}

std::string BuildZipWithNames(const std::vector<std::string>& names, const std::string& comment) {
    ZipLayout layout;
    for (const std::string& name : names) {
        ZipEntryLayout e;
        e.name = name;
        e.data = name;
        layout.entries.push_back(e);
    }
    layout.comment = comment;
    return BuildZip(layout);
}

void PutLe16(std::string& bytes, size_t offset, uint16_t value) {
    bytes[offset] = static_cast<char>(value & 0xFF);
    bytes[offset + 1] = static_cast<char>(value >> 8);
}

void PutLe32(std::string& bytes, size_t offset, uint32_t value) {
    PutLe16(bytes, offset, static_cast<uint16_t>(value & 0xFFFF));
    PutLe16(bytes, offset + 2, static_cast<uint16_t>(value >> 16));
}

uint16_t GetLe16(const std::string& bytes, size_t offset) {
    return static_cast<uint16_t>(static_cast<uint8_t>(bytes[offset]) |
                                 static_cast<uint8_t>(bytes[offset + 1]) << 8);
}

uint32_t GetLe32(const std::string& bytes, size_t offset) {
    return GetLe16(bytes, offset) | static_cast<uint32_t>(GetLe16(bytes, offset + 2)) << 16;
}

std::string DeflateStream(const std::string& data) {
    constexpr size_t BlockLimit = 65535;
    std::string out;
    size_t at = 0;
    do {
        const size_t length = std::min(BlockLimit, data.size() - at);
        const bool last = at + length == data.size();
        out.push_back(last ? '\x01' : '\x00');  // BFINAL, BTYPE 00: stored
        Append16(out, static_cast<uint16_t>(length));
        Append16(out, static_cast<uint16_t>(~length));
        out += data.substr(at, length);
        at += length;
    } while (at < data.size());
    return out;
}

namespace {

constexpr uint32_t FinderTime = 0x5F000000;  // atime and mtime of the 0x5855 fields

ZipEntryLayout FinderEntry(const std::string& path, const std::string& content) {
    ZipEntryLayout e;
    e.name = path;
    e.madeByVersion = 0x15;
    e.madeByHost = 3;
    e.neededVersion = 20;
    e.descriptor = true;
    std::string central = "UX";
    Append16(central, 8);
    Append32(central, FinderTime);
    Append32(central, FinderTime);
    std::string local = "UX";
    Append16(local, 12);
    Append32(local, FinderTime);
    Append32(local, FinderTime);
    Append16(local, 501);  // uid
    Append16(local, 20);   // gid
    e.extra = central;
    e.localExtra = local;
    const bool folder = !path.empty() && path.back() == '/';
    e.externalAttributes = folder ? 0x41ED0010u : 0x81A40000u;
    if (!folder) {
        e.method = 8;
        e.data = DeflateStream(content);
        e.crc32 = Crc32(0, content.data(), content.size());
        e.uncompressedSize = static_cast<uint32_t>(content.size());
    }
    return e;
}

// The AppleDouble header that Finder keeps extended attributes in.
std::string AppleDouble() {
    std::string bytes = std::string("\x00\x05\x16\x07\x00\x02\x00\x00", 8) + "Mac OS X        ";
    Append16(bytes, 0);  // no entries
    return bytes;
}

}  // namespace

ZipLayout FinderStyleLayout(const std::vector<std::string>& paths, const std::string& data) {
    ZipLayout layout;
    std::vector<std::string> resourceFolders;
    std::vector<std::string> resources;
    for (const std::string& path : paths) {
        const bool folder = !path.empty() && path.back() == '/';
        layout.entries.push_back(FinderEntry(path, folder ? "" : data + path));
        if (folder) {
            resourceFolders.push_back("__MACOSX/" + path);
            continue;
        }
        const size_t slash = path.rfind('/');
        const size_t base = slash == std::string::npos ? 0 : slash + 1;
        resources.push_back("__MACOSX/" + path.substr(0, base) + "._" + path.substr(base));
    }
    layout.entries.push_back(FinderEntry("__MACOSX/", ""));
    for (const std::string& folder : resourceFolders)
        layout.entries.push_back(FinderEntry(folder, ""));
    for (const std::string& resource : resources)
        layout.entries.push_back(FinderEntry(resource, AppleDouble()));
    return layout;
}

std::vector<size_t> MadeByOffsets(const std::string& archive) {
    std::vector<size_t> offsets;
    for (size_t p = archive.find("PK\x01\x02"); p != std::string::npos;
         p = archive.find("PK\x01\x02", p + 1)) {
        offsets.push_back(p + 4);
    }
    return offsets;
}
