#include "report/report_lines.h"

#include <charconv>
#include <cstdint>
#include <cstdio>
#include <cstring>

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

// Two digits of `value` (below 100) at `at`.
void PutTwoDigits(char* at, unsigned value) {
    at[0] = static_cast<char>('0' + value / 10);
    at[1] = static_cast<char>('0' + value % 10);
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

void FormatEntryDate(const EntryInfo& entry, char (&text)[DateTextCapacity]) {
    bool usual = entry.year <= 9999 && entry.month <= 99 && entry.day <= 99 && entry.hour <= 99 &&
                 entry.minute <= 99 && entry.second <= 99;
    if (!usual) {
        std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", entry.year, entry.month,
                      entry.day, entry.hour, entry.minute, entry.second);
        return;
    }
    std::memcpy(text, "0000/00/00 00:00:00", 20);
    PutTwoDigits(text, entry.year / 100);
    PutTwoDigits(text + 2, entry.year % 100);
    PutTwoDigits(text + 5, entry.month);
    PutTwoDigits(text + 8, entry.day);
    PutTwoDigits(text + 11, entry.hour);
    PutTwoDigits(text + 14, entry.minute);
    PutTwoDigits(text + 17, entry.second);
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
    char compressed[ThousandsCapacity];
    char uncompressed[ThousandsCapacity];
    char date[DateTextCapacity];
    FormatThousands(record.compressedSize, compressed, 1);
    FormatThousands(record.uncompressedSize, uncompressed, 1);
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
    AppendInt(out, static_cast<int32_t>(record.compressedSize));
    out->push_back(',');
    AppendInt(out, static_cast<int32_t>(record.uncompressedSize));
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
