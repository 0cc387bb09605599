// Support for the rewrite's tests: fills the archive context from archive
// bytes the way the reader would, with the held (display) texts chosen by the
// test, and parses a rewritten archive back, checking that its local
// sections, central directory and end record agree with each other.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "archive/context.h"
#include "support/zip_builder.h"

// あ, い and 日本 in Shift-JIS and in UTF-8.
inline const std::string SjisA = "\x82\xA0";
inline const std::string SjisI = "\x82\xA2";
inline const std::string SjisNihon = "\x93\xFA\x96\x7B";
inline const std::string Utf8A = "\xE3\x81\x82";
inline const std::string Utf8I = "\xE3\x81\x84";
inline const std::string Utf8Nihon = "\xE6\x97\xA5\xE6\x9C\xAC";

// How the reader holds one entry's texts.
struct HeldEntry {
    std::optional<std::string> name;  // display form; default: the stored name
    int nameConverted = 0;
    std::optional<std::string> comment;  // display form; default: the stored comment
    int commentConverted = 0;
    int nameLossy = 0;
    int commentLossy = 0;
};

// A held entry whose name went through conversion, shown as `shown`.
inline HeldEntry Converted(const std::string& shown) {
    HeldEntry h;
    h.name = shown;
    h.nameConverted = 1;
    return h;
}

// A stored entry holding `data`.
inline ZipEntryLayout Entry(const std::string& name, const std::string& data, uint16_t flags = 0) {
    ZipEntryLayout e;
    e.name = name;
    e.data = data;
    e.flags = flags;
    return e;
}

struct HeldArchive {
    std::vector<HeldEntry> entries;      // directory order; missing ones take defaults
    std::optional<std::string> comment;  // display form; default: the stored comment
    int commentLossy = 0;
    NameEncoding nameEncoding = ShiftJis;
};

// Fills `context` from `bytes` (the archive stored at `path`) with the texts
// of `held`, sets the target, sorts the order by local header offset and
// records the identity of the file at `path`. Returns the entry count.
int LoadIntoContext(const std::string& bytes, const std::string& path, const HeldArchive& held,
                    NameEncoding target);

struct ParsedEntry {
    std::string name;
    std::string localName;
    uint16_t flags = 0;
    uint16_t localFlags = 0;
    std::string extra;
    std::string localExtra;
    std::string comment;
    std::string data;
    std::string descriptor;  // the data descriptor's bytes, empty when none
    uint32_t crc32 = 0;
    uint32_t compressedSize = 0;
    uint32_t localHeaderOffset = 0;
};

struct ParsedZip {
    std::string error;  // empty when the archive is consistent
    std::vector<ParsedEntry> entries;
    std::string comment;
    uint32_t directoryOffset = 0;
    uint32_t directorySize = 0;
    uint16_t diskEntries = 0;
    uint16_t totalEntries = 0;
};

// Parses an archive whose local sections must follow one another from offset
// 0 up to the central directory, which must end at the end record, which must
// end the file with its comment.
ParsedZip ParseZip(const std::string& bytes);

// True when ShiftJisToUtf8 really converts (and is not a byte copy).
bool HaveRealUtf8Converter();

// The converter's UTF-8 form of a Shift-JIS text.
std::string ToUtf8(const std::string& shiftJis);
