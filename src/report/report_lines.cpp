#include "report/report_lines.h"

#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "report/report.h"
#include "report/report_texts.h"

namespace {

// Most lines fit this; a longer one is formatted again with the room it needs.
constexpr size_t UsualLineRoom = 512;

// Formats like printf and appends the text to `out`, however long it is.
__attribute__((format(printf, 2, 3))) void AppendFormatted(std::string* out, const char* format,
                                                           ...) {
    size_t start = out->size();
    out->resize(start + UsualLineRoom);
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    int n = std::vsnprintf(out->data() + start, UsualLineRoom, format, args);
    va_end(args);
    if (n < 0) {
        out->resize(start);
    } else {
        size_t length = static_cast<size_t>(n);
        if (length >= UsualLineRoom) {
            out->resize(start + length + 1);
            std::vsnprintf(out->data() + start, length + 1, format, again);
        }
        out->resize(start + length);
    }
    va_end(again);
}

const char* NameOf(const CentralRecord& record) {
    return record.name ? record.name : "";
}

const char* YesNo(bool present) {
    return present ? PresentWord : AbsentWord;
}

void AppendLine(std::string* out, const char* label, const char* value, const char* lineEnd) {
    out->append(label);
    out->append(value);
    out->append(lineEnd);
}

void AppendNumberLine(std::string* out, const char* label, int value, const char* lineEnd) {
    AppendFormatted(out, "%s%d%s", label, value, lineEnd);
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
    std::snprintf(text, sizeof text, "%04d/%02d/%02d %02d:%02d:%02d", entry.year, entry.month,
                  entry.day, entry.hour, entry.minute, entry.second);
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
    AppendFormatted(out, "%-48s%12s %12s %s\n", NameOf(record), compressed, uncompressed, date);
}

void AppendListFileLine(std::string* out, const CentralRecord& record, const EntryInfo& entry) {
    char date[DateTextCapacity];
    FormatEntryDate(entry, date);
    AppendFormatted(out, "%s,%d,%d,%s,%s%s,%s%s\r\n", NameOf(record),
                    static_cast<int32_t>(record.compressedSize),
                    static_cast<int32_t>(record.uncompressedSize), date, ExtraFieldLabel,
                    YesNo(record.extraLength > 0), EntryCommentLabel,
                    YesNo(record.commentLength > 0));
}
