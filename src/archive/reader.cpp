#include "archive/reader.h"

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <vector>

#include "archive/context.h"
#include "archive/records.h"
#include "archive/text_decoding.h"
#include "archive/zip64_values.h"
#include "jcode/detect.h"
#include "jcode/work_areas.h"
#include "platform/file.h"
#include "platform/memory.h"

namespace {

constexpr size_t TextBufferSize = 10240;
constexpr size_t TextPadding = 4;  // zero bytes kept behind a text for the converters
constexpr size_t LongestArchiveComment = TextBufferSize - EndRecordSize - 2;  // 10216
constexpr size_t LongestEntryComment = TextBufferSize - 2;                    // 10238
constexpr size_t NameWorkSize = 640;
constexpr size_t NameWorkPadding = 8;  // zero bytes behind a name in its work area
static_assert(StoredNameLimit + NameWorkPadding <= NameWorkSize);
constexpr int64_t SearchChunkSize = 65536;
// With -r a name or comment may take all 65,535 bytes its length field
// allows, in the form the tool holds it too.
constexpr size_t LongestText = 65535;
// Without -r, sizes, offsets and lengths are 32-bit signed quantities.
constexpr int64_t LargestStrictArchive = INT32_MAX;

bool Relaxed() {
    return context.relaxedVersions != 0;
}

// An open archive that is closed on every way out of the reader.
struct OpenArchive {
    std::FILE* file = nullptr;
    ~OpenArchive() {
        if (file)
            std::fclose(file);
    }
};

// The central directory is read through a window rather than whole, so that
// a listing holds little more than the tables it builds. The window always
// holds one whole central header with its texts (at most 46 + 3 * 65535
// bytes) and TextPadding bytes more.
constexpr size_t WindowReadSize = 64 * 1024;
constexpr size_t LongestHeader = CentralHeaderSize + 3 * 65535;
constexpr size_t WindowCapacity = WindowReadSize + LongestHeader + TextPadding;

// A window over the directory: bytes [start, end) of the directory are at
// `bytes`, followed by the directory's next bytes or, at its end, by
// TextPadding zero bytes. Freed before the reader returns.
struct DirectoryWindow {
    std::FILE* file = nullptr;
    uint8_t* bytes = nullptr;
    size_t capacity = 0;
    size_t size = 0;  // of the whole directory
    size_t start = 0;
    size_t end = 0;
    ~DirectoryWindow() {
        std::free(bytes);
    }
};

// Reads `count` bytes at `offset`. Returns the number of bytes read, or -1
// when the seek failed.
int64_t ReadAt(std::FILE* file, int64_t offset, uint8_t* out, size_t count) {
    if (!SeekFile(file, offset))
        return -1;
    return static_cast<int64_t>(std::fread(out, 1, count, file));
}

bool HasSignature(const uint8_t* p, uint32_t signature) {
    return ReadLe32(p) == signature;
}

// Finds the highest offset in [1, size - 22] at which the end record
// signature stands, reading backwards in chunks; -1 when there is none.
int FindHighestSignature(std::FILE* file, int64_t size, int64_t* found, int* errorDetail) {
    std::vector<uint8_t> chunk(SearchChunkSize + 4);
    int64_t high = size - static_cast<int64_t>(EndRecordSize);
    *found = -1;
    while (high >= 1) {
        int64_t low = high - SearchChunkSize + 1 > 1 ? high - SearchChunkSize + 1 : 1;
        size_t count = static_cast<size_t>(high + 4 - low);
        errno = 0;
        int64_t got = ReadAt(file, low, chunk.data(), count);
        if (got < 0) {
            *errorDetail = errno;
            return 10;
        }
        if (got < static_cast<int64_t>(count)) {
            *errorDetail = errno;
            return 11;
        }
        for (int64_t p = high; p >= low; --p) {
            if (HasSignature(&chunk[static_cast<size_t>(p - low)], EndRecordSignature)) {
                *found = p;
                return 0;
            }
        }
        high = low - 1;
    }
    return 0;
}

}  // namespace

// The search from the end of the file in windows of 22 bytes' step: window k
// starts at size - 22k (only while the start is above 0) and holds up to 64
// bytes; within the first window that holds a complete end record, the
// lowest signature is taken. A signature with fewer than 22 bytes behind it
// is skipped.
int FindEndRecordOf(std::FILE* file, int64_t size, FoundEndRecord* found, int* errorDetail) {
    int64_t highest = -1;
    int r = FindHighestSignature(file, size, &highest, errorDetail);
    if (r != 0)
        return r;
    if (highest < 0)
        return 8;
    // The first window that reaches down to the highest signature.
    int64_t k = (size - highest + 21) / 22;
    int64_t windowStart = size - 22 * k;
    if (windowStart <= 0)
        return 8;

    // The window, and up to EndRecordLeadSize bytes before it, so that the
    // bytes before the end record are at hand for a rewrite.
    int64_t readStart = windowStart > static_cast<int64_t>(EndRecordLeadSize)
                            ? windowStart - static_cast<int64_t>(EndRecordLeadSize)
                            : 0;
    size_t lead = static_cast<size_t>(windowStart - readStart);
    uint8_t bytes[EndRecordLeadSize + 64 + EndRecordSize];
    uint8_t* window = bytes + lead;
    size_t count = static_cast<size_t>(highest + static_cast<int64_t>(EndRecordSize) - readStart);
    errno = 0;
    int64_t got = ReadAt(file, readStart, bytes, count);
    if (got < 0) {
        *errorDetail = errno;
        return 10;
    }
    if (got < static_cast<int64_t>(count)) {
        *errorDetail = errno;
        return 11;
    }
    size_t position = 0;
    while (!HasSignature(window + position, EndRecordSignature))
        ++position;
    found->offset = windowStart + static_cast<int64_t>(position);
    size_t before = std::min(lead + position, EndRecordLeadSize);
    std::memcpy(found->lead, window + position - before, before);
    found->leadLength = static_cast<uint8_t>(before);
    found->record.commentText = nullptr;
    found->zip64LocatorPresent =
        before >= Zip64LocatorSize &&
        HasSignature(found->lead + before - Zip64LocatorSize, Zip64LocatorSignature);
    LoadEndRecord(window + position, &found->record);
    return 0;
}

namespace {

// The checks of the ZIP64 end record against the file, the locator and the
// end record; each returns 0 or its code.
int CheckZip64Place(const Zip64EndRecord& z, uint64_t locatorOffset) {
    if (z.offset > locatorOffset || locatorOffset - z.offset < Zip64EndSize)
        return Zip64EndOutOfPlace;
    return 0;
}

// Where the directory that a ZIP64 end record names lies in the file: its
// stored offset, later by the length of a stub found in front.
uint64_t Zip64DirectoryStart(const Zip64EndRecord& z) {
    return z.directoryOffset + z.stubLength;
}

int CheckZip64Record(const Zip64EndRecord& z, uint64_t locatorOffset) {
    if (z.signature != Zip64EndSignature)
        return Zip64EndMissing;
    if (z.recordSize < Zip64EndLeastSize)
        return Zip64EndTooShort;
    if (z.diskNumber != 0 || z.directoryDisk != 0)
        return 91;
    // The record, with its extensible data, ends at or before the locator;
    // the directory ends at or before the record.
    if (z.recordSize > locatorOffset - z.offset - Zip64EndHeadSize)
        return Zip64EndOutOfPlace;
    if (z.directorySize > z.offset || Zip64DirectoryStart(z) > z.offset - z.directorySize)
        return Zip64EndOutOfPlace;
    return 0;
}

bool Agrees16(uint16_t value, uint64_t wide) {
    return value == Zip64Marker16 || value == wide;
}

bool Agrees32(uint32_t value, uint64_t wide) {
    return value == Zip64Marker32 || value == wide;
}

int CheckZip64AgreesWithEnd(const Zip64EndRecord& z, const EndRecord& end) {
    const bool agree =
        Agrees16(end.diskNumber, z.diskNumber) && Agrees16(end.directoryDisk, z.directoryDisk) &&
        Agrees16(end.diskEntries, z.diskEntries) && Agrees16(end.totalEntries, z.totalEntries) &&
        Agrees32(end.directorySize, z.directorySize) &&
        Agrees32(end.directoryOffset, z.directoryOffset);
    return agree ? 0 : Zip64EndDisagrees;
}

int CheckZip64EntryCount(const Zip64EndRecord& z) {
    if (z.diskEntries != z.totalEntries || z.diskEntries > z.directorySize / CentralHeaderSize)
        return Zip64EntryCountImpossible;
    return 0;
}

// Reads the 56 bytes at `offset` of the file; 0, or 10 or 11 as the read fails.
int ReadZip64EndBytes(std::FILE* file, uint64_t offset, uint8_t (&bytes)[Zip64EndSize],
                      int* errorDetail) {
    errno = 0;
    int64_t got = ReadAt(file, static_cast<int64_t>(offset), bytes, sizeof bytes);
    if (got < 0) {
        *errorDetail = errno;
        return 10;
    }
    if (got < static_cast<int64_t>(sizeof bytes)) {
        *errorDetail = errno;
        return 11;
    }
    return 0;
}

// A stub put in front of an archive (a self-extractor's program) moves every
// record by its length, while the offsets stored in them stay as they were:
// the ZIP64 end record is then not where the locator says. As careful
// readers do, it is looked for right before the locator, where a record
// without extensible data lies. Found there, the stub is the difference, and
// the directory lies that much later than stored. Otherwise `zip64` is left
// as read, for its checks to refuse.
int FindZip64EndBehindStub(std::FILE* file, uint64_t locatorOffset, Zip64EndRecord* zip64,
                           int* errorDetail) {
    const uint64_t plainAt = locatorOffset - Zip64EndSize;  // CheckZip64Place leaves room
    if (plainAt <= zip64->offset)
        return 0;
    uint8_t bytes[Zip64EndSize];
    int r = ReadZip64EndBytes(file, plainAt, bytes, errorDetail);
    if (r != 0 || ReadLe32(bytes) != Zip64EndSignature)
        return r;
    Zip64EndRecord moved = *zip64;
    LoadZip64EndRecord(bytes, &moved);
    moved.stubLength = plainAt - zip64->offset;
    if (moved.directoryOffset > UINT64_MAX - moved.stubLength)
        return 0;
    moved.offset = plainAt;
    *zip64 = moved;
    return 0;
}

}  // namespace

int ReadZip64EndRecord(std::FILE* file, const FoundEndRecord& end, Zip64EndRecord* zip64,
                       int* errorDetail) {
    *zip64 = Zip64EndRecord{};
    if (!end.zip64LocatorPresent)
        return Zip64EndMissing;
    zip64->present = 1;
    LoadZip64Locator(end.lead + end.leadLength - Zip64LocatorSize, zip64);
    if (zip64->locatorDisk != 0 || zip64->diskCount > 1)
        return 91;
    const uint64_t locatorOffset = static_cast<uint64_t>(end.offset) - Zip64LocatorSize;
    int r = CheckZip64Place(*zip64, locatorOffset);
    if (r != 0)
        return r;
    uint8_t bytes[Zip64EndSize];
    r = ReadZip64EndBytes(file, zip64->offset, bytes, errorDetail);
    if (r != 0)
        return r;
    LoadZip64EndRecord(bytes, zip64);
    if (zip64->signature != Zip64EndSignature)
        r = FindZip64EndBehindStub(file, locatorOffset, zip64, errorDetail);
    if (r == 0)
        r = CheckZip64Record(*zip64, locatorOffset);
    if (r == 0)
        r = CheckZip64AgreesWithEnd(*zip64, end.record);
    if (r == 0)
        r = CheckZip64EntryCount(*zip64);
    return r;
}

namespace {

// Reads and decodes the archive comment into commentBuffer. Without -r it
// goes through the text buffer of TextBufferSize bytes; with -r through one
// as large as the comment.
int ReadArchiveComment(std::FILE* file, int* errorDetail) {
    const size_t length = context.endRecord.commentLength;
    if (length == 0)
        return 0;
    if (length > LongestArchiveComment && !Relaxed())
        return ArchiveCommentTooLong;

    std::vector<uint8_t> buffer(std::max(TextBufferSize, EndRecordSize + length) + TextPadding);
    uint8_t* text = buffer.data();
    errno = 0;
    int64_t got = ReadAt(file, context.endRecordOffset, text, EndRecordSize + length);
    if (got < 0) {
        *errorDetail = errno;
        return 10;
    }
    if (got < static_cast<int64_t>(EndRecordSize + length)) {
        *errorDetail = errno;
        return ArchiveCommentCut;
    }
    uint8_t* comment = text + EndRecordSize;
    if (!IsNonAsciiText(comment, length)) {
        std::memcpy(context.commentBuffer, comment, length);
        context.commentBuffer[length] = '\0';
        return 0;
    }
    DecodedText decoded =
        DecodeNonAsciiText(comment, length, comment, context.commentBuffer, CommentBufferSize);
    context.textNonAscii = 1;
    context.commentLossy = decoded.lossy;
    if (decoded.tooLong)
        return ArchiveCommentTooLong;
    return 0;
}

// Allocates the record and text tables and the directory buffer; the
// rewrite order is built only when a rewrite runs (SortRecordOrder). The pool is sized from
// the directory: a converted text is at most twice its stored length plus its
// terminator, and a converted name is also kept as stored, so every text of
// every entry fits in three times the directory and four terminators each.
// A run that asks for a rewrite, which has a plan as large to build and the
// archive to copy, puts speed first; a listing keeps to the memory it fills.
int AllocateTables(size_t count, size_t directorySize, DirectoryWindow* directory,
                   int* errorDetail) {
    errno = 0;
    const TableUse use = context.targetEncoding != Ascii ? TableSpeedFirst : TableMemoryFirst;
    directory->size = directorySize;
    directory->capacity = std::min(directorySize + TextPadding, WindowCapacity);
    directory->bytes = static_cast<uint8_t*>(std::malloc(directory->capacity));
    if (!directory->bytes) {
        *errorDetail = errno;
        return 15;
    }
    const size_t recordBytes = count * sizeof(CentralRecord);
    context.records = static_cast<CentralRecord*>(AllocateTable(recordBytes, use));
    if (!context.records) {
        *errorDetail = errno;
        return 16;
    }
    if (directorySize > SIZE_MAX / 4 - count) {
        *errorDetail = ENOMEM;
        return 18;
    }
    context.poolSize = 3 * directorySize + 4 * static_cast<size_t>(count);
    context.pool = static_cast<char*>(AllocateTable(context.poolSize, use));
    if (!context.pool) {
        *errorDetail = errno;
        return 18;
    }
    return 0;
}

// True when the directory lies inside the file.
bool DirectoryInFile(int64_t fileSize) {
    const DirectoryExtent& d = context.directory;
    const uint64_t size = static_cast<uint64_t>(fileSize);
    return d.size <= size && d.offset <= size - d.size;
}

// Some writers store the offsets of an archive over 4 GiB modulo 2^32 and
// write no ZIP64 records: the directory then ends 2^32 * k bytes before the
// end record rather than right at it. Neither its offsets nor its sizes can
// be trusted.
bool DirectoryOffsetWrapped() {
    const DirectoryExtent& d = context.directory;
    const uint64_t statedEnd = d.offset + d.size;
    const uint64_t endRecord = static_cast<uint64_t>(context.endRecordOffset);
    constexpr uint64_t Wrap = uint64_t{1} << 32;
    return endRecord > statedEnd && (endRecord - statedEnd) % Wrap == 0;
}

// Positions the archive at the central directory for the window to read.
int LoadDirectory(std::FILE* file, DirectoryWindow* directory, int* errorDetail) {
    const int64_t offset = static_cast<int64_t>(context.directory.offset);
    errno = 0;
    if (!SeekFile(file, offset)) {
        *errorDetail = errno;
        return 19;
    }
    directory->file = file;
    return 0;
}

// Moves the window on so that it holds the directory's bytes up to `wanted`.
int RefillWindow(DirectoryWindow* w, size_t position, size_t wanted, int* errorDetail) {
    size_t kept = w->end - position;
    std::memmove(w->bytes, w->bytes + (position - w->start), kept);
    w->start = position;
    // One read of WindowReadSize, or more when one header needs more.
    size_t room = w->capacity - TextPadding - kept;
    size_t step = std::max(WindowReadSize, wanted - w->end);
    size_t wanting = std::min({room, step, w->size - w->end});
    errno = 0;
    size_t got = std::fread(w->bytes + kept, 1, wanting, w->file);
    if (got < wanting) {
        *errorDetail = errno;
        return 20;
    }
    w->end += got;
    if (w->end == w->size)
        std::memset(w->bytes + (w->end - w->start), 0, TextPadding);
    return 0;
}

// Makes the directory's bytes [position, position + count) available in the
// window, with the TextPadding bytes after them. `position` never goes back.
// Returns 0, or 20 when the directory could not be read. Most calls find the
// bytes there already, so only the refill is out of line.
inline int EnsureInWindow(DirectoryWindow* w, size_t position, size_t count, int* errorDetail) {
    size_t wanted = std::min(position + count + TextPadding, w->size);
    if (wanted <= w->end) [[likely]]
        return 0;
    return RefillWindow(w, position, wanted, errorDetail);
}

// Work copies of a name or comment and of its converted form, for texts
// longer than the fixed buffers of a run without -r. They grow to the
// longest text met and are freed with the walk.
struct LongTextAreas {
    std::vector<uint8_t> work;
    std::vector<char> converted;
};

// The walk over the directory.
struct Walk {
    DirectoryWindow* window;
    size_t size;
    size_t position;
    char* poolCursor;
    int* errorDetail;
    LongTextAreas* longTexts;
};

// The walk's position in the window; valid until the window next moves.
const uint8_t* AtPosition(const Walk* walk) {
    return walk->window->bytes + (walk->position - walk->window->start);
}

// Without -r only the versions of the tools this one was made for are read.
// With -r, archives from any tool are: any "version made by", and any
// "version needed" up to 63 (6.3, the newest version of the format).
constexpr uint16_t HighestRelaxedNeededVersion = 63;

bool IsAcceptedMadeByVersion(uint8_t version) {
    if (context.relaxedVersions)
        return true;
    switch (version) {
        case 10:
        case 20:
        case 22:
        case 23:
        case 45:
        case 63:
        case 64:
            return true;
        default:
            return false;
    }
}

bool IsAcceptedNeededVersion(uint16_t version) {
    if (context.relaxedVersions)
        return version <= HighestRelaxedNeededVersion;
    return version == 10 || version == 20 || version == 45;
}

// Takes the header's fixed fields into the record; returns 0 or the code of
// a refused version.
int TakeHeaderFields(const uint8_t* header, CentralRecord* record) {
    LoadCentralHeader(header, record);
    record->name = nullptr;
    record->nameConverted = 0;
    record->commentConverted = 0;
    record->nameLossy = 0;
    record->commentLossy = 0;
    record->storedNameApart = 0;
    record->hasZip64Values = 0;
    record->storedNameLength = record->nameLength;

    context.madeByVersion = record->madeByVersion;
    context.madeByHost = record->madeByHost;
    if (!IsAcceptedMadeByVersion(record->madeByVersion))
        return 92;
    if (!IsAcceptedNeededVersion(record->neededVersion))
        return 93;
    return 0;
}

// Bytes left in the pool. The pool is sized so that every text fits; the
// walk still checks before it writes.
size_t PoolRoom(const Walk* walk) {
    return static_cast<size_t>(context.pool + context.poolSize - walk->poolCursor);
}

// Copies `length` bytes and a zero byte to the pool cursor and returns where
// they start; null when the pool has no room for them.
char* PlaceInPool(Walk* walk, const void* bytes, size_t length) {
    if (length + 1 > PoolRoom(walk))
        return nullptr;
    char* placed = walk->poolCursor;
    std::memcpy(placed, bytes, length);
    placed[length] = '\0';
    walk->poolCursor += length + 1;
    return placed;
}

// Decodes a non-ASCII name of `n` bytes into its display form at
// `converted`. Without -r through the fixed work copy of NameWorkSize bytes
// into EntryNameCapacity bytes; with -r through work areas sized from the
// name: a display form takes at most two bytes for every stored byte.
DecodedText DecodeName(Walk* walk, const uint8_t* stored, size_t n,
                       char (&fixed)[EntryNameCapacity], char** converted) {
    // The converters read the name up to its zero bytes; only those behind
    // it need clearing, not the whole work area.
    if (!Relaxed()) {
        uint8_t work[NameWorkSize];
        std::memcpy(work, stored, n);
        std::memset(work + n, 0, NameWorkPadding);
        *converted = fixed;
        return DecodeNonAsciiText(work, n, stored, fixed, EntryNameCapacity);
    }
    LongTextAreas* areas = walk->longTexts;
    if (areas->work.size() < n + NameWorkPadding)
        areas->work.resize(n + NameWorkPadding);
    if (areas->converted.size() < 2 * n + 1)
        areas->converted.resize(2 * n + 1);
    std::memcpy(areas->work.data(), stored, n);
    std::memset(areas->work.data() + n, 0, NameWorkPadding);
    *converted = areas->converted.data();
    DecodedText decoded = DecodeNonAsciiText(areas->work.data(), n, stored, *converted, 2 * n + 1);
    if (decoded.length > LongestText)
        decoded.tooLong = 1;
    return decoded;
}

// Decodes the name into its display form and places it in the pool.
int TakeName(Walk* walk, const uint8_t* stored, size_t n, CentralRecord* record) {
    const char* text = reinterpret_cast<const char*>(stored);
    size_t length = n;
    char fixed[EntryNameCapacity];
    if (IsNonAsciiText(stored, n)) {
        char* converted = nullptr;
        DecodedText decoded = DecodeName(walk, stored, n, fixed, &converted);
        if (decoded.tooLong)
            return ConvertedNameTooLong;
        text = converted;
        length = decoded.length;
        record->nameConverted = 1;
        record->nameLossy = decoded.lossy;
        context.textNonAscii = 1;
        context.entryTextNonAscii = 1;
    }
    record->name = PlaceInPool(walk, text, length);
    if (!record->name)
        return ConvertedNameTooLong;
    bool sameBytes = length == n && std::memcmp(record->name, stored, n) == 0;
    if (!sameBytes && context.targetEncoding != Ascii) {
        // Right behind the held name, where StoredNameOf finds it.
        if (!PlaceInPool(walk, stored, n))
            return ConvertedNameTooLong;
        record->storedNameApart = 1;
    }
    record->nameLength = static_cast<uint16_t>(length);
    return 0;
}

// Places the extra field in the pool, right behind the name, where ExtraOf
// finds it.
int TakeExtraField(Walk* walk, const uint8_t* stored, size_t x) {
    if (x == 0)
        return 0;
    return PlaceInPool(walk, stored, x) ? 0 : 83;
}

// With -r, an entry whose header marks a size, its offset or its disk number
// as held in its ZIP64 field must have that field, long enough for them.
int TakeZip64Values(const uint8_t* extra, size_t x, CentralRecord* record) {
    if (!Relaxed() || !NeedsZip64Values(*record))
        return 0;
    Zip64Values values{};
    if (!ReadZip64Values(*record, extra, x, &values))
        return Zip64FieldTooShort;
    record->hasZip64Values = 1;
    return 0;
}

// Places the entry comment in the pool, behind the extra field, where
// CommentOf finds it: as stored when it is plain, else decoded straight into
// the pool. Without -r the comment is copied into the
// text buffer of TextBufferSize bytes; with -r into a work area as large.
int TakeComment(Walk* walk, const uint8_t* stored, size_t c, CentralRecord* record) {
    if (c == 0)
        return 0;
    if (c > LongestEntryComment && !Relaxed())
        return EntryCommentTooLong;
    if (!IsNonAsciiText(stored, c)) {
        return PlaceInPool(walk, stored, c) ? 0 : EntryCommentTooLong;
    }
    uint8_t fixed[TextBufferSize + TextPadding];
    uint8_t* text = fixed;
    if (c > LongestEntryComment) {
        std::vector<uint8_t>& work = walk->longTexts->work;
        work.resize(std::max(work.size(), c + TextPadding));
        text = work.data();
    }
    std::memcpy(text, stored, c);
    std::memset(text + c, 0, TextPadding);
    char* destination = walk->poolCursor;
    DecodedText decoded = DecodeNonAsciiText(text, c, text, destination, PoolRoom(walk));
    if (decoded.tooLong || decoded.length > LongestText)
        return EntryCommentTooLong;
    record->commentLength = static_cast<uint16_t>(decoded.length);
    record->commentConverted = 1;
    record->commentLossy = decoded.lossy;
    context.textNonAscii = 1;
    context.entryTextNonAscii = 1;
    walk->poolCursor += decoded.length + 1;
    return 0;
}

// Reads the central header at the walk's position as entry `index`.
int ReadCentralEntry(Walk* walk, size_t index) {
    if (walk->size - walk->position < CentralHeaderSize)
        return 83;
    int r = EnsureInWindow(walk->window, walk->position, CentralHeaderSize, walk->errorDetail);
    if (r != 0)
        return r;
    CentralRecord* record = &context.records[index];
    r = TakeHeaderFields(AtPosition(walk), record);
    if (r != 0)
        return r;

    const size_t n = record->nameLength;
    const size_t x = record->extraLength;
    const size_t c = record->commentLength;
    if (n == 0)
        return 81;
    if (n > StoredNameLimit && !Relaxed())
        return 82;
    if (CentralHeaderSize + n + x + c > walk->size - walk->position)
        return 83;

    r = EnsureInWindow(walk->window, walk->position, CentralHeaderSize + n + x + c,
                       walk->errorDetail);
    if (r != 0)
        return r;
    const uint8_t* name = AtPosition(walk) + CentralHeaderSize;
    r = TakeName(walk, name, n, record);
    if (r != 0)
        return r;
    r = TakeExtraField(walk, name + n, x);
    if (r != 0)
        return r;
    r = TakeZip64Values(name + n, x, record);
    if (r != 0)
        return r;
    r = TakeComment(walk, name + n + x, c, record);
    if (r != 0)
        return r;

    if (record->flags & FlagEncrypted)
        context.hasEncrypted = 1;
    walk->position += CentralHeaderSize + n + x + c;
    return 0;
}

// How many central headers the directory must hold: exactly `count`, or,
// where the count is taken from the directory, at least `count` and at most
// `capacity` (the tables' size).
struct HeaderCount {
    size_t count;
    size_t capacity;
    bool counted;
};

// Walks the directory header by header; bytes between headers are skipped.
// Stores the number of headers read in `found`.
int WalkDirectory(DirectoryWindow* directory, const HeaderCount& expected, size_t* found,
                  int* errorDetail) {
    LongTextAreas longTexts;
    Walk walk{directory, directory->size, 0, context.pool, errorDetail, &longTexts};
    const size_t count = expected.capacity;
    size_t index = 0;
    while (walk.position < walk.size) {
        if (walk.size - walk.position < 4) {
            ++walk.position;
            continue;
        }
        int r = EnsureInWindow(walk.window, walk.position, 4, errorDetail);
        if (r != 0)
            return r;
        if (!HasSignature(AtPosition(&walk), CentralHeaderSignature)) {
            ++walk.position;
            continue;
        }
        if (index == count)
            return MoreHeadersThanEntries;
        r = ReadCentralEntry(&walk, index);
        if (r != 0)
            return r;
        ++index;
    }
    if (index < expected.count)
        return FewerHeadersThanEntries;
    *found = index;
    return 0;
}

int32_t AsSigned(uint32_t value) {
    return static_cast<int32_t>(value);
}

// The directory as the end record gives it.
DirectoryExtent ExtentOfEndRecord(const EndRecord& end) {
    return DirectoryExtent{end.diskEntries, end.directorySize, end.directoryOffset};
}

// Takes the end record found into the context, and with -r the ZIP64 end
// record where a locator precedes it; fills context.directory. Returns 0, or
// the code of a refused record.
int TakeEndRecords(std::FILE* file, const FoundEndRecord& found, int* errorDetail) {
    char* commentText = context.endRecord.commentText;
    context.endRecord = found.record;
    context.endRecord.commentText = commentText;
    context.endRecordOffset = found.offset;
    std::memcpy(context.endRecordLead, found.lead, found.leadLength);
    context.endRecordLeadLength = found.leadLength;
    context.zip64LocatorPresent = found.zip64LocatorPresent;

    const EndRecord& end = context.endRecord;
    context.directory = ExtentOfEndRecord(end);
    if (!Relaxed() || !found.zip64LocatorPresent) {
        if (end.diskNumber != 0 || end.directoryDisk != 0)
            return 91;
        return 0;
    }
    int r = ReadZip64EndRecord(file, found, &context.zip64End, errorDetail);
    if (r != 0)
        return r;
    const Zip64EndRecord& z = context.zip64End;
    context.directory = DirectoryExtent{z.diskEntries, z.directorySize, Zip64DirectoryStart(z)};
    return 0;
}

// The headers the walk must find. With -r, an end record that counts 65,535
// entries without a ZIP64 locator before it counts the headers of the
// directory: 65,535 or more, as many as the directory holds (writers that
// do not write ZIP64 records stop the count there).
HeaderCount ExpectedHeaders() {
    const DirectoryExtent& d = context.directory;
    const bool counted =
        Relaxed() && !context.zip64LocatorPresent && context.endRecord.diskEntries == Zip64Marker16;
    if (!counted)
        return HeaderCount{static_cast<size_t>(d.entryCount), static_cast<size_t>(d.entryCount),
                           false};
    const size_t most = static_cast<size_t>(d.size / CentralHeaderSize);
    return HeaderCount{Zip64Marker16, std::max<size_t>(Zip64Marker16, most), true};
}

// Tables for more entries than an int counts (a record of 64 bytes and the
// texts of each, some 200 GB) are beyond any memory this tool runs in.
bool TablesFit(const HeaderCount& expected) {
    return expected.capacity <= static_cast<size_t>(INT32_MAX);
}

}  // namespace

int ReadArchiveDirectory(const char* path, int* entryCount, int* errorDetail) {
    // With -r the converters take every text whole, for the reader and the
    // rewrite after it.
    AllowLongTexts(Relaxed());
    OpenArchive archive;
    errno = 0;
    archive.file = OpenForReading(path);
    if (!archive.file) {
        *errorDetail = errno;
        return 6;
    }
    int64_t size = 0;
    if (!OpenFileSize(archive.file, &size) ||
        !OpenFileIdentity(archive.file, &context.archiveIdentity)) {
        *errorDetail = errno;
        return 7;
    }
    // Without -r, sizes, offsets and lengths are 32-bit signed quantities:
    // archives of 2 GiB or more are not read.
    if (size <= static_cast<int64_t>(EndRecordSize) || (size > LargestStrictArchive && !Relaxed()))
        return 8;

    FoundEndRecord found{};
    int r = FindEndRecordOf(archive.file, size, &found, errorDetail);
    if (r != 0)
        return r;
    r = TakeEndRecords(archive.file, found, errorDetail);
    if (r != 0)
        return r;
    if (context.directory.entryCount == 0)
        return 12;
    const bool badDirectory =
        !DirectoryFieldsAccepted(context.directory.offset, context.directory.size);
    r = ReadArchiveComment(archive.file, errorDetail);
    if (r != 0)
        return r;
    if (badDirectory)
        return 4;
    if (Relaxed() && !context.zip64End.present && DirectoryOffsetWrapped())
        return WrappedOffsets;

    // Checked before anything is allocated, so that a forged directory size
    // in a small file does not ask for gigabytes.
    if (!DirectoryInFile(size)) {
        *errorDetail = 0;
        return 20;
    }
    const HeaderCount expected = ExpectedHeaders();
    if (!TablesFit(expected)) {
        *errorDetail = ENOMEM;
        return 14;
    }
    DirectoryWindow directory;
    r = AllocateTables(expected.capacity, static_cast<size_t>(context.directory.size), &directory,
                       errorDetail);
    if (r != 0)
        return r;
    r = LoadDirectory(archive.file, &directory, errorDetail);
    if (r != 0)
        return r;
    size_t headers = 0;
    r = WalkDirectory(&directory, expected, &headers, errorDetail);
    if (r != 0)
        return r;
    if (entryCount)
        *entryCount = static_cast<int>(headers);
    return 0;
}

bool DirectoryFieldsAccepted(uint64_t offset, uint64_t size) {
    if (Relaxed())
        return offset >= 1 && size >= CentralHeaderSize;
    return AsSigned(static_cast<uint32_t>(offset)) >= 1 &&
           AsSigned(static_cast<uint32_t>(size)) >= static_cast<int32_t>(CentralHeaderSize);
}

int VersionRefusal(const CentralRecord& header) {
    if (!IsAcceptedMadeByVersion(header.madeByVersion))
        return 92;
    if (!IsAcceptedNeededVersion(header.neededVersion))
        return 93;
    return 0;
}
