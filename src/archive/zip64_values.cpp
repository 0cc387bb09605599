#include "archive/zip64_values.h"

#include "archive/records.h"

namespace {

constexpr size_t FieldHeadSize = 4;  // ID and size, 2 bytes each

// The data of the first field with ID `id`, and its size; null when there is
// none. A field whose size runs past the end ends the search.
const uint8_t* FindExtraField(const uint8_t* extra, size_t length, uint16_t id, size_t* size) {
    size_t at = 0;
    while (extra != nullptr && length - at >= FieldHeadSize) {
        const uint16_t fieldId = ReadLe16(extra + at);
        const size_t fieldSize = ReadLe16(extra + at + 2);
        at += FieldHeadSize;
        if (fieldSize > length - at)
            return nullptr;
        if (fieldId == id) {
            *size = fieldSize;
            return extra + at;
        }
        at += fieldSize;
    }
    return nullptr;
}

// Takes the next 8-byte value of the field into `value` when `saturated`.
bool TakeWide(bool saturated, const uint8_t* field, size_t size, size_t* at, uint64_t* value) {
    if (!saturated)
        return true;
    if (size - *at < 8)
        return false;
    *value = ReadLe64(field + *at);
    *at += 8;
    return true;
}

}  // namespace

bool NeedsZip64Values(const CentralRecord& record) {
    return record.uncompressedSize == Zip64Marker32 || record.compressedSize == Zip64Marker32 ||
           record.localHeaderOffset == Zip64Marker32 || record.diskNumberStart == Zip64Marker16;
}

bool ReadZip64Values(const CentralRecord& record, const uint8_t* extra, size_t extraLength,
                     Zip64Values* values) {
    *values = Zip64Values{record.uncompressedSize, record.compressedSize, record.localHeaderOffset,
                          record.diskNumberStart};
    if (!NeedsZip64Values(record))
        return true;
    size_t size = 0;
    const uint8_t* field = FindExtraField(extra, extraLength, Zip64FieldId, &size);
    if (field == nullptr)
        return false;
    size_t at = 0;
    if (!TakeWide(record.uncompressedSize == Zip64Marker32, field, size, &at,
                  &values->uncompressedSize) ||
        !TakeWide(record.compressedSize == Zip64Marker32, field, size, &at,
                  &values->compressedSize) ||
        !TakeWide(record.localHeaderOffset == Zip64Marker32, field, size, &at,
                  &values->localHeaderOffset)) {
        return false;
    }
    if (record.diskNumberStart == Zip64Marker16) {
        if (size - at < 4)
            return false;
        values->diskNumberStart = ReadLe32(field + at);
    }
    return true;
}

Zip64Values Zip64ValuesOf(const CentralRecord& record) {
    Zip64Values values{};
    if (!record.hasZip64Values ||
        !ReadZip64Values(record, reinterpret_cast<const uint8_t*>(ExtraOf(&record)),
                         record.extraLength, &values)) {
        values = Zip64Values{record.uncompressedSize, record.compressedSize,
                             record.localHeaderOffset, record.diskNumberStart};
    }
    return values;
}

bool ReadLocalCompressedSize(const uint8_t* header, const uint8_t* extra, size_t extraLength,
                             uint64_t* size) {
    *size = ReadLe32(header + LocalCompressedSizeOffset);
    if (*size != Zip64Marker32)
        return true;
    size_t fieldSize = 0;
    const uint8_t* field = FindExtraField(extra, extraLength, Zip64FieldId, &fieldSize);
    if (field == nullptr)
        return false;
    const bool uncompressedMarked = ReadLe32(header + LocalUncompressedSizeOffset) == Zip64Marker32;
    if (fieldSize >= 16) {
        *size = ReadLe64(field + 8);
        return true;
    }
    if (fieldSize >= 8 && !uncompressedMarked) {
        *size = ReadLe64(field);
        return true;
    }
    return false;
}
