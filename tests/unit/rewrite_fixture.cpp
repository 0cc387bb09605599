#include "unit/rewrite_fixture.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "app/run_sequence.h"
#include "archive/crc32.h"
#include "archive/records.h"
#include "jcode/sjis_utf8.h"
#include "platform/file.h"
#include "support/zip_builder.h"

namespace {

const uint8_t* At(const std::string& bytes, size_t offset) {
    return reinterpret_cast<const uint8_t*>(bytes.data()) + offset;
}

bool HasNonAscii(const std::string& text) {
    return std::any_of(text.begin(), text.end(),
                       [](char c) { return static_cast<uint8_t>(c) >= 0x80; });
}

// Copies `text` and a zero byte into the pool; returns where it starts.
char* PoolAppend(char** cursor, const std::string& text) {
    char* start = *cursor;
    std::memcpy(start, text.data(), text.size());
    start[text.size()] = '\0';
    *cursor += text.size() + 1;
    return start;
}

size_t FindEndRecord(const std::string& bytes) {
    for (size_t at = bytes.size() - EndRecordSize + 1; at-- > 0;) {
        if (GetLe32(bytes, at) == EndRecordSignature)
            return at;
    }
    return std::string::npos;
}

}  // namespace

int LoadIntoContext(const std::string& bytes, const std::string& path, const HeldArchive& held,
                    NameEncoding target) {
    ResetArchiveContext();
    context.archivePath = path;
    context.targetEncoding = target;
    context.nameEncoding = held.nameEncoding;

    size_t endAt = FindEndRecord(bytes);
    LoadEndRecord(At(bytes, endAt), &context.endRecord);
    context.endRecord.commentText = context.commentBuffer;
    context.endRecordOffset = static_cast<int64_t>(endAt);
    context.directory =
        DirectoryExtent{context.endRecord.diskEntries, context.endRecord.directorySize,
                        context.endRecord.directoryOffset};
    size_t lead = std::min(endAt, EndRecordLeadSize);
    std::memcpy(context.endRecordLead, bytes.data() + endAt - lead, lead);
    context.endRecordLeadLength = static_cast<uint8_t>(lead);
    std::string storedComment =
        bytes.substr(endAt + EndRecordSize, context.endRecord.commentLength);
    std::string comment = held.comment.value_or(storedComment);
    std::memcpy(context.commentBuffer, comment.data(), comment.size());
    context.commentLossy = held.commentLossy;

    int count = context.endRecord.diskEntries;
    size_t alloc = count > 0 ? static_cast<size_t>(count) : 1;
    context.records = static_cast<CentralRecord*>(std::calloc(alloc, sizeof(CentralRecord)));
    context.order = static_cast<CentralRecord**>(std::calloc(alloc, sizeof(CentralRecord*)));
    context.poolSize = bytes.size() * 3 + 1024 * alloc;
    for (const HeldEntry& e : held.entries) {
        context.poolSize += e.name.value_or("").size() + e.comment.value_or("").size();
    }
    context.pool = static_cast<char*>(std::calloc(context.poolSize, 1));

    char* cursor = context.pool;
    size_t at = context.endRecord.directoryOffset;
    bool entryNonAscii = false;
    for (int i = 0; i < count; ++i) {
        CentralRecord* r = &context.records[i];
        LoadCentralHeader(At(bytes, at), r);
        std::string name = bytes.substr(at + CentralHeaderSize, r->nameLength);
        std::string extra = bytes.substr(at + CentralHeaderSize + r->nameLength, r->extraLength);
        std::string stored =
            bytes.substr(at + CentralHeaderSize + r->nameLength + r->extraLength, r->commentLength);
        at += CentralHeaderSize + r->nameLength + r->extraLength + r->commentLength;
        HeldEntry h = i < static_cast<int>(held.entries.size()) ? held.entries[i] : HeldEntry{};
        entryNonAscii = entryNonAscii || HasNonAscii(name) || HasNonAscii(stored) ||
                        h.nameConverted || h.commentConverted;
        r->storedNameLength = r->nameLength;
        std::string shownName = h.name.value_or(name);
        std::string shownComment = h.comment.value_or(stored);
        r->name = PoolAppend(&cursor, shownName);
        PoolAppend(&cursor, name);  // the stored name, right behind the held one
        r->storedNameApart = 1;
        r->nameLength = static_cast<uint16_t>(shownName.size());
        if (r->extraLength > 0)
            PoolAppend(&cursor, extra);  // where ExtraOf finds it
        if (!shownComment.empty())
            PoolAppend(&cursor, shownComment);  // where CommentOf finds it
        r->commentLength = static_cast<uint16_t>(shownComment.size());
        r->nameConverted = h.nameConverted;
        r->commentConverted = h.commentConverted;
        r->nameLossy = h.nameLossy;
        r->commentLossy = h.commentLossy;
        context.order[i] = r;
    }
    context.entryTextNonAscii = entryNonAscii ? 1 : 0;
    context.textNonAscii = entryNonAscii || HasNonAscii(comment) ? 1 : 0;
    int sortDetail = 0;
    SortRecordOrder(count, &sortDetail);
    // The file at `path` as the reader would have found it.
    if (std::FILE* file = OpenForReading(path.c_str())) {
        OpenFileIdentity(file, &context.archiveIdentity);
        std::fclose(file);
    }
    return count;
}

ParsedZip ParseZip(const std::string& bytes) {
    ParsedZip zip;
    size_t endAt = bytes.size() >= EndRecordSize ? FindEndRecord(bytes) : std::string::npos;
    if (endAt == std::string::npos) {
        zip.error = "no end record";
        return zip;
    }
    uint16_t commentLength = GetLe16(bytes, endAt + 20);
    if (endAt + EndRecordSize + commentLength != bytes.size()) {
        zip.error = "the file does not end with the archive comment";
        return zip;
    }
    zip.comment = bytes.substr(endAt + EndRecordSize);
    zip.diskEntries = GetLe16(bytes, endAt + 8);
    zip.totalEntries = GetLe16(bytes, endAt + 10);
    zip.directorySize = GetLe32(bytes, endAt + 12);
    zip.directoryOffset = GetLe32(bytes, endAt + 16);
    if (zip.directoryOffset + static_cast<uint64_t>(zip.directorySize) != endAt) {
        zip.error = "the central directory does not end at the end record";
        return zip;
    }
    size_t at = zip.directoryOffset;
    for (int i = 0; i < zip.diskEntries; ++i) {
        if (at + CentralHeaderSize > endAt || GetLe32(bytes, at) != CentralHeaderSignature) {
            zip.error = "bad central header " + std::to_string(i);
            return zip;
        }
        ParsedEntry e;
        uint16_t nameLength = GetLe16(bytes, at + 28);
        uint16_t extraLength = GetLe16(bytes, at + 30);
        uint16_t entryCommentLength = GetLe16(bytes, at + 32);
        e.flags = GetLe16(bytes, at + 8);
        e.crc32 = GetLe32(bytes, at + 16);
        e.compressedSize = GetLe32(bytes, at + 20);
        e.localHeaderOffset = GetLe32(bytes, at + 42);
        e.name = bytes.substr(at + CentralHeaderSize, nameLength);
        e.extra = bytes.substr(at + CentralHeaderSize + nameLength, extraLength);
        e.comment =
            bytes.substr(at + CentralHeaderSize + nameLength + extraLength, entryCommentLength);
        at += CentralHeaderSize + nameLength + extraLength + entryCommentLength;
        zip.entries.push_back(e);
    }
    if (at != endAt) {
        zip.error = "bytes between the central headers and the end record";
        return zip;
    }
    std::vector<ParsedEntry*> byOffset;
    for (ParsedEntry& e : zip.entries)
        byOffset.push_back(&e);
    std::sort(byOffset.begin(), byOffset.end(), [](const ParsedEntry* a, const ParsedEntry* b) {
        return a->localHeaderOffset < b->localHeaderOffset;
    });
    size_t position = 0;
    for (ParsedEntry* e : byOffset) {
        size_t lh = e->localHeaderOffset;
        if (lh != position || lh + LocalHeaderSize > zip.directoryOffset ||
            GetLe32(bytes, lh) != LocalHeaderSignature) {
            zip.error = "local header of " + e->name + " not where the last section ended";
            return zip;
        }
        e->localFlags = GetLe16(bytes, lh + 6);
        uint16_t nameLength = GetLe16(bytes, lh + 26);
        uint16_t extraLength = GetLe16(bytes, lh + 28);
        e->localName = bytes.substr(lh + LocalHeaderSize, nameLength);
        e->localExtra = bytes.substr(lh + LocalHeaderSize + nameLength, extraLength);
        bool descriptor = (e->localFlags & FlagDataDescriptor) != 0;
        size_t dataAt = lh + LocalHeaderSize + nameLength + extraLength;
        size_t length = descriptor ? e->compressedSize : GetLe32(bytes, lh + 18);
        if (dataAt + length > zip.directoryOffset) {
            zip.error = "data of " + e->name + " runs into the directory";
            return zip;
        }
        e->data = bytes.substr(dataAt, length);
        position = dataAt + length;
        if (descriptor) {
            size_t size = GetLe32(bytes, position) == DescriptorSignature ? 16 : 12;
            e->descriptor = bytes.substr(position, size);
            position += size;
        } else if (GetLe32(bytes, lh + 14) != e->crc32) {
            zip.error = "local CRC-32 of " + e->name + " differs";
            return zip;
        }
        if (Crc32(0, e->data.data(), e->data.size()) != e->crc32) {
            zip.error = "data of " + e->name + " does not match its CRC-32";
            return zip;
        }
    }
    if (position != zip.directoryOffset)
        zip.error = "gap before the central directory";
    return zip;
}

bool HaveRealUtf8Converter() {
    return ToUtf8("\x82\xA0") == "\xE3\x81\x82";
}

std::string ToUtf8(const std::string& shiftJis) {
    static char output[65536];
    int length = 0;
    if (ShiftJisToUtf8(shiftJis.c_str(), output, sizeof output, &length, NewlineCrLf) < 0) {
        return "<not convertible>";
    }
    return std::string(output, static_cast<size_t>(length));
}
