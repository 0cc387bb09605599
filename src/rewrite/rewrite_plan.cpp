#include "rewrite/rewrite_plan.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "archive/records.h"
#include "jcode/ibm_extension.h"
#include "jcode/sjis_utf8.h"
#include "platform/memory.h"
#include "rewrite/extra_fields.h"
#include "rewrite/rewrite.h"

namespace {

// One converted text at a time: the longest text with its zero byte.
constexpr size_t ScratchSize = NewTextLimitRelaxed + 1;
char scratch[ScratchSize];

constexpr size_t ArenaStep = 65536;

int ArenaReserve(TextArena* arena, size_t length) {
    if (length > UINT32_MAX - arena->used)
        return RewriteOutOfMemory;
    if (arena->bytes != nullptr && arena->used + length <= arena->capacity)
        return 0;
    size_t capacity = std::max(arena->capacity * 2, arena->used + length + ArenaStep);
    auto* grown = static_cast<uint8_t*>(std::realloc(arena->bytes, capacity));
    if (grown == nullptr)
        return RewriteOutOfMemory;
    AdviseLargePages(grown, capacity);
    arena->bytes = grown;
    arena->capacity = capacity;
    return 0;
}

int ArenaAppend(TextArena* arena, const void* bytes, size_t length, ArenaText* text) {
    int r = ArenaReserve(arena, length);
    if (r != 0)
        return r;
    if (length > 0)
        std::memcpy(arena->bytes + arena->used, bytes, length);
    *text = ArenaText{static_cast<uint32_t>(arena->used), static_cast<uint32_t>(length), 1};
    arena->used += length;
    return 0;
}

// Gives the arena room for about every text of the archive at once, so that
// it is filled without growing: the texts of the directory (all of it but the
// fixed 46 bytes of each header) twice over, which holds names that grow by
// half in UTF-8, or Shift-JIS names beside their UTF-8 forms. Anything beyond
// still grows the arena; a reservation the system refuses leaves it to grow
// from empty.
void ReserveArenaForTexts(int entryCount, TextArena* arena) {
    const size_t headers = static_cast<size_t>(entryCount) * CentralHeaderSize;
    const size_t directory = static_cast<size_t>(context.directory.size);
    const size_t room = directory > headers ? 2 * (directory - headers) : 0;
    if (room < ArenaStep)
        return;
    arena->bytes = static_cast<uint8_t*>(AllocateTable(room, TableSpeedFirst));
    arena->capacity = arena->bytes != nullptr ? room : 0;
}

// A held Shift-JIS text in UTF-8, as the rewrite stores it. Codes of the IBM
// extension rows, which the converter refuses as lying beyond the JIS plane,
// first take the code that code page 932 gives the same character elsewhere,
// so that 髙 (FB FC) is stored as 髙 (E9 AB 99). The user-defined area stays
// refused: its characters mean nothing outside the machine that defined them.
int HeldTextToUtf8(const char* held, char* output, size_t capacity, int* length) {
    // A text without extension codes, as most are, needs no replacement.
    int plain = ShiftJisToUtf8Plain(held, output, capacity, length);
    if (plain != NotPlainText)
        return plain;
    static char prepared[CommentBufferSize + 1];
    const size_t heldLength = strnlen(held, sizeof prepared);
    if (heldLength == sizeof prepared)
        return TextTooLong;
    std::memcpy(prepared, held, heldLength + 1);
    ReplaceIbmExtensionCodes(prepared);
    return ShiftJisToUtf8(prepared, output, capacity, length, NewlineCrLf);
}

// A held text with a zero byte inside would be cut short by the conversion.
bool HeldTextIsWhole(const char* held, size_t heldLength) {
    return held != nullptr && std::strlen(held) == heldLength;
}

// Stores the target form of a held Shift-JIS text, at most `limit` bytes.
int StoreTargetText(const char* held, size_t heldLength, int limit, TextArena* arena,
                    ArenaText* text) {
    if (!HeldTextIsWhole(held, heldLength))
        return LossyTextRefused;
    if (context.targetEncoding != Utf8) {
        if (heldLength > static_cast<size_t>(limit))
            return TargetTextTooLong;
        return ArenaAppend(arena, held, heldLength, text);
    }
    // Converted straight into the arena's free room; the zero byte behind
    // the text is not part of it, and the next text overwrites it.
    const size_t room = static_cast<size_t>(limit) + 1;
    int r = ArenaReserve(arena, room);
    if (r != 0)
        return r;
    int length = 0;
    r = HeldTextToUtf8(held, reinterpret_cast<char*>(arena->bytes + arena->used), room, &length);
    if (r == TextTooLong)
        return TargetTextTooLong;
    if (r < 0)
        return TextNotConvertible;
    *text = ArenaText{static_cast<uint32_t>(arena->used), static_cast<uint32_t>(length), 1};
    arena->used += static_cast<size_t>(length);
    return 0;
}

int PlanName(const CentralRecord& record, EntryPlan* entry, TextArena* arena) {
    if (record.nameLossy)
        return LossyTextRefused;
    if (!record.nameConverted)
        return ArenaAppend(arena, record.name, record.nameLength, &entry->name);
    entry->nameChanges = 1;
    int r = StoreTargetText(record.name, record.nameLength, NameLimitOfRun(), arena, &entry->name);
    if (r != 0)
        return r;
    if (entry->name.length == 0)
        return EmptyName;
    return 0;
}

// A converted text was stored with at least one byte: its held form can be
// empty only where the conversion stopped at its first character, and is
// then no reading of it at all. Checked before an empty text counts as none.
int PlanComment(const CentralRecord& record, EntryPlan* entry, TextArena* arena) {
    if (record.commentLossy || (record.commentConverted && record.commentLength == 0))
        return LossyTextRefused;
    if (record.commentLength == 0)
        return 0;
    if (!record.commentConverted) {
        return ArenaAppend(arena, CommentOf(&record), record.commentLength, &entry->comment);
    }
    entry->commentChanges = 1;
    return StoreTargetText(CommentOf(&record), record.commentLength, CommentLimitOfRun(), arena,
                           &entry->comment);
}

// The central extra field as read, less the Unicode fields that no longer
// describe the new name or comment.
int PlanCentralExtra(const CentralRecord& record, EntryPlan* entry, TextArena* arena) {
    if (record.extraLength == 0)
        return 0;
    int r = ArenaAppend(arena, ExtraOf(&record), record.extraLength, &entry->centralExtra);
    if (r != 0)
        return r;
    uint8_t* bytes = arena->bytes + entry->centralExtra.at;
    size_t kept = record.extraLength;
    if (HasUnicodeField(bytes, kept)) {
        static char nameUtf8[Utf8FormRoom];
        static char commentUtf8[Utf8FormRoom];
        UnicodeFieldRule nameRule = UnicodeFieldRuleFor(
            entry->nameChanges, arena->bytes + entry->name.at, entry->name.length, nameUtf8);
        UnicodeFieldRule commentRule =
            UnicodeFieldRuleFor(entry->commentChanges, arena->bytes + entry->comment.at,
                                entry->comment.length, commentUtf8);
        kept = FilterUnicodeFields(bytes, kept, nameRule, commentRule, bytes);
    }
    // With -r the writer stores the entry's 64-bit values afresh.
    if (context.relaxedVersions)
        kept = DropExtraFields(bytes, kept, Zip64ExtraId);
    arena->used -= record.extraLength - kept;
    entry->centralExtra.length = static_cast<uint32_t>(kept);
    return 0;
}

int PlanEntry(const CentralRecord& record, EntryPlan* entry, TextArena* arena) {
    *entry = EntryPlan{};
    int r = PlanName(record, entry, arena);
    if (r == 0)
        r = PlanComment(record, entry, arena);
    if (r == 0)
        r = PlanCentralExtra(record, entry, arena);
    return r;
}

bool SameBytes(const uint8_t* a, size_t aLength, const uint8_t* b, size_t bLength) {
    return aLength == bLength && std::memcmp(a, b, aLength) == 0;
}

// A hash of the bytes of a text, eight at a time.
uint32_t HashOfBytes(const uint8_t* bytes, size_t length) {
    constexpr uint64_t Multiplier = 0x9E3779B97F4A7C15ull;
    uint64_t hash = length * Multiplier;
    size_t i = 0;
    for (; i + 8 <= length; i += 8) {
        uint64_t word = 0;
        std::memcpy(&word, bytes + i, sizeof word);
        hash = (std::rotl(hash, 23) ^ word) * Multiplier;
    }
    if (i < length) {
        uint64_t word = 0;
        std::memcpy(&word, bytes + i, length - i);
        hash = (std::rotl(hash, 23) ^ word) * Multiplier;
    }
    return static_cast<uint32_t>(hash >> 32);
}

// Entries whose new names are equal must have had equal names before, byte
// for byte as stored: otherwise one would overwrite the other on extraction.
// Held names are no proof: two different stored names (composed and
// decomposed kana, UTF-16 and ASCII) can be held as one Shift-JIS text. The
// entries are kept in a hash table by new name; each is compared with the
// first entry of its new name, which finds a group with two different stored
// names exactly when there is one.
//
// A slot holds an entry's index in its low bits and the top bits of its
// name's hash above them, so that a probe reads another entry's name only
// when the hashes agree: names lie scattered over the arena, and reading
// them for every occupied slot costs a cache miss each. The index bits can
// hold every index below entryCount and never all ones, which marks a free
// slot.
int CheckNamesStayDistinct(const RewritePlan& plan) {
    if (plan.entryCount < 2)
        return 0;
    size_t slots = 2;
    while (slots < 2 * static_cast<size_t>(plan.entryCount))
        slots *= 2;
    const int indexBits = std::bit_width(static_cast<uint32_t>(plan.entryCount));
    const uint32_t indexMask = indexBits >= 32 ? ~0u : (1u << indexBits) - 1;
    constexpr uint32_t FreeSlot = ~0u;
    auto* table = static_cast<uint32_t*>(AllocateTable(sizeof(uint32_t) * slots, TableSpeedFirst));
    if (table == nullptr)
        return RewriteOutOfMemory;
    std::fill(table, table + slots, FreeSlot);
    // The slot of a name is random in a table larger than the nearest
    // caches: each name's hash is worked out a few entries ahead and its
    // slot fetched while the names before it are entered.
    constexpr int Ahead = 8;
    uint32_t hashes[Ahead];
    auto hashAhead = [&](int k) {
        const EntryPlan& e = plan.entries[k];
        hashes[k % Ahead] = HashOfBytes(PlanBytes(plan, e.name), e.name.length);
        __builtin_prefetch(&table[hashes[k % Ahead] & (slots - 1)]);
    };
    for (int k = 0; k < Ahead && k < plan.entryCount; ++k)
        hashAhead(k);
    int result = 0;
    for (int i = 0; i < plan.entryCount && result == 0; ++i) {
        const EntryPlan& entry = plan.entries[i];
        const uint8_t* name = PlanBytes(plan, entry.name);
        const uint32_t hash = hashes[i % Ahead];
        if (i + Ahead < plan.entryCount)
            hashAhead(i + Ahead);
        const uint32_t tag = hash & ~indexMask;
        size_t slot = hash & (slots - 1);
        for (; table[slot] != FreeSlot; slot = (slot + 1) & (slots - 1)) {
            if ((table[slot] & ~indexMask) != tag)
                continue;
            const EntryPlan& first = plan.entries[table[slot] & indexMask];
            if (!SameBytes(PlanBytes(plan, first.name), first.name.length, name, entry.name.length))
                continue;
            const CentralRecord& firstRecord =
                PlannedRecordOf(static_cast<int>(table[slot] & indexMask));
            const CentralRecord& record = PlannedRecordOf(i);
            bool storedEqual = SameBytes(
                reinterpret_cast<const uint8_t*>(StoredNameOf(&firstRecord)),
                firstRecord.storedNameLength,
                reinterpret_cast<const uint8_t*>(StoredNameOf(&record)), record.storedNameLength);
            if (!storedEqual)
                result = DuplicateName;
            break;
        }
        if (table[slot] == FreeSlot)
            table[slot] = tag | static_cast<uint32_t>(i);
    }
    std::free(table);
    return result;
}

int PlanArchiveComment(RewritePlan* plan) {
    if (context.endRecord.commentLength == 0)
        return 0;
    int length = 0;
    int r = ConvertArchiveComment(scratch, &length);
    if (r != 0)
        return r;
    return ArenaAppend(&plan->arena, scratch, static_cast<size_t>(length), &plan->archiveComment);
}

}  // namespace

int NameLimitOfRun() {
    return context.relaxedVersions ? NewTextLimitRelaxed : NewNameLimit;
}

int CommentLimitOfRun() {
    return context.relaxedVersions ? NewTextLimitRelaxed : NewCommentLimit;
}

const uint8_t* PlanBytes(const RewritePlan& plan, ArenaText text) {
    return plan.arena.bytes + text.at;
}

UnicodeFieldRule UnicodeFieldRuleFor(int changes, const uint8_t* stored, size_t storedLength,
                                     char* utf8Room) {
    UnicodeFieldRule rule{changes, stored, storedLength, stored, storedLength};
    if (!changes || context.targetEncoding == Utf8)
        return rule;
    std::memcpy(scratch, stored, storedLength);
    scratch[storedLength] = '\0';
    int length = 0;
    if (HeldTextToUtf8(scratch, utf8Room, Utf8FormRoom, &length) < 0) {
        rule.utf8 = nullptr;
        rule.utf8Length = 0;
        return rule;
    }
    rule.utf8 = reinterpret_cast<const uint8_t*>(utf8Room);
    rule.utf8Length = static_cast<size_t>(length);
    return rule;
}

int ConvertArchiveComment(char* output, int* length) {
    const char* held = context.commentBuffer;
    if (context.commentLossy)
        return LossyTextRefused;
    size_t heldLength = strnlen(held, sizeof context.commentBuffer);
    if (heldLength == sizeof context.commentBuffer)
        return LossyTextRefused;
    if (heldLength == 0 && context.endRecord.commentLength > 0)
        return LossyTextRefused;  // stored, but its conversion gave nothing
    if (context.targetEncoding != Utf8) {
        if (heldLength > static_cast<size_t>(CommentLimitOfRun()))
            return TargetTextTooLong;
        std::memcpy(output, held, heldLength + 1);
        *length = static_cast<int>(heldLength);
        return 0;
    }
    int r = HeldTextToUtf8(held, output, static_cast<size_t>(CommentLimitOfRun()) + 1, length);
    if (r == TextTooLong)
        return TargetTextTooLong;
    if (r < 0)
        return TextNotConvertible;
    return 0;
}

int BuildRewritePlan(int entryCount, RewritePlan* plan) {
    *plan = RewritePlan{};
    plan->entryCount = entryCount;
    size_t count = entryCount > 0 ? static_cast<size_t>(entryCount) : 1;
    plan->entries =
        static_cast<EntryPlan*>(AllocateTable(count * sizeof(EntryPlan), TableSpeedFirst));
    if (plan->entries == nullptr)
        return RewriteOutOfMemory;
    // PlanEntry clears each entry as it comes to it.
    ReserveArenaForTexts(entryCount, &plan->arena);
    int r = 0;
    for (int i = 0; i < entryCount && r == 0; ++i) {
        r = PlanEntry(*context.order[i], &plan->entries[i], &plan->arena);
    }
    if (r == 0)
        r = CheckNamesStayDistinct(*plan);
    if (r == 0)
        r = PlanArchiveComment(plan);
    if (r != 0)
        FreeRewritePlan(plan);
    return r;
}

void FreeRewritePlan(RewritePlan* plan) {
    std::free(plan->entries);
    std::free(plan->arena.bytes);
    *plan = RewritePlan{};
}
