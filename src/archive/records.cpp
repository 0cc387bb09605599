#include "archive/records.h"

void LoadEndRecord(const uint8_t* bytes, EndRecord* record) {
    record->signature = ReadLe32(bytes + 0);
    record->diskNumber = ReadLe16(bytes + 4);
    record->directoryDisk = ReadLe16(bytes + 6);
    record->diskEntries = ReadLe16(bytes + 8);
    record->totalEntries = ReadLe16(bytes + 10);
    record->directorySize = ReadLe32(bytes + 12);
    record->directoryOffset = ReadLe32(bytes + 16);
    record->commentLength = ReadLe16(bytes + 20);
}

void StoreEndRecord(const EndRecord& record, uint8_t* bytes) {
    WriteLe32(bytes + 0, record.signature);
    WriteLe16(bytes + 4, record.diskNumber);
    WriteLe16(bytes + 6, record.directoryDisk);
    WriteLe16(bytes + 8, record.diskEntries);
    WriteLe16(bytes + 10, record.totalEntries);
    WriteLe32(bytes + 12, record.directorySize);
    WriteLe32(bytes + 16, record.directoryOffset);
    WriteLe16(bytes + 20, record.commentLength);
}

void LoadZip64Locator(const uint8_t* bytes, Zip64EndRecord* record) {
    record->locatorDisk = ReadLe32(bytes + 4);
    record->offset = ReadLe64(bytes + 8);
    record->diskCount = ReadLe32(bytes + 16);
}

void LoadZip64EndRecord(const uint8_t* bytes, Zip64EndRecord* record) {
    record->signature = ReadLe32(bytes + 0);
    record->recordSize = ReadLe64(bytes + 4);
    record->diskNumber = ReadLe32(bytes + 16);
    record->directoryDisk = ReadLe32(bytes + 20);
    record->diskEntries = ReadLe64(bytes + 24);
    record->totalEntries = ReadLe64(bytes + 32);
    record->directorySize = ReadLe64(bytes + 40);
    record->directoryOffset = ReadLe64(bytes + 48);
}

void LoadCentralHeader(const uint8_t* bytes, CentralRecord* record) {
    record->signature = ReadLe32(bytes + 0);
    record->madeByVersion = bytes[4];
    record->madeByHost = bytes[5];
    record->neededVersion = ReadLe16(bytes + 6);
    record->flags = ReadLe16(bytes + 8);
    record->method = ReadLe16(bytes + 10);
    record->modTime = ReadLe16(bytes + 12);
    record->modDate = ReadLe16(bytes + 14);
    record->crc32 = ReadLe32(bytes + 16);
    record->compressedSize = ReadLe32(bytes + 20);
    record->uncompressedSize = ReadLe32(bytes + 24);
    record->nameLength = ReadLe16(bytes + 28);
    record->extraLength = ReadLe16(bytes + 30);
    record->commentLength = ReadLe16(bytes + 32);
    record->diskNumberStart = ReadLe16(bytes + 34);
    record->internalAttributes = ReadLe16(bytes + 36);
    record->externalAttributes = ReadLe32(bytes + 38);
    record->localHeaderOffset = ReadLe32(bytes + 42);
}

void StoreCentralHeader(const CentralRecord& record, uint8_t* bytes) {
    WriteLe32(bytes + 0, record.signature);
    bytes[4] = record.madeByVersion;
    bytes[5] = record.madeByHost;
    WriteLe16(bytes + 6, record.neededVersion);
    WriteLe16(bytes + 8, record.flags);
    WriteLe16(bytes + 10, record.method);
    WriteLe16(bytes + 12, record.modTime);
    WriteLe16(bytes + 14, record.modDate);
    WriteLe32(bytes + 16, record.crc32);
    WriteLe32(bytes + 20, record.compressedSize);
    WriteLe32(bytes + 24, record.uncompressedSize);
    WriteLe16(bytes + 28, record.nameLength);
    WriteLe16(bytes + 30, record.extraLength);
    WriteLe16(bytes + 32, record.commentLength);
    WriteLe16(bytes + 34, record.diskNumberStart);
    WriteLe16(bytes + 36, record.internalAttributes);
    WriteLe32(bytes + 38, record.externalAttributes);
    WriteLe32(bytes + 42, record.localHeaderOffset);
}

EntryInfo EntryInfoOf(const CentralRecord& record) {
    EntryInfo entry{};
    entry.madeByVersion = record.madeByVersion;
    entry.madeByHost = record.madeByHost;
    entry.neededVersion = record.neededVersion;
    entry.flags = record.flags;
    entry.method = record.method;
    entry.crc32 = record.crc32;
    entry.compressedSize = record.compressedSize;
    entry.uncompressedSize = record.uncompressedSize;
    entry.nameLength = record.nameLength;
    entry.internalAttributes = record.internalAttributes;
    entry.externalAttributes = record.externalAttributes;
    // The MS-DOS time and date as stored; no field is range-checked.
    const uint16_t t = record.modTime;
    const uint16_t d = record.modDate;
    entry.second = static_cast<uint8_t>((t & 0x1F) * 2);
    entry.minute = static_cast<uint8_t>((t >> 5) & 0x3F);
    entry.hour = static_cast<uint8_t>((t >> 11) & 0x1F);
    entry.day = static_cast<uint8_t>(d & 0x1F);
    entry.month = static_cast<uint8_t>((d >> 5) & 0x0F);
    entry.year = static_cast<uint16_t>((d >> 9) + 1980);
    return entry;
}
