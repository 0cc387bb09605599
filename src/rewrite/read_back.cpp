#include "rewrite/read_back.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "archive/reader.h"
#include "archive/records.h"
#include "archive/zip64_values.h"
#include "platform/file.h"
#include "platform/fileio.h"
#include "rewrite/archive_writer.h"
#include "rewrite/layout_check.h"
#include "rewrite/rewrite.h"

namespace {

// The file is read through one window, in large pieces where the headers lie
// close together (an archive of many small entries is read whole, a piece at
// a time) and in small ones where data lies between them (a large entry's
// bytes are skipped, not read). The file was just written and is still in
// the page cache.
// The window is the writer's idle input buffer. A refill reads at the
// offset asked for, so the longest piece asked for at once (a header with
// three texts of the longest length the format allows) always fits.
constexpr size_t WindowStep = TransferBufferSize;
constexpr size_t LongestPiece = CentralHeaderSize + 3 * size_t{0xFFFF};
static_assert(LongestPiece <= WindowStep);

struct Window {
    uint8_t* bytes;  // WindowStep bytes
    FileHandle file;
    uint64_t fileSize;
    uint64_t start;  // bytes [start, start + length) of the file are at `bytes`
    size_t length;
    uint64_t position;  // of the file, where the last read ended
    int* errorDetail;
};

// The new archive, open twice: through the rewrite's file services for the
// window, and as the reader opens an archive for its end record search.
struct OpenFile {
    FileHandle file;
    std::FILE* stream = nullptr;
    ~OpenFile() {
        CloseFile(&file);
        if (stream)
            std::fclose(stream);
    }
};

int Misread(int* errorDetail, int detail = 0) {
    *errorDetail = detail;
    return NewArchiveMisread;
}

// Refills the window at `offset`: at least `count` bytes and up to `reach`
// (where the caller expects to read next), but no more than the window
// holds. Null when the file does not hold them or a read failed.
const uint8_t* RefillAt(Window* w, uint64_t offset, size_t count, uint64_t reach) {
    if (count > LongestPiece || offset > w->fileSize || count > w->fileSize - offset)
        return nullptr;
    uint64_t wanted = reach > offset + count ? reach - offset : count;
    wanted =
        std::min<uint64_t>({wanted, std::max<uint64_t>(count, WindowStep), w->fileSize - offset});
    size_t got = 0;
    int io = offset == w->position ? 0 : SeekTo(w->file, offset);
    if (io == 0)
        io = ReadUpTo(w->file, w->bytes, static_cast<size_t>(wanted), &got);
    if (io != 0 || got < count) {
        *w->errorDetail = io > 0 ? io : 0;
        w->position = ~uint64_t{0};
        return nullptr;
    }
    w->position = offset + got;
    w->start = offset;
    w->length = got;
    return w->bytes;
}

// The file's bytes [offset, offset + count), or null when the file does not
// hold them or a read failed. Most calls find them in the window already, so
// only a refill goes out of line.
inline const uint8_t* BytesAt(Window* w, uint64_t offset, size_t count, uint64_t reach) {
    if (offset >= w->start && offset + count <= w->start + w->length) [[likely]]
        return w->bytes + (offset - w->start);
    return RefillAt(w, offset, count, reach);
}

bool SameAsPlanned(const uint8_t* bytes, const RewritePlan& plan, ArenaText text) {
    return text.length == 0 || std::memcmp(bytes, PlanBytes(plan, text), text.length) == 0;
}

// Where the section after entry i starts: the next local header, or the
// directory.
uint64_t NextSectionStart(const RewritePlan& plan, int i) {
    return i + 1 < plan.entryCount ? plan.entries[i + 1].localHeaderOffset : plan.directoryOffset;
}

uint64_t LocalHeaderEnd(const EntryPlan& entry) {
    return entry.localHeaderOffset + LocalHeaderSize + entry.name.length + entry.localExtraLength;
}

// How far the local headers from entry i on reach within one window step:
// the end of the last one that still fits.
uint64_t LocalHeadersReach(const RewritePlan& plan, int i) {
    const uint64_t limit = plan.entries[i].localHeaderOffset + WindowStep;
    uint64_t reach = LocalHeaderEnd(plan.entries[i]);
    for (int j = i + 1; j < plan.entryCount && LocalHeaderEnd(plan.entries[j]) <= limit; ++j)
        reach = LocalHeaderEnd(plan.entries[j]);
    return reach;
}

// The local header of entry i: at its planned offset, with its signature, the
// planned flags, name and extra field length, and data of the planned length
// right behind it, ending where the next section starts less a data
// descriptor where the flags announce one.
bool LocalSectionReadsBack(Window* w, const RewritePlan& plan, int i, uint64_t* reach) {
    const EntryPlan& entry = plan.entries[i];
    const uint64_t at = entry.localHeaderOffset;
    const size_t size = LocalHeaderSize + entry.name.length + entry.localExtraLength;
    if (at + size > *reach)
        *reach = LocalHeadersReach(plan, i);
    const uint8_t* header = BytesAt(w, at, size, *reach);
    if (header == nullptr || ReadLe32(header) != LocalHeaderSignature)
        return false;
    const uint16_t flags = ReadLe16(header + LocalFlagsOffset);
    if (flags != entry.flags || ReadLe16(header + LocalNameLengthOffset) != entry.name.length ||
        ReadLe16(header + LocalExtraLengthOffset) != entry.localExtraLength ||
        !SameAsPlanned(header + LocalHeaderSize, plan, entry.name)) {
        return false;
    }
    const bool descriptor = (flags & FlagDataDescriptor) != 0;
    if (!descriptor) {
        uint64_t compressedSize = 0;
        if (!ReadLocalCompressedSize(header, header + LocalHeaderSize + entry.name.length,
                                     entry.localExtraLength, &compressedSize) ||
            compressedSize != entry.dataLength) {
            return false;
        }
    }
    const uint64_t dataEnd = at + size + entry.dataLength;
    const uint64_t next = NextSectionStart(plan, i);
    if (dataEnd > next)
        return false;
    const uint64_t gap = next - dataEnd;
    return descriptor ? IsCopiedDescriptorLength(gap) : gap == 0;
}

// The 46 bytes of a central header hold what the rewrite wrote for `entry`:
// the fields of the header as read, with the new flags, text lengths and
// local header offset, and the version needed and extra field length that
// its 0x0001 field of `fieldLength` bytes brings. Compared field by field,
// without building the header.
bool CentralFieldsAsPlanned(const uint8_t* h, const CentralRecord& r, const EntryPlan& entry,
                            size_t fieldLength) {
    const uint32_t needed = fieldLength == 0 ? r.neededVersion : NewNeededVersion(r, fieldLength);
    const uint32_t extraLength = static_cast<uint32_t>(fieldLength) + entry.centralExtra.length;
    uint32_t differ = ReadLe32(h) ^ CentralHeaderSignature;
    differ |= ReadLe32(h + 4) ^ (r.madeByVersion | r.madeByHost << 8 | needed << 16);
    differ |= ReadLe32(h + 8) ^ (entry.flags | uint32_t{r.method} << 16);
    differ |= ReadLe32(h + 12) ^ (r.modTime | uint32_t{r.modDate} << 16);
    differ |= ReadLe32(h + 16) ^ r.crc32;
    differ |= ReadLe32(h + 20) ^ r.compressedSize;
    differ |= ReadLe32(h + 24) ^ r.uncompressedSize;
    differ |= ReadLe32(h + 28) ^ (entry.name.length | extraLength << 16);
    differ |= ReadLe32(h + 32) ^ (entry.comment.length | uint32_t{r.diskNumberStart} << 16);
    differ |= ReadLe16(h + 36) ^ r.internalAttributes;
    differ |= ReadLe32(h + 38) ^ r.externalAttributes;
    differ |= ReadLe32(h + 42) ^ StoredOffset(entry.localHeaderOffset);
    return differ == 0;
}

// A central header with a new 0x0001 field: the field holds the bytes the
// writer meant, and the reader's own reading of it gives the entry's sizes
// and disk number as read and its new local header offset.
bool Zip64FieldAsPlanned(const uint8_t* header, const CentralRecord& record, const EntryPlan& entry,
                         const uint8_t* field, size_t fieldLength) {
    const uint8_t* extra = header + CentralHeaderSize + entry.name.length;
    if (std::memcmp(extra, field, fieldLength) != 0)
        return false;
    CentralRecord stored{};
    LoadCentralHeader(header, &stored);
    Zip64Values values{};
    if (!ReadZip64Values(stored, extra, stored.extraLength, &values))
        return false;
    const Zip64Values planned = Zip64ValuesOf(record);
    return values.uncompressedSize == planned.uncompressedSize &&
           values.compressedSize == planned.compressedSize &&
           values.diskNumberStart == planned.diskNumberStart &&
           values.localHeaderOffset == entry.localHeaderOffset;
}

// The central header of entry i at `position` in the directory, with its
// texts; advances `position` past them. Its versions were accepted when the
// archive was read, with the same switches, and are checked to be the same.
bool CentralHeaderReadsBack(Window* w, const RewritePlan& plan, int i, uint64_t directoryEnd,
                            uint64_t* position) {
    const EntryPlan& entry = plan.entries[i];
    const CentralRecord& record = PlannedRecordOf(i);
    uint8_t field[NewZip64FieldRoom];
    const size_t fieldLength = StoreNewZip64Field(record, entry, field);
    const size_t extraLength = fieldLength + entry.centralExtra.length;
    const size_t size = CentralHeaderSize + entry.name.length + extraLength + entry.comment.length;
    if (*position + size > directoryEnd)
        return false;
    const uint8_t* header = BytesAt(w, *position, size, directoryEnd);
    if (header == nullptr || !CentralFieldsAsPlanned(header, record, entry, fieldLength))
        return false;
    if (fieldLength > 0 && !Zip64FieldAsPlanned(header, record, entry, field, fieldLength))
        return false;
    const uint8_t* texts = header + CentralHeaderSize;
    if (!SameAsPlanned(texts, plan, entry.name) ||
        !SameAsPlanned(texts + entry.name.length + fieldLength, plan, entry.centralExtra) ||
        !SameAsPlanned(texts + entry.name.length + extraLength, plan, entry.comment))
        return false;
    *position += size;
    return true;
}

bool SameZip64EndRecord(const Zip64EndRecord& a, const Zip64EndRecord& b) {
    return a.present == b.present && a.offset == b.offset && a.locatorDisk == b.locatorDisk &&
           a.diskCount == b.diskCount && a.signature == b.signature &&
           a.recordSize == b.recordSize && a.diskNumber == b.diskNumber &&
           a.directoryDisk == b.directoryDisk && a.diskEntries == b.diskEntries &&
           a.totalEntries == b.totalEntries && a.directorySize == b.directorySize &&
           a.directoryOffset == b.directoryOffset && a.stubLength == b.stubLength;
}

// The end record that the reader's search finds is `record`, at `offset`,
// accepted as the reader accepts one, with `comment` behind it and nothing
// after that. Where `zip64` is not null, a locator stands right before it
// and the reader's ZIP64 reading finds that ZIP64 end record, whose
// directory is then checked; where it is null, with -r no locator stands
// there that the reader would follow.
bool EndRecordReadsBack(Window* w, std::FILE* stream, uint64_t offset, const uint8_t* record,
                        const uint8_t* comment, size_t commentLength, const Zip64EndRecord* zip64) {
    if (w->fileSize != offset + EndRecordSize + commentLength)
        return false;
    FoundEndRecord found;
    if (FindEndRecordOf(stream, static_cast<int64_t>(w->fileSize), &found, w->errorDetail) != 0)
        return false;
    uint8_t bytes[EndRecordSize];
    StoreEndRecord(found.record, bytes);
    if (found.offset < 0 || static_cast<uint64_t>(found.offset) != offset ||
        std::memcmp(bytes, record, EndRecordSize) != 0) {
        return false;
    }
    const EndRecord& end = found.record;
    DirectoryExtent d{end.diskEntries, end.directorySize, end.directoryOffset};
    uint64_t directoryLimit = offset;
    if (zip64 != nullptr) {
        Zip64EndRecord read{};
        if (!found.zip64LocatorPresent ||
            ReadZip64EndRecord(stream, found, &read, w->errorDetail) != 0 ||
            !SameZip64EndRecord(read, *zip64)) {
            return false;
        }
        d = DirectoryExtent{read.diskEntries, read.directorySize, read.directoryOffset};
        directoryLimit = read.offset;
    } else if (context.relaxedVersions && found.zip64LocatorPresent) {
        return false;
    }
    if (end.diskNumber != 0 || end.directoryDisk != 0 || d.entryCount == 0 ||
        !DirectoryFieldsAccepted(d.offset, d.size) || d.offset > directoryLimit ||
        d.size > directoryLimit - d.offset) {
        return false;
    }
    if (commentLength == 0)
        return true;
    const uint8_t* stored = BytesAt(w, offset + EndRecordSize, commentLength, w->fileSize);
    return stored != nullptr && std::memcmp(stored, comment, commentLength) == 0;
}

int OpenNewArchive(const char* path, OpenFile* open, Window* w, int* errorDetail) {
    *w = Window{IdleInputBuffer(), FileHandle{}, 0, 0, 0, 0, errorDetail};
    *errorDetail = 0;
    int io = OpenForReading(path, &open->file);
    if (io == 0)
        io = FileSize(open->file, &w->fileSize);
    if (io != 0)
        return Misread(errorDetail, io > 0 ? io : 0);
    errno = 0;
    open->stream = OpenForReading(path);
    if (open->stream == nullptr)
        return Misread(errorDetail, errno);
    w->file = open->file;
    return 0;
}

}  // namespace

int ReadBackNewArchive(const char* path, const RewritePlan& plan, int* errorDetail) {
    OpenFile open;
    Window w;
    int r = OpenNewArchive(path, &open, &w, errorDetail);
    if (r != 0)
        return r;
    uint64_t reach = 0;
    for (int i = 0; i < plan.entryCount; ++i) {
        if (!LocalSectionReadsBack(&w, plan, i, &reach))
            return Misread(errorDetail, *errorDetail);
    }
    const uint64_t directoryEnd =
        plan.zip64EndOffset != 0 ? plan.zip64EndOffset : plan.endRecordOffset;
    uint64_t position = plan.directoryOffset;
    for (int i = 0; i < plan.entryCount; ++i) {
        if (!CentralHeaderReadsBack(&w, plan, i, directoryEnd, &position))
            return Misread(errorDetail, *errorDetail);
    }
    Zip64EndRecord zip64{};
    if (plan.zip64EndOffset != 0) {
        const auto count = static_cast<uint64_t>(plan.entryCount);
        zip64 = Zip64EndRecord{1,
                               plan.zip64EndOffset,
                               0,
                               1,
                               Zip64EndSignature,
                               Zip64EndLeastSize,
                               0,
                               0,
                               count,
                               count,
                               directoryEnd - plan.directoryOffset,
                               plan.directoryOffset,
                               0};
    }
    if (position != directoryEnd ||
        !EndRecordReadsBack(&w, open.stream, plan.endRecordOffset, plan.endRecord,
                            PlanBytes(plan, plan.archiveComment), plan.archiveComment.length,
                            plan.zip64EndOffset != 0 ? &zip64 : nullptr)) {
        return Misread(errorDetail, *errorDetail);
    }
    return 0;
}

int ReadBackNewEndRecord(const char* path, uint64_t offset, const uint8_t* record,
                         const uint8_t* comment, size_t commentLength, const Zip64EndRecord* zip64,
                         int* errorDetail) {
    OpenFile open;
    Window w;
    int r = OpenNewArchive(path, &open, &w, errorDetail);
    if (r != 0)
        return r;
    if (!EndRecordReadsBack(&w, open.stream, offset, record, comment, commentLength, zip64))
        return Misread(errorDetail, *errorDetail);
    return 0;
}
