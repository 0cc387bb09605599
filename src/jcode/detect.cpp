#include "jcode/detect.h"

#include <algorithm>
#include <bit>
#include <cstring>

// The detector is a fixed chain: byte-order marks, an 8-bit scan (UTF-8, then
// Shift-JIS/EUC-JP), a 16-bit scan for UTF-16 and its byte order, and a last
// EUC-JP scan. Each scan may look one or two bytes past the string, which the
// caller guarantees to be readable.

namespace {

constexpr int SequencesToAccept = 50;  // UTF-8 sequences that need no confirmation
constexpr int SequencesToStop = 102;   // UTF-8 sequences after which the scan stops
constexpr int32_t Utf16ScanLimit = 4096;
constexpr int EucPairsForEuc = 10;

bool IsLineControl(uint8_t b) {
    return b == 0x09 || b == 0x0A || b == 0x0D || b == 0x1A;
}

constexpr bool IsSjisLead(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

constexpr bool IsSjisTrail(uint8_t b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

bool IsEucByte(uint8_t b) {
    return b >= 0xA1 && b <= 0xFE;
}

bool IsKanaByte(uint8_t b) {
    return b >= 0xA1 && b <= 0xDF;
}

int LeadingOneBits(uint8_t b) {
    return std::countl_one(b);
}

// True when one of the eight bytes at `bytes` is below 0x20. Subtracting 0x20
// from every byte sets the top bit of each byte that was below it; bytes of
// 0x80 or above are masked out. A borrow can mark another byte only after a
// byte that was below, so the answer is exact.
bool HasByteBelowSpace(const uint8_t* bytes) {
    uint64_t word = 0;
    std::memcpy(&word, bytes, sizeof word);
    return ((word - 0x2020202020202020ULL) & ~word & 0x8080808080808080ULL) != 0;
}

// True when all eight bytes at `bytes` lie from 0x20 to 0x7F. With no top
// bit set, subtracting 0x20 sets a top bit only in or after a byte below it.
bool IsPlainWord(const uint8_t* bytes) {
    constexpr uint64_t Tops = 0x8080808080808080ULL;
    uint64_t word = 0;
    std::memcpy(&word, bytes, sizeof word);
    return (word & Tops) == 0 && ((word - 0x2020202020202020ULL) & Tops) == 0;
}

// What the UTF-8 pass found.
struct Utf8Evidence {
    bool broken;
    bool highSeen;
    bool lineControlSeen;  // a line-control byte among the bytes examined
    int sequences;
};

// The UTF-8 pass. Returns false when a zero byte or a stray control byte ends
// the whole 8-bit scan.
bool ScanUtf8Pass(const uint8_t* bytes, int32_t length, Utf8Evidence* evidence) {
    int pending = 0;
    Utf8Evidence e{false, false, false, 0};
    int32_t i = 0;
    for (; i < length && !e.broken; ++i) {
        uint8_t b = bytes[i];
        if (b < 0x80) {
            if (b < 0x20) {
                if (!IsLineControl(b))
                    return false;  // a zero byte is no line control
                e.lineControlSeen = true;
            }
            if (pending > 0) {
                e.broken = true;
                pending = 0;
            }
            continue;
        }
        e.highSeen = true;
        if (pending == 0 && (b & 0xF0) == 0xE0 && i + 2 < length && (bytes[i + 1] & 0xC0) == 0x80 &&
            (bytes[i + 2] & 0xC0) == 0x80) {
            // A lead of three bytes and its two continuation bytes, taken at
            // once: the bulk of a Japanese name in UTF-8.
            i += 2;
            if (++e.sequences == SequencesToStop) {
                *evidence = e;
                return true;
            }
            continue;
        }
        if (pending == 0) {
            int ones = LeadingOneBits(b);
            if (ones == 1 || ones >= 7) {
                e.broken = true;
            } else {
                pending = ones - 1;
            }
        } else if (b > 0xBF) {
            e.broken = true;
            pending = 0;
        } else if (--pending == 0 && ++e.sequences == SequencesToStop) {
            *evidence = e;  // enough evidence: the rest is not examined
            return true;
        }
    }
    // Once the text is no UTF-8, only its control bytes still matter; eight
    // bytes without one are passed over at once.
    for (; i < length; ++i) {
        if (i + 8 <= length && !HasByteBelowSpace(bytes + i)) {
            i += 7;
            continue;
        }
        uint8_t b = bytes[i];
        if (b < 0x20) {
            if (!IsLineControl(b))
                return false;
            e.lineControlSeen = true;
        }
    }
    if (pending > 0)
        e.broken = true;
    *evidence = e;
    return true;
}

// The classes of a byte that the Shift-JIS/EUC-JP pass asks about most, from
// one table lookup instead of range tests per byte.
constexpr uint8_t PlainByte = 1;  // 0x20 to 0x7F: passed over
constexpr uint8_t LeadByte = 2;   // a Shift-JIS lead byte
constexpr uint8_t TrailByte = 4;  // a Shift-JIS trail byte

constexpr struct PairClasses {
    uint8_t of[256];
    constexpr PairClasses() : of() {
        for (int b = 0; b < 256; ++b) {
            uint8_t byte = static_cast<uint8_t>(b);
            of[b] = static_cast<uint8_t>((byte >= 0x20 && byte < 0x80 ? PlainByte : 0) |
                                         (IsSjisLead(byte) ? LeadByte : 0) |
                                         (IsSjisTrail(byte) ? TrailByte : 0));
        }
    }
} pairClasses;

// What the Shift-JIS/EUC-JP pass found.
struct PairEvidence {
    bool sjisSeen;
    bool eucOnly;
    bool controlSeen;
    bool badByte;
    int eucPairs;
};

// Reads the EUC-JP pair at `b`, `c` while no Shift-JIS-only evidence was met.
// Returns false when the bytes are no EUC-JP pair.
bool TakeEucPair(uint8_t b, uint8_t c, PairEvidence* e) {
    if (b == 0x8E && IsKanaByte(c))
        return true;
    if (!IsEucByte(b) || !IsEucByte(c))
        return false;
    if (b <= 0xDF && c <= 0xDF) {
        ++e->eucPairs;
    } else if (!(b >= 0xE0 && c <= 0xFC)) {
        e->eucOnly = true;
    }
    return true;
}

// The Shift-JIS/EUC-JP pass. Returns false for the early Doubtful answer (a
// first line-control byte next to a zero byte).
bool ScanPairPass(const uint8_t* bytes, int32_t length, PairEvidence* evidence) {
    PairEvidence e{false, false, false, false, 0};
    int32_t i = 0;
    while (i < length) {
        uint8_t b = bytes[i];
        uint8_t c = bytes[i + 1];
        uint8_t k = pairClasses.of[b];
        if (k & PlainByte) {
            // Runs of plain bytes, as in "_0001.dat", eight at a time.
            i += i + 8 <= length && IsPlainWord(bytes + i) ? 8 : 1;
            continue;
        }
        if (b < 0x20) {
            if (i > 0 && !e.controlSeen && (bytes[i - 1] == 0 || c == 0))
                return false;
            e.controlSeen = true;
            ++i;
            continue;
        }
        if (!e.sjisSeen && TakeEucPair(b, c, &e)) {
            i += 2;
            continue;
        }
        e.sjisSeen = true;
        if ((k & LeadByte) && (pairClasses.of[c] & TrailByte)) {
            i += 2;
        } else if (IsKanaByte(b)) {
            ++i;
        } else {
            if (i < length - 1)
                e.badByte = true;
            break;
        }
    }
    *evidence = e;
    return true;
}

int DecideByteText(const PairEvidence& e) {
    if (e.badByte)
        return e.controlSeen ? Rejected : Undecodable;
    if (e.sjisSeen) {
        if (!e.eucOnly)
            return ShiftJisText;
        return e.controlSeen ? Rejected : Undecodable;
    }
    if (e.eucOnly)
        return EucText;
    return e.eucPairs >= EucPairsForEuc ? EucText : ShiftJisText;
}

int ScanByteText(const uint8_t* bytes, int32_t length, int mode) {
    if (length <= 0)
        return Undetermined;
    Utf8Evidence utf8;
    if (!ScanUtf8Pass(bytes, length, &utf8))
        return Undecodable;
    if (!utf8.broken && !utf8.highSeen)
        return Undetermined;
    bool confirm = !utf8.broken;
    if (confirm && (mode != 1 || utf8.sequences >= SequencesToAccept))
        return Utf8Text;
    // The pair pass can change a confirmed answer only through a control
    // byte; with none in the text (and no zero byte, or the UTF-8 pass would
    // have stopped) it would answer UTF-8 as well.
    if (confirm && !utf8.lineControlSeen)
        return Utf8Text;
    PairEvidence pairs;
    if (!ScanPairPass(bytes, length, &pairs))
        return Doubtful;
    return confirm ? Utf8Text : DecideByteText(pairs);
}

// Counters of the 16-bit scan.
struct Utf16Evidence {
    unsigned bad = 0;
    unsigned lineBreaks8 = 0;
    unsigned leSpaces = 0;
    unsigned beSpaces = 0;
    unsigned leHits = 0;
    unsigned beHits = 0;
};

// Little-endian reading of characteristic units (、 。 て に の は を); the
// big-endian markers are the same units with their bytes swapped.
constexpr uint16_t littleEndianMarkers[7] = {0x3001, 0x3002, 0x3066, 0x306B,
                                             0x306E, 0x306F, 0x3092};

bool IsMarker(uint16_t u, bool bigEndian) {
    for (uint16_t m : littleEndianMarkers) {
        uint16_t marker = bigEndian ? static_cast<uint16_t>((m >> 8) | (m << 8)) : m;
        if (u == marker)
            return true;
    }
    return false;
}

bool InFullWidthFormsRow(uint8_t b) {
    return (b >= 0x01 && b <= 0x5E) || (b >= 0x61 && b <= 0x9F);
}

// A unit with exactly one zero byte.
void CountHalfZeroUnit(uint8_t lo, uint8_t hi, uint16_t u, Utf16Evidence* e) {
    if (lo == 0x30 || hi == 0x30)
        return;
    if (lo > 0x20) {
        ++e->leHits;
    } else if (hi > 0x20) {
        ++e->beHits;
    } else if (u == 0x0009 || u == 0x000A || u == 0x000D || u == 0x001A || u == 0x0020) {
        ++e->leSpaces;
    } else if (u == 0x0900 || u == 0x0A00 || u == 0x0D00 || u == 0x1A00 || u == 0x2000) {
        ++e->beSpaces;
    } else {
        ++e->bad;
    }
}

// An 8-bit line break around the unit at byte offset i (i >= 4).
bool HasByteLineBreak(const uint8_t* bytes, int32_t i) {
    uint8_t lo = bytes[i];
    uint8_t hi = bytes[i + 1];
    return (bytes[i - 1] == 0x0D && lo == 0x0A) || (hi == 0x0D && bytes[i + 2] == 0x0A) ||
           (bytes[i - 1] == 0x0A && bytes[i - 2] >= 0x20) || (lo == 0x0A && bytes[i - 1] >= 0x20) ||
           (hi == 0x0A && lo >= 0x20);
}

int ScanUtf16(const uint8_t* bytes, int32_t length) {
    Utf16Evidence e;
    for (int32_t i = 0; i < length; i += 2) {
        uint8_t lo = bytes[i];
        uint8_t hi = bytes[i + 1];
        uint16_t u = static_cast<uint16_t>(lo | hi << 8);
        if (u == 0x0000 || u == 0xFFFF) {
            ++e.bad;
            break;
        }
        if (u == 0x0A0D) {
            ++e.lineBreaks8;
        } else if (lo == 0 || hi == 0) {
            CountHalfZeroUnit(lo, hi, u, &e);
        } else if (lo == 0xFF || hi == 0xFF) {
            if (InFullWidthFormsRow(lo)) {
                ++e.leHits;
            } else if (InFullWidthFormsRow(hi)) {
                ++e.beHits;
            }
        } else if (IsMarker(u, false)) {
            ++e.leHits;
        } else if (IsMarker(u, true)) {
            ++e.beHits;
        } else if (i >= 4 && HasByteLineBreak(bytes, i)) {
            ++e.lineBreaks8;
        }
    }
    if (e.bad > 0)
        return Rejected;
    if (e.lineBreaks8 > 0)
        return Doubtful;
    if (e.leSpaces > 0)
        return Utf16LeText;
    if (e.beSpaces > 0)
        return Utf16BeText;
    return e.leHits > e.beHits ? Utf16LeText : Utf16BeText;
}

int ScanEuc(const uint8_t* bytes, int32_t length) {
    if (length <= 0)
        return Undetermined;
    bool euc = false;
    bool kana = false;
    bool lastSjis = false;
    int32_t i = 0;
    while (i < length) {
        uint8_t b = bytes[i];
        uint8_t c = bytes[i + 1];
        if (b == 0x00 || b == 0xFF)
            return Rejected;
        if (b <= 0x7F) {
            ++i;
        } else if (IsEucByte(b)) {
            if (i == length - 1)
                return kana ? EucText : Undetermined;
            if (!(b <= 0xDF && IsKanaByte(c)) && lastSjis)
                return Rejected;
            if (!IsEucByte(c))
                return Doubtful;
            euc = true;
            i += 2;
        } else if (b == 0x8E) {
            if (i == length - 1)
                return kana ? EucText : Undetermined;
            if (IsKanaByte(c)) {
                euc = kana = true;
                lastSjis = false;
            } else if (IsSjisTrail(c)) {
                lastSjis = true;
            } else {
                return Doubtful;
            }
            i += 2;
        } else if (b == 0x8F) {
            // A 0x8F that is the last byte is not a truncated end: its
            // second and third bytes are read from past the string.
            if (i == length - 2)
                return kana ? EucText : Undetermined;
            if (IsEucByte(c) && IsEucByte(bytes[i + 2])) {
                euc = true;
                i += 3;
            } else if (IsSjisTrail(c)) {
                lastSjis = true;
                i += 2;
            } else {
                return Doubtful;
            }
        } else if (b >= 0x81 && b <= 0x9F) {
            if (!IsSjisTrail(c))
                return Rejected;
            lastSjis = true;
            i += 2;
        } else {
            return Rejected;  // 0x80 or 0xA0
        }
    }
    return (euc || kana) ? EucText : Undetermined;
}

}  // namespace

int DetectEncoding(const uint8_t* bytes, int32_t length, int mode) {
    uint16_t mark = static_cast<uint16_t>(bytes[0] | bytes[1] << 8);
    if (mark == 0xFEFF)
        return Utf16LeBom;
    if (mark == 0xFFFE)
        return Utf16BeBom;
    if (bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF)
        return Utf8Bom;
    int r = ScanByteText(bytes, length, mode);
    if (r >= 0)
        return r;
    int32_t m = length;
    if (length > 2 && length % 2 == 0 && r != Rejected) {
        m = std::min(length, Utf16ScanLimit);
        r = ScanUtf16(bytes, m);
        if (r >= 0)
            return r;
    }
    return ScanEuc(bytes, m);
}
