#include "rewrite/archive_writer.h"

#include <algorithm>
#include <cstring>
#include <vector>

#include "archive/context.h"
#include "archive/records.h"
#include "archive/zip64_values.h"
#include "rewrite/extra_fields.h"
#include "rewrite/layout_check.h"
#include "rewrite/progress.h"
#include "rewrite/rewrite.h"

namespace {

// A local header with the longest name and extra field the format allows.
constexpr size_t HeaderBufferSize = LocalHeaderSize + 0xFFFF + 0xFFFF;
uint8_t headerBuffer[HeaderBufferSize];

// Flag bits a Shift-JIS name keeps: bit 11 (UTF-8) and all above it go.
constexpr uint16_t ShiftJisFlagMask = 0x07FF;
constexpr uint64_t ShortDescriptorSize = 12;
// A ZIP64 descriptor holds 8-byte sizes: 8 bytes more than we copy.
constexpr uint64_t Zip64DescriptorExcess = 8;
// The version needed to extract an entry with a ZIP64 field.
constexpr uint16_t Zip64NeededVersion = 45;
// A large entry is copied in pieces of this size, so that progress can be
// shown between them.
constexpr uint64_t DirectCopyPiece = uint64_t{64} << 20;

// The archive is read, and the new archive written, through two buffers, so
// that the many small pieces of an archive of small entries (headers, names,
// extra fields, descriptors, the directory) go in large transfers. Entry data
// too large to be worth buffering is copied directly.
constexpr uint64_t DirectCopyLeast = 256 * 1024;
uint8_t inputBuffer[TransferBufferSize];
uint8_t outputBuffer[TransferBufferSize];

struct Walk {
    FileHandle archive;
    FileHandle temp;
    uint64_t inputPosition;  // bytes of the archive taken so far
    uint64_t outputOffset;   // bytes of the new archive put so far
    int* errorDetail;
    size_t inputBegin;  // bytes of inputBuffer not yet taken: [inputBegin, inputEnd)
    size_t inputEnd;
    size_t outputUsed;  // bytes of outputBuffer not yet written
};

// Where each step's bytes start in outputBuffer, as offset << 8 | step code,
// so that a write that fails part way is the failure of the step it stopped
// in, as if every step had been written on its own. A mark is made only for
// a step of at least one byte, so the buffer's size bounds their number;
// only the marks made are ever touched.
uint32_t outputSteps[TransferBufferSize];
size_t outputStepCount = 0;

// What the rewrite uses of a local header.
struct LocalHeaderView {
    uint16_t flags;
    uint16_t nameLength;
    uint16_t extraLength;
    uint64_t compressedSize;  // with -r, a ZIP64 field's value where the header has 0xFFFFFFFF
    bool compressedSizeKnown;
};

int Failed(int code, int ioResult, int* errorDetail) {
    *errorDetail = ioResult > 0 ? ioResult : 0;
    return code;
}

// Refills the drained input buffer; a file that has nothing more fails the
// step `code` as a short transfer.
int RefillInput(Walk* walk, int code) {
    size_t got = 0;
    int r = ReadUpTo(walk->archive, inputBuffer, TransferBufferSize, &got);
    if (r == 0 && got == 0)
        r = ShortTransfer;
    if (r != 0)
        return Failed(code, r, walk->errorDetail);
    walk->inputBegin = 0;
    walk->inputEnd = got;
    return 0;
}

// Takes `length` bytes of the archive across refills of the input buffer.
int ReadStepAcross(Walk* walk, void* buffer, size_t length, int code) {
    uint8_t* out = static_cast<uint8_t*>(buffer);
    while (length > 0) {
        if (walk->inputBegin == walk->inputEnd) {
            int r = RefillInput(walk, code);
            if (r != 0)
                return r;
        }
        size_t piece = std::min(length, walk->inputEnd - walk->inputBegin);
        std::memcpy(out, inputBuffer + walk->inputBegin, piece);
        walk->inputBegin += piece;
        walk->inputPosition += piece;
        out += piece;
        length -= piece;
    }
    return 0;
}

// Takes the next `length` bytes of the archive. Most steps find them in the
// input buffer; only a refill goes out of line.
inline int ReadStep(Walk* walk, void* buffer, size_t length, int code) {
    if (length > walk->inputEnd - walk->inputBegin) [[unlikely]]
        return ReadStepAcross(walk, buffer, length, code);
    std::memcpy(buffer, inputBuffer + walk->inputBegin, length);
    walk->inputBegin += length;
    walk->inputPosition += length;
    return 0;
}

// The step whose bytes in outputBuffer include the byte at `offset`.
int StepAt(size_t offset) {
    int code = static_cast<int>(outputSteps[0] & 0xFF);
    for (size_t i = 0; i < outputStepCount; ++i) {
        uint32_t mark = outputSteps[i];
        if ((mark >> 8) > offset)
            break;
        code = static_cast<int>(mark & 0xFF);
    }
    return code;
}

// Writes out what the output buffer holds. A failure is the failure of the
// step in whose bytes the file stopped growing.
int FlushOutput(Walk* walk) {
    if (walk->outputUsed == 0)
        return 0;
    int r = WriteAll(walk->temp, outputBuffer, walk->outputUsed);
    if (r != 0) {
        uint64_t start = walk->outputOffset - walk->outputUsed;
        uint64_t size = start;
        FileSize(walk->temp, &size);
        size_t written = size > start ? static_cast<size_t>(size - start) : 0;
        return Failed(StepAt(written), r, walk->errorDetail);
    }
    walk->outputUsed = 0;
    outputStepCount = 0;
    return 0;
}

// Puts `length` bytes behind what the output buffer holds.
inline void BufferStep(Walk* walk, const void* bytes, size_t length, int code) {
    if (outputStepCount == 0 ||
        (outputSteps[outputStepCount - 1] & 0xFF) != static_cast<uint32_t>(code)) {
        outputSteps[outputStepCount++] = static_cast<uint32_t>(walk->outputUsed << 8 | code);
    }
    std::memcpy(outputBuffer + walk->outputUsed, bytes, length);
    walk->outputUsed += length;
    walk->outputOffset += length;
}

// A step that does not fit behind what the buffer holds: the buffer is
// written out first, and a step larger than the buffer goes straight to the
// file.
int WriteStepAfterFlush(Walk* walk, const void* bytes, size_t length, int code) {
    int r = FlushOutput(walk);
    if (r != 0)
        return r;
    if (length <= TransferBufferSize) {
        BufferStep(walk, bytes, length, code);
        return 0;
    }
    r = WriteAll(walk->temp, bytes, length);
    if (r != 0)
        return Failed(code, r, walk->errorDetail);
    walk->outputOffset += length;
    return 0;
}

inline int WriteStep(Walk* walk, const void* bytes, size_t length, int code) {
    if (length == 0)
        return 0;
    if (length > TransferBufferSize - walk->outputUsed) [[unlikely]]
        return WriteStepAfterFlush(walk, bytes, length, code);
    BufferStep(walk, bytes, length, code);
    return 0;
}

uint16_t NewFlags(uint16_t localFlags, const EntryPlan& entry) {
    if (!entry.nameChanges)
        return localFlags;
    if (context.targetEncoding == Utf8)
        return static_cast<uint16_t>(localFlags | FlagUtf8);
    return static_cast<uint16_t>(localFlags & ShiftJisFlagMask);
}

// Where the section after the i-th one must start.
uint64_t NextSectionStart(const RewritePlan& plan, int i) {
    if (i + 1 < plan.entryCount)
        return LocalHeaderOffsetOf(*context.order[i + 1]);
    return context.directory.offset;
}

// Reads the local header, its name and its extra field into headerBuffer.
int ReadLocalHeader(Walk* walk, LocalHeaderView* view) {
    int r = ReadStep(walk, headerBuffer, LocalHeaderSize, LocalHeaderReadFailed);
    if (r != 0)
        return r;
    if (ReadLe32(headerBuffer) != LocalHeaderSignature)
        return BadLocalSignature;
    view->flags = ReadLe16(headerBuffer + LocalFlagsOffset);
    view->nameLength = ReadLe16(headerBuffer + LocalNameLengthOffset);
    view->extraLength = ReadLe16(headerBuffer + LocalExtraLengthOffset);
    // Without -r ZIP64 sizes are refused; with it they are copied as read.
    const bool relaxed = context.relaxedVersions != 0;
    if (!relaxed && (ReadLe32(headerBuffer + LocalCompressedSizeOffset) == Zip64Marker32 ||
                     ReadLe32(headerBuffer + LocalUncompressedSizeOffset) == Zip64Marker32)) {
        return Zip64Unsupported;
    }
    uint8_t* name = headerBuffer + LocalHeaderSize;
    r = ReadStep(walk, name, view->nameLength, LocalNameReadFailed);
    if (r != 0)
        return r;
    uint8_t* extra = name + view->nameLength;
    r = ReadStep(walk, extra, view->extraLength, LocalExtraReadFailed);
    if (r != 0)
        return r;
    if (!relaxed && ExtraHasField(extra, view->extraLength, Zip64ExtraId))
        return Zip64Unsupported;
    view->compressedSizeKnown =
        ReadLocalCompressedSize(headerBuffer, extra, view->extraLength, &view->compressedSize);
    return 0;
}

// Writes the local header with the new flags, name and extra field. The
// name always comes from the plan, with its own length.
int WriteLocalHeader(Walk* walk, const RewritePlan& plan, EntryPlan* entry,
                     const LocalHeaderView& view) {
    uint8_t* extra = headerBuffer + LocalHeaderSize + view.nameLength;
    size_t kept = view.extraLength;
    if (HasUnicodeField(extra, kept)) {
        static char nameUtf8[Utf8FormRoom];
        static char commentUtf8[Utf8FormRoom];
        UnicodeFieldRule nameRule = UnicodeFieldRuleFor(
            entry->nameChanges, PlanBytes(plan, entry->name), entry->name.length, nameUtf8);
        UnicodeFieldRule commentRule =
            UnicodeFieldRuleFor(entry->commentChanges, PlanBytes(plan, entry->comment),
                                entry->comment.length, commentUtf8);
        kept = FilterUnicodeFields(extra, kept, nameRule, commentRule, extra);
    }

    entry->flags = NewFlags(view.flags, *entry);
    entry->localHeaderOffset = walk->outputOffset;
    entry->localExtraLength = static_cast<uint16_t>(kept);
    WriteLe16(headerBuffer + LocalFlagsOffset, entry->flags);
    WriteLe16(headerBuffer + LocalNameLengthOffset, static_cast<uint16_t>(entry->name.length));
    WriteLe16(headerBuffer + LocalExtraLengthOffset, static_cast<uint16_t>(kept));

    int r = WriteStep(walk, headerBuffer, LocalHeaderSize, LocalHeaderWriteFailed);
    if (r == 0) {
        r = WriteStep(walk, PlanBytes(plan, entry->name), entry->name.length, LocalNameWriteFailed);
    }
    if (r == 0)
        r = WriteStep(walk, extra, kept, LocalExtraWriteFailed);
    return r;
}

// Copies entry data: what the input buffer holds through the output buffer,
// a large rest directly from file to file, a small rest through both buffers.
int CopyEntryData(Walk* walk, uint64_t length) {
    while (length > 0) {
        if (walk->inputBegin == walk->inputEnd) {
            if (length >= DirectCopyLeast)
                break;
            int r = RefillInput(walk, DataReadFailed);
            if (r != 0)
                return r;
        }
        size_t piece =
            static_cast<size_t>(std::min<uint64_t>(length, walk->inputEnd - walk->inputBegin));
        int r = WriteStep(walk, inputBuffer + walk->inputBegin, piece, DataWriteFailed);
        if (r != 0)
            return r;
        walk->inputBegin += piece;
        walk->inputPosition += piece;
        length -= piece;
    }
    if (length == 0)
        return 0;
    int r = FlushOutput(walk);
    if (r != 0)
        return r;
    while (length > 0) {
        const uint64_t piece = std::min(length, DirectCopyPiece);
        CopySide side = CopySource;
        r = CopyBytes(walk->archive, walk->temp, piece, &side);
        if (r != 0) {
            return Failed(side == CopySource ? DataReadFailed : DataWriteFailed, r,
                          walk->errorDetail);
        }
        walk->inputPosition += piece;
        walk->outputOffset += piece;
        length -= piece;
        ShowProgress(walk->inputPosition);
    }
    return 0;
}

// Takes `length` bytes of the archive into `bytes` and puts them into the
// new archive, each half failing its own step.
int PassStep(Walk* walk, uint8_t* bytes, size_t length, int readCode, int writeCode) {
    int r = ReadStep(walk, bytes, length, readCode);
    return r != 0 ? r : WriteStep(walk, bytes, length, writeCode);
}

// How a descriptor's first four bytes are taken.
enum class DescriptorStart {
    Either,     // the signature where they hold it, else the CRC-32
    Crc,        // the CRC-32: the descriptor has no signature
    Signature,  // the signature, which must be there
};

// Copies a data descriptor: its first four bytes, then the CRC-32 where they
// were the signature, then its two sizes of `sizesLength` bytes together.
int CopyDescriptorParts(Walk* walk, DescriptorStart start, size_t sizesLength) {
    uint8_t bytes[16];
    int r = PassStep(walk, bytes, 4, DescriptorStartReadFailed, DescriptorStartWriteFailed);
    if (r != 0)
        return r;
    const bool signature = ReadLe32(bytes) == DescriptorSignature;
    if (start == DescriptorStart::Signature && !signature)
        return LayoutUnsupported;
    if (start != DescriptorStart::Crc && signature)
        r = PassStep(walk, bytes, 4, DescriptorCrcReadFailed, DescriptorCrcWriteFailed);
    if (r == 0) {
        r = PassStep(walk, bytes, sizesLength, DescriptorSizesReadFailed,
                     DescriptorSizesWriteFailed);
    }
    return r;
}

// Copies a data descriptor of 12 bytes, or 16 when it starts with its
// signature.
int CopyDescriptor(Walk* walk) {
    return CopyDescriptorParts(walk, DescriptorStart::Either, 8);
}

// With -r, a data descriptor fills the gap up to the next section: 12 bytes
// (CRC-32 and two 4-byte sizes) or 20 (two 8-byte sizes, ZIP64), each 4
// bytes longer with its signature in front, which must then be there. It is
// copied as read.
int CopyDescriptorToNext(Walk* walk, uint64_t next) {
    if (walk->inputPosition > next)
        return LayoutUnsupported;
    const uint64_t gap = next - walk->inputPosition;
    if (!IsCopiedDescriptorLength(gap))
        return LayoutUnsupported;
    const bool isSigned = gap % 8 == 0;
    const size_t sizesLength = static_cast<size_t>(gap) - (isSigned ? 8 : 4);
    return CopyDescriptorParts(walk, isSigned ? DescriptorStart::Signature : DescriptorStart::Crc,
                               sizesLength);
}

// A section must end exactly where the next one (or the directory) starts.
int CheckSectionEnd(const Walk& walk, uint64_t next, bool hasDescriptor) {
    if (walk.inputPosition == next)
        return 0;
    if (hasDescriptor && walk.inputPosition < next &&
        next - walk.inputPosition == Zip64DescriptorExcess) {
        return Zip64Unsupported;
    }
    return LayoutUnsupported;
}

int WriteLocalSection(Walk* walk, RewritePlan* plan, int i) {
    const CentralRecord& record = *context.order[i];
    EntryPlan* entry = &plan->entries[i];
    const bool relaxed = context.relaxedVersions != 0;
    if (!relaxed && walk->outputOffset > largestPlainOffset)
        return ArchiveTooLarge;
    LocalHeaderView view{};
    int r = ReadLocalHeader(walk, &view);
    if (r != 0)
        return r;

    bool hasDescriptor = (view.flags & FlagDataDescriptor) != 0;
    if (!hasDescriptor && !view.compressedSizeKnown)
        return LayoutUnsupported;
    uint64_t dataLength =
        hasDescriptor ? Zip64ValuesOf(record).compressedSize : view.compressedSize;
    uint64_t next = NextSectionStart(*plan, i);
    uint64_t leastEnd =
        walk->inputPosition + dataLength + (hasDescriptor ? ShortDescriptorSize : 0);
    if (leastEnd > next)
        return LayoutUnsupported;

    entry->dataLength = dataLength;
    r = WriteLocalHeader(walk, *plan, entry, view);
    // The central extra field, with the ZIP64 field its new offset may add,
    // must still fit its 16-bit length.
    if (r == 0 && NewCentralExtraLength(record, *entry) > 0xFFFF)
        r = TargetTextTooLong;
    if (r == 0)
        r = CopyEntryData(walk, dataLength);
    if (r == 0 && hasDescriptor)
        r = relaxed ? CopyDescriptorToNext(walk, next) : CopyDescriptor(walk);
    if (r == 0)
        r = CheckSectionEnd(*walk, next, hasDescriptor);
    ShowProgress(walk->inputPosition);
    return r;
}

}  // namespace

uint8_t* IdleInputBuffer() {
    return inputBuffer;
}

size_t StoreNewZip64Field(const CentralRecord& record, const EntryPlan& entry, uint8_t* bytes) {
    const bool offsetWide = entry.localHeaderOffset > largestPlainOffset;
    if (!record.hasZip64Values && !offsetWide)
        return 0;
    const Zip64Values values = Zip64ValuesOf(record);
    size_t at = 4;
    auto put64 = [&](uint64_t value) {
        WriteLe32(bytes + at, static_cast<uint32_t>(value));
        WriteLe32(bytes + at + 4, static_cast<uint32_t>(value >> 32));
        at += 8;
    };
    if (record.uncompressedSize == Zip64Marker32)
        put64(values.uncompressedSize);
    if (record.compressedSize == Zip64Marker32)
        put64(values.compressedSize);
    if (offsetWide)
        put64(entry.localHeaderOffset);
    if (record.diskNumberStart == Zip64Marker16) {
        WriteLe32(bytes + at, values.diskNumberStart);
        at += 4;
    }
    if (at == 4)
        return 0;
    WriteLe16(bytes, Zip64FieldId);
    WriteLe16(bytes + 2, static_cast<uint16_t>(at - 4));
    return at;
}

size_t NewCentralExtraLength(const CentralRecord& record, const EntryPlan& entry) {
    uint8_t field[NewZip64FieldRoom];
    return StoreNewZip64Field(record, entry, field) + entry.centralExtra.length;
}

uint16_t NewNeededVersion(const CentralRecord& record, size_t zip64FieldLength) {
    const uint16_t needed = record.neededVersion;
    if (zip64FieldLength == 0 || (needed & 0xFF) >= Zip64NeededVersion)
        return needed;
    return static_cast<uint16_t>((needed & 0xFF00) | Zip64NeededVersion);
}

bool IsCopiedDescriptorLength(uint64_t length) {
    return length == 12 || length == 16 ||
           (context.relaxedVersions && (length == 20 || length == 24));
}

uint32_t StoredOffset(uint64_t offset) {
    return offset > largestPlainOffset ? Zip64Marker32 : static_cast<uint32_t>(offset);
}

void StoreNewCentralHeader(const CentralRecord& record, const EntryPlan& entry,
                           size_t zip64FieldLength, uint8_t* bytes) {
    CentralRecord header = record;
    header.neededVersion = NewNeededVersion(record, zip64FieldLength);
    header.flags = entry.flags;
    header.nameLength = static_cast<uint16_t>(entry.name.length);
    header.extraLength = static_cast<uint16_t>(zip64FieldLength + entry.centralExtra.length);
    header.commentLength = static_cast<uint16_t>(entry.comment.length);
    header.localHeaderOffset = StoredOffset(entry.localHeaderOffset);
    StoreCentralHeader(header, bytes);
}

namespace {

int WriteCentralHeader(Walk* walk, const RewritePlan& plan, int i) {
    const CentralRecord& record = PlannedRecordOf(i);
    const EntryPlan& entry = plan.entries[i];
    uint8_t field[NewZip64FieldRoom];
    const size_t fieldLength = StoreNewZip64Field(record, entry, field);
    uint8_t bytes[CentralHeaderSize];
    StoreNewCentralHeader(record, entry, fieldLength, bytes);

    int r = WriteStep(walk, bytes, CentralHeaderSize, CentralHeaderWriteFailed);
    if (r == 0) {
        r = WriteStep(walk, PlanBytes(plan, entry.name), entry.name.length, CentralNameWriteFailed);
    }
    if (r == 0)
        r = WriteStep(walk, field, fieldLength, CentralExtraWriteFailed);
    if (r == 0) {
        r = WriteStep(walk, PlanBytes(plan, entry.centralExtra), entry.centralExtra.length,
                      CentralExtraWriteFailed);
    }
    if (r == 0) {
        r = WriteStep(walk, PlanBytes(plan, entry.comment), entry.comment.length,
                      EntryCommentWriteFailed);
    }
    return r;
}

// The last bytes of the new directory (up to EndRecordLeadSize), as the
// last entry's central header, name, extra field and comment end it.
size_t DirectoryEnd(const RewritePlan& plan, uint8_t* lead) {
    if (plan.entryCount == 0)
        return 0;
    const EntryPlan& last = plan.entries[plan.entryCount - 1];
    const CentralRecord& record = PlannedRecordOf(plan.entryCount - 1);
    uint8_t field[NewZip64FieldRoom];
    const size_t fieldLength = StoreNewZip64Field(record, last, field);
    uint8_t header[CentralHeaderSize];
    StoreNewCentralHeader(record, last, fieldLength, header);
    std::vector<uint8_t> tail(header, header + CentralHeaderSize);
    const uint8_t* name = PlanBytes(plan, last.name);
    tail.insert(tail.end(), name, name + last.name.length);
    tail.insert(tail.end(), field, field + fieldLength);
    for (ArenaText text : {last.centralExtra, last.comment}) {
        const uint8_t* bytes = PlanBytes(plan, text);
        tail.insert(tail.end(), bytes, bytes + text.length);
    }
    size_t length = std::min(tail.size(), EndRecordLeadSize);
    std::memcpy(lead, tail.data() + tail.size() - length, length);
    return length;
}

// The ZIP64 end record (size field 44, versions 45, no extensible data) and
// the locator that points at it, at `offset`, into plan->zip64Records.
void StoreZip64Records(RewritePlan* plan, uint64_t offset, uint64_t directorySize) {
    uint8_t* b = plan->zip64Records;
    auto put64 = [](uint8_t* p, uint64_t value) {
        WriteLe32(p, static_cast<uint32_t>(value));
        WriteLe32(p + 4, static_cast<uint32_t>(value >> 32));
    };
    const uint64_t count = static_cast<uint64_t>(plan->entryCount);
    WriteLe32(b, Zip64EndSignature);
    put64(b + 4, Zip64EndLeastSize);
    WriteLe16(b + 12, Zip64NeededVersion);
    WriteLe16(b + 14, Zip64NeededVersion);
    WriteLe32(b + 16, 0);
    WriteLe32(b + 20, 0);
    put64(b + 24, count);
    put64(b + 32, count);
    put64(b + 40, directorySize);
    put64(b + 48, plan->directoryOffset);
    uint8_t* locator = b + Zip64EndSize;
    WriteLe32(locator, Zip64LocatorSignature);
    WriteLe32(locator + 4, 0);
    put64(locator + 8, offset);
    WriteLe32(locator + 16, 1);
}

// The 32-bit end record's fields: the true values where they fit, the ZIP64
// markers where they do not. Without -r the entry counts stay as read.
void FillEndRecordFields(const RewritePlan& plan, uint64_t directorySize, EndRecord* end) {
    if (context.relaxedVersions) {
        const auto count = static_cast<uint64_t>(plan.entryCount);
        const uint16_t stored =
            count > Zip64Marker16 ? Zip64Marker16 : static_cast<uint16_t>(count);
        end->diskEntries = stored;
        end->totalEntries = stored;
    }
    end->directorySize = StoredOffset(directorySize);
    end->directoryOffset = StoredOffset(plan.directoryOffset);
    end->commentLength = static_cast<uint16_t>(plan.archiveComment.length);
}

int WriteEndRecord(Walk* walk, RewritePlan* plan, uint64_t directoryOffset) {
    uint64_t directorySize = walk->outputOffset - directoryOffset;
    const bool relaxed = context.relaxedVersions != 0;
    if (!relaxed && directorySize > largestPlainOffset)
        return ArchiveTooLarge;
    plan->directoryOffset = directoryOffset;
    const bool zip64 =
        relaxed && (plan->entryCount > Zip64Marker16 || directoryOffset > largestPlainOffset ||
                    directorySize > largestPlainOffset);
    EndRecord end = context.endRecord;
    FillEndRecordFields(*plan, directorySize, &end);
    uint8_t* bytes = plan->endRecord;
    StoreEndRecord(end, bytes);
    uint8_t lead[EndRecordLeadSize];
    size_t leadLength = 0;
    if (zip64) {
        plan->zip64EndOffset = walk->outputOffset;
        StoreZip64Records(plan, walk->outputOffset, directorySize);
        leadLength = EndRecordLeadSize;
        std::memcpy(lead, plan->zip64Records + sizeof plan->zip64Records - leadLength, leadLength);
    } else {
        leadLength = DirectoryEnd(*plan, lead);
        // With -r the reader would take a locator signature right before the
        // end record for a ZIP64 locator that is not there.
        if (relaxed && leadLength >= Zip64LocatorSize &&
            ReadLe32(lead + leadLength - Zip64LocatorSize) == Zip64LocatorSignature) {
            return LayoutUnsupported;
        }
    }
    const uint8_t* comment = PlanBytes(*plan, plan->archiveComment);
    if (!EndRecordFoundWhereWritten(lead, leadLength, bytes, comment,
                                    plan->archiveComment.length)) {
        return LayoutUnsupported;
    }
    int r = 0;
    if (zip64) {
        r = WriteStep(walk, plan->zip64Records, sizeof plan->zip64Records, EndRecordWriteFailed);
    }
    plan->endRecordOffset = walk->outputOffset;
    if (r == 0)
        r = WriteStep(walk, bytes, EndRecordSize, EndRecordWriteFailed);
    if (r == 0) {
        r = WriteStep(walk, comment, plan->archiveComment.length, ArchiveCommentWriteFailed);
    }
    return r;
}

// The local sections in file order, then the directory and the end records.
int WriteSections(RewritePlan* plan, Walk* walk) {
    int r = 0;
    for (int i = 0; i < plan->entryCount && r == 0; ++i)
        r = WriteLocalSection(walk, plan, i);
    if (r == 0 && plan->entryCount == 0 && context.endRecord.directoryOffset != 0) {
        r = LayoutUnsupported;
    }
    if (r != 0)
        return r;

    uint64_t directoryOffset = walk->outputOffset;
    if (!context.relaxedVersions && directoryOffset > largestPlainOffset)
        return ArchiveTooLarge;
    for (int i = 0; i < plan->entryCount && r == 0; ++i) {
        r = WriteCentralHeader(walk, *plan, i);
    }
    if (r == 0)
        r = WriteEndRecord(walk, plan, directoryOffset);
    if (r == 0)
        r = FlushOutput(walk);
    return r;
}

}  // namespace

int WriteNewArchive(RewritePlan* plan, FileHandle archive, FileHandle temp, int* errorDetail) {
    Walk walk{archive, temp, 0, 0, errorDetail, 0, 0, 0};
    outputStepCount = 0;
    StartProgress(context.archiveIdentity.size);
    int r = WriteSections(plan, &walk);
    if (r == 0)
        ShowProgress(context.archiveIdentity.size);
    EndProgress();
    return r;
}
