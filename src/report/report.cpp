#include "report/report.h"

#include <cerrno>
#include <cstdio>
#include <string>

#include "archive/context.h"
#include "archive/records.h"
#include "platform/console.h"
#include "platform/file.h"
#include "report/report_lines.h"
#include "report/report_texts.h"

namespace {

// Lines are gathered and handed on in blocks of about this size.
constexpr size_t BlockSize = 64 * 1024;

bool WriteBlock(std::FILE* file, const std::string& block) {
    return std::fwrite(block.data(), 1, block.size(), file) == block.size();
}

// True when `listPath` designates the same file as the archive that was read.
bool ListPathIsArchive() {
    return SameFile(context.listPath.c_str(), context.archivePath.c_str());
}

}  // namespace

char* FormatThousands(uint64_t value, char* buffer, int withSeparators) {
    char reversed[ThousandsCapacity];
    size_t length = 0;
    int digits = 0;
    do {
        reversed[length++] = static_cast<char>('0' + value % 10);
        value /= 10;
        ++digits;
        if (withSeparators == 1 && digits % 3 == 0 && value != 0)
            reversed[length++] = ',';
    } while (value != 0);
    for (size_t i = 0; i < length; ++i)
        buffer[i] = reversed[length - 1 - i];
    buffer[length] = '\0';
    return buffer;
}

void PrintReport(int entryCount) {
    std::string block;
    block.reserve(BlockSize + 1024);
    if (context.showDetails == 1)
        AppendDetailBlock(&block, entryCount, "\n");
    block.append(ListingHeader);
    for (int i = 0; i < entryCount; ++i) {
        AppendListingRow(&block, context.records[i], EntryInfoOf(context.records[i]));
        if (block.size() >= BlockSize) {
            ConsoleWrite(block);
            block.clear();
        }
    }
    ConsoleWrite(block);
}

int WriteListFile(int entryCount, int* errorDetail) {
    if (ListPathIsArchive()) {
        *errorDetail = 0;
        return ListFileIsArchive;
    }
    std::FILE* file = OpenForWriting(context.listPath.c_str());
    if (!file) {
        *errorDetail = errno;
        return ListFileNotOpened;
    }
    std::string block;
    block.reserve(BlockSize + 1024);
    if (context.showDetails == 1)
        AppendDetailBlock(&block, entryCount, "\r\n");
    bool written = true;
    for (int i = 0; i < entryCount && written; ++i) {
        AppendListFileLine(&block, context.records[i], EntryInfoOf(context.records[i]));
        if (block.size() >= BlockSize) {
            written = WriteBlock(file, block);
            block.clear();
        }
    }
    if (written)
        written = WriteBlock(file, block) && std::fflush(file) == 0;
    int writeError = errno;
    bool closed = std::fclose(file) == 0;
    if (!written || !closed) {
        *errorDetail = written ? errno : writeError;
        return ListFileNotWritten;
    }
    return ListFileWritten;
}
