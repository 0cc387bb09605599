// The bytes are two control bytes and an archive, which is read and rewritten
// the way the command line does it. Control byte 0: bit 0 picks the target
// (Shift-JIS or UTF-8), bit 1 asks for a backup, bit 2 makes an injected
// fault a short transfer rather than an I/O error, bit 3 reads any version
// (-r). Control byte 1: with its
// top bit set, the I/O operation numbered by its low bits (plus one) fails.
#include <cerrno>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "app/run_sequence.h"
#include "archive/context.h"
#include "archive/reader.h"
#include "archive/records.h"
#include "archive/zip64_values.h"
#include "fuzz_support.h"
#include "platform/console.h"
#include "platform/fileio.h"
#include "rewrite/rewrite.h"

namespace {

// An entry's data as its local header and the directory place it.
struct DataRange {
    uint64_t at = 0;
    uint64_t length = 0;
};

// The data ranges of the entries in the context, in directory order, located
// in `bytes` (the archive the context was read from).
std::vector<DataRange> DataRanges(const std::string& bytes, int entryCount) {
    std::vector<DataRange> ranges;
    for (int i = 0; i < entryCount; ++i) {
        const CentralRecord& record = context.records[i];
        const Zip64Values values = Zip64ValuesOf(record);
        uint64_t header = values.localHeaderOffset;
        FUZZ_CHECK(header + LocalHeaderSize <= bytes.size());
        const auto* p = reinterpret_cast<const uint8_t*>(bytes.data()) + header;
        DataRange range;
        range.at = header + LocalHeaderSize + ReadLe16(p + 26) + ReadLe16(p + 28);
        FUZZ_CHECK(range.at <= bytes.size());
        // With a data descriptor (bit 3 of the local flags) the local sizes
        // may be zero; the directory's size holds. With -r a local size of
        // 0xFFFFFFFF stands in the local ZIP64 field.
        if (ReadLe16(p + 6) & 0x0008) {
            range.length = values.compressedSize;
        } else {
            const auto* extra = p + LocalHeaderSize + ReadLe16(p + 26);
            FUZZ_CHECK(ReadLocalCompressedSize(p, extra, ReadLe16(p + 28), &range.length));
        }
        FUZZ_CHECK(range.length <= bytes.size() - range.at);
        ranges.push_back(range);
    }
    return ranges;
}

// Entries whose comment was stored with at least one byte. A converted
// comment counts even when its held form is empty.
int StoredComments(int entryCount) {
    int count = 0;
    for (int i = 0; i < entryCount; ++i) {
        const CentralRecord& record = context.records[i];
        count += record.commentLength > 0 || record.commentConverted ? 1 : 0;
    }
    return count;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 2)
        return 0;
    static const std::string archive = ScratchFolder() + "/a.zip";
    static const std::string temp = archive + ".temp";
    static const std::string backup = archive + ".back";
    const std::string original(reinterpret_cast<const char*>(data) + 2, size - 2);
    WriteWholeFile(archive, data + 2, size - 2);
    RemoveFile(backup.c_str());

    ResetArchiveContext();
    context.archivePath = archive;
    context.targetEncoding = (data[0] & 1) ? Utf8 : ShiftJis;
    context.makeBackup = (data[0] & 2) ? 1 : 0;
    context.suppressReport = 1;
    context.relaxedVersions = (data[0] & 8) ? 1 : 0;
    const bool faulty = (data[1] & 0x80) != 0;
    if (faulty)
        ArmFileFault(FileOpAll & ~FileOpRemove, (data[1] & 0x7F) + 1,
                     (data[0] & 4) ? ShortTransfer : EIO);
    std::string console;
    RedirectConsoleOutput(&console);
    int r = RunArchiveStages();
    RedirectConsoleOutput(nullptr);
    const bool injected = InjectedFaultKind() != 0;
    DisarmFileFault();

    FUZZ_CHECK(!FileExists(temp));
    bool exists = false;
    const std::string after = ReadWholeFile(archive, &exists);
    FUZZ_CHECK(exists);
    // A new archive that does not read back as written is a fault of the
    // writer (or of the read-back) unless a fault was injected.
    FUZZ_CHECK(r != NewArchiveMisread || injected);
    if (r != 0 || injected) {
        FUZZ_CHECK(r != 0);
        FUZZ_CHECK(after == original);
        ResetArchiveContext();
        return 0;
    }
    if (after == original) {
        ResetArchiveContext();
        return 0;  // nothing to rewrite
    }
    if (context.makeBackup)
        FUZZ_CHECK(ReadWholeFile(backup) == original);
    const auto entryCount = static_cast<int>(context.directory.entryCount);
    const bool utf8Target = context.targetEncoding == Utf8;
    const bool wholeArchive = context.entryTextNonAscii != 0;
    const auto endRecordOffset = static_cast<size_t>(context.endRecordOffset);
    // Only the end record and comment change: everything before them stays.
    if (!wholeArchive)
        FUZZ_CHECK(after.compare(0, endRecordOffset, original, 0, endRecordOffset) == 0);
    const std::vector<DataRange> before =
        wholeArchive ? DataRanges(original, entryCount) : std::vector<DataRange>{};

    // A success never stores a comment empty that was not.
    const int commentsBefore = StoredComments(entryCount);
    const bool archiveCommentBefore = context.endRecord.commentLength > 0;

    // The new archive reads back with the same entries holding the same data.
    const int relaxedVersions = context.relaxedVersions;
    ResetArchiveContext();
    context.relaxedVersions = relaxedVersions;  // read back with the same switches
    int newCount = -1;
    int errorDetail = 0;
    r = ReadArchiveDirectory(archive.c_str(), &newCount, &errorDetail);
    // UTF-8 may store a name or comment longer than the reader accepts
    // (names up to 639 bytes against 280); such an archive is not read back.
    if (utf8Target && (r == 82 || r == ArchiveCommentTooLong || r == EntryCommentTooLong)) {
        ResetArchiveContext();
        return 0;
    }
    FUZZ_CHECK(r == 0);
    FUZZ_CHECK(newCount == entryCount);
    FUZZ_CHECK(StoredComments(newCount) == commentsBefore);
    FUZZ_CHECK((context.endRecord.commentLength > 0) == archiveCommentBefore);
    const std::vector<DataRange> now = wholeArchive ? DataRanges(after, newCount) : before;
    for (size_t i = 0; i < before.size(); ++i) {
        FUZZ_CHECK(now[i].length == before[i].length);
        FUZZ_CHECK(
            after.compare(now[i].at, now[i].length, original, before[i].at, before[i].length) == 0);
    }
    ResetArchiveContext();
    return 0;
}
