#include "report/report_lines.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "archive/zip64_values.h"
#include "report/report.h"
#include "report/report_texts.h"

// The lines are assembled piece by piece rather than through printf: the
// listing of a large archive is dominated by formatting otherwise. The result
// is byte for byte what "%-48s%12s %12s %s\n" and "%s,%d,%d,%s,%s,%s\r\n" give,
// and a std::string grows to hold any name, so nothing can be overrun.

namespace {

constexpr size_t NameColumnWidth = 48;
constexpr size_t SizeColumnWidth = 12;

const char* NameOf(const CentralRecord& record) {
    return record.name ? record.name : "";
}

const char* YesNo(bool present) {
    return present ? PresentWord : AbsentWord;
}

// "%-{width}s": the text, then spaces up to `width`; a longer text is kept whole.
void AppendLeftAligned(std::string* out, const char* text, size_t width) {
    size_t length = std::strlen(text);
    out->append(text, length);
    if (length < width)
        out->append(width - length, ' ');
}

// "%{width}s": spaces up to `width`, then the text; a longer text is kept whole.
void AppendRightAligned(std::string* out, const char* text, size_t width) {
    size_t length = std::strlen(text);
    if (length < width)
        out->append(width - length, ' ');
    out->append(text, length);
}

// "%d".
void AppendInt(std::string* out, long long value) {
    char digits[24];
    std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, value);
    out->append(digits, static_cast<size_t>(r.ptr - digits));
}

void AppendUnsigned(std::string* out, uint64_t value) {
    char digits[24];
    std::to_chars_result r = std::to_chars(digits, digits + sizeof digits, value);
    out->append(digits, static_cast<size_t>(r.ptr - digits));
}

// "00" to "99", two characters each: a listing writes six pairs per row.
constexpr struct DigitPairs {
    char text[200];
    constexpr DigitPairs() : text() {
        for (int i = 0; i < 100; ++i) {
            text[2 * i] = static_cast<char>('0' + i / 10);
            text[2 * i + 1] = static_cast<char>('0' + i % 10);
        }
    }
} digitPairs;

// Two digits of `value` (below 100) at `at`.
void PutTwoDigits(char* at, unsigned value) {
    std::memcpy(at, digitPairs.text + 2 * value, 2);
}

void AppendLine(std::string* out, const char* label, const char* value, const char* lineEnd) {
    out->append(label);
    out->append(value);
    out->append(lineEnd);
}

void AppendNumberLine(std::string* out, const char* label, int value, const char* lineEnd) {
    out->append(label);
    AppendInt(out, value);
    out->append(lineEnd);
}

// The archive comment, or 無し when it is empty. The buffer is read only up to
// its end even if the terminating zero were missing.
void AppendCommentLine(std::string* out, const char* lineEnd) {
    size_t length = strnlen(context.commentBuffer, sizeof context.commentBuffer);
    out->append(CommentLabel);
    if (length == 0) {
        out->append(AbsentWord);
    } else {
        out->append(context.commentBuffer, length);
    }
    out->append(lineEnd);
}

}  // namespace

namespace {

// The widest row the direct path below writes: a name of up to this many
// bytes, the two size columns and the date with their separators.
constexpr size_t DirectRowNameLimit = 512;
constexpr size_t RowTailLength = SizeColumnWidth + 1 + SizeColumnWidth + 1 + 19 + 1;
// Sizes below this have at most 11 characters with their separators, so they
// fill their 12 columns from the right with at least one space before them.
constexpr uint32_t DirectSizeLimit = 1000000000;

// "%12s" of FormatThousands(value, ..., 1) at `field`, for value < DirectSizeLimit.
void PutSizeColumn(char* field, uint32_t value) {
    char* at = field + SizeColumnWidth;
    int digits = 0;
    do {
        if (digits == 3) {
            *--at = ',';
            digits = 0;
        }
        *--at = static_cast<char>('0' + value % 10);
        value /= 10;
        ++digits;
    } while (value != 0);
    std::memset(field, ' ', static_cast<size_t>(at - field));
}

bool HasUsualDate(const EntryInfo& entry) {
    return entry.year <= 9999 && entry.month <= 99 && entry.day <= 99 && entry.hour <= 99 &&
           entry.minute <= 99 && entry.second <= 99;
}

// "YYYY/MM/DD hh:mm:ss" at `at` for a date whose fields fit their digits.
void PutUsualDate(char* at, const EntryInfo& entry) {
    std::memcpy(at, "0000/00/00 00:00:00", 19);
    PutTwoDigits(at, entry.year / 100);
    PutTwoDigits(at + 2, entry.year % 100);
    PutTwoDigits(at + 5, entry.month);
    PutTwoDigits(at + 8, entry.day);
    PutTwoDigits(at + 11, entry.hour);
    PutTwoDigits(at + 14, entry.minute);
    PutTwoDigits(at + 17, entry.second);
}

// Writes the row in one piece when every column has its usual width, which is
// every row the reader produces but those of sizes of 1,000,000,000 or more
// and of names longer than DirectRowNameLimit. Returns false otherwise.
bool AppendUsualListingRow(std::string* out, const CentralRecord& record, const EntryInfo& entry) {
    if (record.compressedSize >= DirectSizeLimit || record.uncompressedSize >= DirectSizeLimit ||
        !HasUsualDate(entry))
        return false;
    const char* name = NameOf(record);
    size_t length = strnlen(name, DirectRowNameLimit + 1);
    if (length > DirectRowNameLimit)
        return false;
    char row[DirectRowNameLimit + RowTailLength];
    std::memcpy(row, name, length);
    size_t at = length;
    if (at < NameColumnWidth) {
        std::memset(row + at, ' ', NameColumnWidth - at);
        at = NameColumnWidth;
    }
    PutSizeColumn(row + at, record.compressedSize);
    at += SizeColumnWidth;
    row[at++] = ' ';
    PutSizeColumn(row + at, record.uncompressedSize);
    at += SizeColumnWidth;
    row[at++] = ' ';
    PutUsualDate(row + at, entry);
    at += 19;
    row[at++] = '\n';
    out->append(row, at);
    return true;
}

}  // namespace

void FormatEntryDate(const EntryInfo& entry, char (&text)[DateTextCapacity]) {
    if (!HasUsualDate(entry)) {
        std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", entry.year, entry.month,
                      entry.day, entry.hour, entry.minute, entry.second);
        return;
    }
    PutUsualDate(text, entry);
    text[19] = '\0';
}

void AppendDetailBlock(std::string* out, int entryCount, const char* lineEnd) {
    AppendLine(out, EncodingLabel, EncodingDisplayName(context.nameEncoding), lineEnd);
    AppendLine(out, PasswordLabel, YesNo(context.hasEncrypted != 0), lineEnd);
    AppendNumberLine(out, EntryCountLabel, entryCount, lineEnd);
    AppendNumberLine(out, VersionLabel, context.madeByVersion, lineEnd);
    AppendNumberLine(out, HostLabel, context.madeByHost, lineEnd);
    AppendCommentLine(out, lineEnd);
    out->append(lineEnd);
}

void AppendListingRow(std::string* out, const CentralRecord& record, const EntryInfo& entry) {
    if (AppendUsualListingRow(out, record, entry))
        return;
    // A record with ZIP64 values holds 0xFFFFFFFF for a size, so it always
    // comes here.
    const Zip64Values values = Zip64ValuesOf(record);
    char compressed[ThousandsCapacity];
    char uncompressed[ThousandsCapacity];
    char date[DateTextCapacity];
    FormatThousands(values.compressedSize, compressed, 1);
    FormatThousands(values.uncompressedSize, uncompressed, 1);
    FormatEntryDate(entry, date);
    AppendLeftAligned(out, NameOf(record), NameColumnWidth);
    AppendRightAligned(out, compressed, SizeColumnWidth);
    out->push_back(' ');
    AppendRightAligned(out, uncompressed, SizeColumnWidth);
    out->push_back(' ');
    out->append(date);
    out->push_back('\n');
}

void AppendListFileLine(std::string* out, const CentralRecord& record, const EntryInfo& entry) {
    char date[DateTextCapacity];
    FormatEntryDate(entry, date);
    out->append(NameOf(record));
    out->push_back(',');
    if (context.relaxedVersions) {
        const Zip64Values values = Zip64ValuesOf(record);
        AppendUnsigned(out, values.compressedSize);
        out->push_back(',');
        AppendUnsigned(out, values.uncompressedSize);
    } else {
        AppendInt(out, static_cast<int32_t>(record.compressedSize));
        out->push_back(',');
        AppendInt(out, static_cast<int32_t>(record.uncompressedSize));
    }
    out->push_back(',');
    out->append(date);
    out->push_back(',');
    out->append(ExtraFieldLabel);
    out->append(YesNo(record.extraLength > 0));
    out->push_back(',');
    out->append(EntryCommentLabel);
    out->append(YesNo(record.commentLength > 0));
    out->append("\r\n");
}
