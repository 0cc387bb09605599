// Extra fields of local and central headers as the rewrite sees them: a
// sequence of (ID, size, data) fields. The rewrite refuses ZIP64 fields
// without -r and writes them afresh with it, and keeps the Info-ZIP Unicode
// Path and Unicode Comment fields truthful.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr uint16_t Zip64ExtraId = 0x0001;
constexpr uint16_t UnicodePathExtraId = 0x7075;
constexpr uint16_t UnicodeCommentExtraId = 0x6375;

// True when the extra field holds a field with the given ID. Parsing stops at
// a field whose size runs past the end.
bool ExtraHasField(const uint8_t* extra, size_t length, uint16_t id);

// True when the extra field holds a Unicode Path or Unicode Comment field:
// only then can FilterUnicodeFields change it.
bool HasUnicodeField(const uint8_t* extra, size_t length);

// What a rewritten text must look like for its Unicode field to stay: the
// field's text must equal `utf8` (the new text's UTF-8 form), and its CRC-32
// is recomputed over `stored` (the new text as stored in the header).
struct UnicodeFieldRule {
    int applies;            // 0: the text is not rewritten; keep such fields as read
    const uint8_t* stored;  // new stored text
    size_t storedLength;
    const uint8_t* utf8;  // its UTF-8 form; null when it has none
    size_t utf8Length;
};

// Copies `extra` to `output` (room for `length` bytes), applying `nameRule`
// to Unicode Path fields and `commentRule` to Unicode Comment fields: a field
// whose rule applies is kept, with a new CRC-32, only when it is version 1
// and its text equals the rule's UTF-8 text; otherwise it is left out. All
// other fields, and bytes after a field that runs past the end, are copied as
// read. Returns the length written.
size_t FilterUnicodeFields(const uint8_t* extra, size_t length, const UnicodeFieldRule& nameRule,
                           const UnicodeFieldRule& commentRule, uint8_t* output);

// Removes every field with ID `id` from the `length` bytes at `extra`, in
// place, keeping the other fields in their order and bytes after a field that
// runs past the end as they are. Returns the new length.
size_t DropExtraFields(uint8_t* extra, size_t length, uint16_t id);
