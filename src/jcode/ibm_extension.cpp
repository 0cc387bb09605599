#include "jcode/ibm_extension.h"

#include "platform/codepage.h"

namespace {

constexpr int IbmLeadCount = (LastIbmExtensionCode >> 8) - (FirstIbmExtensionCode >> 8) + 1;

bool IsLeadByte(uint8_t b) {
    return (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
}

bool IsTrailByte(uint8_t b) {
    return (b >= 0x40 && b <= 0x7E) || (b >= 0x80 && b <= 0xFC);
}

bool IsIbmExtensionCode(uint16_t code) {
    return code >= FirstIbmExtensionCode && code <= LastIbmExtensionCode;
}

// The one UTF-16 unit of a double-byte code; 0 when it holds no character.
char16_t UnitOf(uint16_t code) {
    const char bytes[2] = {static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
    char16_t unit = 0;
    size_t written = 0;
    bool replaced = false;
    CodePage932ToUtf16(bytes, 2, &unit, 1, &written, &replaced);
    return written == 1 && !replaced ? unit : 0;
}

// Lead bytes of the rows searched for other codes, in ascending order so that
// the lowest code of a character is found first: JIS X 0208 non-kanji, the
// NEC special row, JIS X 0208 kanji, the NEC-selected IBM extension.
struct LeadRange {
    uint8_t first;
    uint8_t last;
};
constexpr LeadRange OtherRows[] = {
    {0x81, 0x84}, {0x87, 0x87}, {0x88, 0x9F}, {0xE0, 0xEA}, {0xED, 0xEE}};

// The other code of every IBM extension code, by lead byte and trail byte.
struct IbmTable {
    uint16_t other[IbmLeadCount][256];
};

IbmTable BuildTable() {
    // The lowest other code of every character, by its UTF-16 unit.
    static uint16_t otherCodeOfUnit[0x10000];
    for (const LeadRange& rows : OtherRows) {
        for (uint32_t lead = rows.first; lead <= rows.last; ++lead) {
            for (uint32_t trail = 0x40; trail <= 0xFC; ++trail) {
                if (!IsTrailByte(static_cast<uint8_t>(trail)))
                    continue;
                const auto code = static_cast<uint16_t>(lead << 8 | trail);
                const char16_t unit = UnitOf(code);
                if (unit != 0 && otherCodeOfUnit[unit] == 0)
                    otherCodeOfUnit[unit] = code;
            }
        }
    }
    IbmTable table{};
    for (uint32_t code = FirstIbmExtensionCode; code <= LastIbmExtensionCode; ++code) {
        if (!IsTrailByte(static_cast<uint8_t>(code & 0xFF)))
            continue;
        const char16_t unit = UnitOf(static_cast<uint16_t>(code));
        if (unit != 0)
            table.other[(code >> 8) - (FirstIbmExtensionCode >> 8)][code & 0xFF] =
                otherCodeOfUnit[unit];
    }
    return table;
}

}  // namespace

uint16_t OtherCodeOfIbmExtension(uint16_t code) {
    if (!IsIbmExtensionCode(code))
        return 0;
    static const IbmTable table = BuildTable();
    return table.other[(code >> 8) - (FirstIbmExtensionCode >> 8)][code & 0xFF];
}

void ReplaceIbmExtensionCodes(char* text) {
    auto* p = reinterpret_cast<uint8_t*>(text);
    while (*p != 0) {
        if (!IsLeadByte(p[0]) || !IsTrailByte(p[1])) {
            ++p;
            continue;
        }
        if (p[0] < (FirstIbmExtensionCode >> 8)) {  // no extension code: nothing to look up
            p += 2;
            continue;
        }
        const uint16_t other = OtherCodeOfIbmExtension(static_cast<uint16_t>(p[0] << 8 | p[1]));
        if (other != 0) {
            p[0] = static_cast<uint8_t>(other >> 8);
            p[1] = static_cast<uint8_t>(other & 0xFF);
        }
        p += 2;
    }
}
