#include "rewrite/layout_check.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "archive/context.h"
#include "archive/records.h"
#include "archive/zip64_values.h"
#include "rewrite/extra_fields.h"
#include "rewrite/rewrite.h"

uint64_t largestPlainOffset = LargestStoredOffset;

namespace {

// An entry count of 65,535 is a ZIP64 marker only when a ZIP64 locator
// precedes the end record; without one it is the true count of an archive of
// exactly 65,535 entries.
bool EndRecordIsZip64(const EndRecord& end) {
    if (end.directorySize == Zip64Marker32 || end.directoryOffset == Zip64Marker32)
        return true;
    const bool countMarked = end.diskEntries == Zip64Marker16 || end.totalEntries == Zip64Marker16;
    return countMarked && context.zip64LocatorPresent;
}

bool RecordIsZip64(const CentralRecord& record) {
    if (record.compressedSize == Zip64Marker32 || record.uncompressedSize == Zip64Marker32 ||
        record.localHeaderOffset == Zip64Marker32) {
        return true;
    }
    return record.extraLength > 0 &&
           ExtraHasField(reinterpret_cast<const uint8_t*>(ExtraOf(&record)), record.extraLength,
                         Zip64ExtraId);
}

// Offsets strictly ascending from 0, every local header before the
// directory: anything else means a stub, shared or out-of-order sections.
bool OffsetsTileFromStart(int entryCount) {
    const uint64_t directoryStart = context.directory.offset;
    uint64_t previous = 0;
    for (int i = 0; i < entryCount; ++i) {
        const uint64_t offset = LocalHeaderOffsetOf(*context.order[i]);
        if (i == 0 && offset != 0)
            return false;
        if (i > 0 && offset <= previous)
            return false;
        if (offset > directoryStart || directoryStart - offset < LocalHeaderSize)
            return false;
        previous = offset;
    }
    return true;
}

}  // namespace

int CheckDirectoryLayout(int entryCount) {
    // More entries than the end record can count need ZIP64 records, which
    // only -r writes.
    if (!context.relaxedVersions) {
        if (EndRecordIsZip64(context.endRecord) || entryCount > Zip64Marker16)
            return Zip64Unsupported;
        for (int i = 0; i < entryCount; ++i) {
            if (RecordIsZip64(*context.order[i]))
                return Zip64Unsupported;
        }
    }
    // A stub before the archive, found through its ZIP64 end record.
    if (context.zip64End.stubLength != 0 || !OffsetsTileFromStart(entryCount))
        return LayoutUnsupported;
    return CheckDirectoryEndsBeforeEndRecord();
}

// The directory as the reader took it: from the end record, or with -r from
// the ZIP64 end record, which then stands between the directory and the end
// record.
int CheckDirectoryEndsBeforeEndRecord() {
    const DirectoryExtent& d = context.directory;
    if (context.endRecordOffset < 0)
        return LayoutUnsupported;
    const uint64_t limit = context.zip64End.present
                               ? context.zip64End.offset
                               : static_cast<uint64_t>(context.endRecordOffset);
    if (d.offset > limit || d.size > limit - d.offset)
        return LayoutUnsupported;
    return 0;
}

bool EndRecordFoundWhereWritten(const uint8_t* lead, size_t leadLength, const uint8_t* record,
                                const uint8_t* comment, size_t commentLength) {
    std::vector<uint8_t> tail(leadLength + EndRecordSize + commentLength);
    std::memcpy(tail.data(), lead, leadLength);
    std::memcpy(tail.data() + leadLength, record, EndRecordSize);
    if (commentLength > 0)
        std::memcpy(tail.data() + leadLength + EndRecordSize, comment, commentLength);
    auto signatureAt = [&tail](size_t p) {
        return ReadLe32(tail.data() + p) == EndRecordSignature;
    };
    // No signature after the record's start with 22 bytes behind it.
    for (size_t p = leadLength + 1; p + EndRecordSize <= tail.size(); ++p) {
        if (signatureAt(p))
            return false;
    }
    // None in the window's part before the record.
    size_t behind = EndRecordSize + commentLength;
    size_t windowLead = (behind + EndRecordSize - 1) / EndRecordSize * EndRecordSize - behind;
    for (size_t p = leadLength - std::min(windowLead, leadLength); p < leadLength; ++p) {
        if (signatureAt(p))
            return false;
    }
    return true;
}
