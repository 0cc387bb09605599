// The plan of a rewrite: every text of the new archive in its target form,
// worked out and checked before any file is touched. Built from the archive
// context; the context itself is left as the reader filled it.
#pragma once

#include <cstddef>
#include <cstdint>

#include "archive/context.h"
#include "archive/records.h"
#include "rewrite/extra_fields.h"
#include "rewrite/rewrite.h"

// A run of bytes in the plan's arena. Offsets, not pointers, since the arena
// grows by reallocation. Eight bytes: the plan holds five for every entry.
struct ArenaText {
    uint32_t at;
    uint32_t length : 31;  // a text is at most 65,535 bytes
    uint32_t present : 1;  // 0: there is no such text
};

struct TextArena {
    uint8_t* bytes;
    size_t used;
    size_t capacity;
};

// The new form of one entry, in the order of context.order: entry i is the
// new form of *context.order[i] (PlannedRecordOf). 48 bytes: the plan holds
// one for every entry.
struct EntryPlan {
    uint8_t nameChanges;     // the name is re-encoded: its flags change with it
    uint8_t commentChanges;  // the comment is re-encoded
    // Filled while the local sections are written.
    uint16_t flags;
    uint16_t localExtraLength;   // of the new local header
    uint64_t localHeaderOffset;  // in the new archive
    uint64_t dataLength;         // of the data that follows it
    ArenaText name;              // the name as it will be stored
    ArenaText comment;           // the entry comment as it will be stored
    // The central extra field after the Unicode field rule, without a 0x0001
    // field (with -r the writer puts a fresh one before it).
    ArenaText centralExtra;
};
static_assert(sizeof(EntryPlan) == 48);

// The record of the archive that plan entry `i` gives the new form of.
inline const CentralRecord& PlannedRecordOf(int i) {
    return *context.order[i];
}

struct RewritePlan {
    int entryCount;
    EntryPlan* entries;
    ArenaText archiveComment;  // present when the end record has a comment
    TextArena arena;
    // Filled when the directory and the end record are written.
    uint64_t directoryOffset;
    uint64_t zip64EndOffset;  // of the ZIP64 end record; 0 when none is written
    uint64_t endRecordOffset;
    uint8_t endRecord[EndRecordSize];
    // The ZIP64 end record and its locator, where they are written.
    uint8_t zip64Records[Zip64EndSize + Zip64LocatorSize];
};

// Works out every new text of the archive (entry names, entry comments,
// central extra fields, the archive comment) for context.targetEncoding, and
// refuses what cannot be stored faithfully: lossy texts (70), texts with no
// form in the target (71) or too long for it (72), empty converted names
// (73), names stored with different bytes that become equal (74). Returns 0 or the code; on
// failure the plan is freed.
int BuildRewritePlan(int entryCount, RewritePlan* plan);

// Frees what BuildRewritePlan allocated; safe on a cleared plan.
void FreeRewritePlan(RewritePlan* plan);

// The bytes of `text` in the plan's arena.
const uint8_t* PlanBytes(const RewritePlan& plan, ArenaText text);

// Room for the UTF-8 form of the longest new text, with its zero byte: up to
// three bytes for every two stored.
constexpr size_t Utf8FormRoom = 3 * ((NewTextLimitRelaxed + 1) / 2) + 2;

// What keeps the Unicode fields of an entry truthful to one of its new texts
// (`stored`, as the new archive stores it; `changes`: it is re-encoded): the
// text, and its UTF-8 form, which a Unicode field must match. Where the
// target is not UTF-8 that form is worked out into `utf8Room` (Utf8FormRoom
// bytes); a text with none leaves the rule without one, and its Unicode
// fields are then left out. Only an extra field that holds a Unicode field
// needs a rule.
UnicodeFieldRule UnicodeFieldRuleFor(int changes, const uint8_t* stored, size_t storedLength,
                                     char* utf8Room);

// Converts the archive comment (context.commentBuffer) to the target into
// `output` (room for NewTextLimitRelaxed + 1 bytes), checking it as
// BuildRewritePlan checks texts. Returns 0 or 70 to 72.
int ConvertArchiveComment(char* output, int* length);
