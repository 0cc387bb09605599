#include "rewrite/extra_fields.h"

#include <cstring>

#include "archive/crc32.h"
#include "archive/records.h"

namespace {

constexpr size_t FieldHeaderSize = 4;
// Version byte and CRC-32 before the text of a Unicode field.
constexpr size_t UnicodeFieldPrefix = 5;
constexpr uint8_t UnicodeFieldVersion = 1;

// A field may stay when its text is the new text's UTF-8 form.
bool UnicodeFieldMatches(const uint8_t* data, size_t size, const UnicodeFieldRule& rule) {
    if (rule.utf8 == nullptr || size < UnicodeFieldPrefix)
        return false;
    if (data[0] != UnicodeFieldVersion)
        return false;
    size_t textLength = size - UnicodeFieldPrefix;
    return textLength == rule.utf8Length &&
           std::memcmp(data + UnicodeFieldPrefix, rule.utf8, textLength) == 0;
}

const UnicodeFieldRule* RuleFor(uint16_t id, const UnicodeFieldRule& nameRule,
                                const UnicodeFieldRule& commentRule) {
    if (id == UnicodePathExtraId && nameRule.applies)
        return &nameRule;
    if (id == UnicodeCommentExtraId && commentRule.applies)
        return &commentRule;
    return nullptr;
}

}  // namespace

bool ExtraHasField(const uint8_t* extra, size_t length, uint16_t id) {
    size_t at = 0;
    while (length - at >= FieldHeaderSize) {
        uint16_t fieldId = ReadLe16(extra + at);
        size_t size = ReadLe16(extra + at + 2);
        if (size > length - at - FieldHeaderSize)
            return false;
        if (fieldId == id)
            return true;
        at += FieldHeaderSize + size;
    }
    return false;
}

bool HasUnicodeField(const uint8_t* extra, size_t length) {
    return ExtraHasField(extra, length, UnicodePathExtraId) ||
           ExtraHasField(extra, length, UnicodeCommentExtraId);
}

size_t FilterUnicodeFields(const uint8_t* extra, size_t length, const UnicodeFieldRule& nameRule,
                           const UnicodeFieldRule& commentRule, uint8_t* output) {
    size_t at = 0;
    size_t written = 0;
    while (length - at >= FieldHeaderSize) {
        uint16_t id = ReadLe16(extra + at);
        size_t size = ReadLe16(extra + at + 2);
        if (size > length - at - FieldHeaderSize)
            break;
        const uint8_t* data = extra + at + FieldHeaderSize;
        const UnicodeFieldRule* rule = RuleFor(id, nameRule, commentRule);
        if (rule == nullptr || UnicodeFieldMatches(data, size, *rule)) {
            std::memmove(output + written, extra + at, FieldHeaderSize + size);
            if (rule != nullptr) {
                uint32_t crc = Crc32(0, rule->stored, rule->storedLength);
                WriteLe32(output + written + FieldHeaderSize + 1, crc);
            }
            written += FieldHeaderSize + size;
        }
        at += FieldHeaderSize + size;
    }
    std::memmove(output + written, extra + at, length - at);
    return written + (length - at);
}

size_t DropExtraFields(uint8_t* extra, size_t length, uint16_t id) {
    size_t at = 0;
    size_t written = 0;
    while (length - at >= FieldHeaderSize) {
        const size_t size = ReadLe16(extra + at + 2);
        if (size > length - at - FieldHeaderSize)
            break;
        if (ReadLe16(extra + at) != id) {
            std::memmove(extra + written, extra + at, FieldHeaderSize + size);
            written += FieldHeaderSize + size;
        }
        at += FieldHeaderSize + size;
    }
    std::memmove(extra + written, extra + at, length - at);
    return written + (length - at);
}
