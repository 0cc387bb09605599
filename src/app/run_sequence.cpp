#include "app/run_sequence.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "app/command_line.h"
#include "archive/context.h"
#include "archive/reader.h"
#include "archive/zip64_values.h"
#include "platform/console.h"
#include "platform/memory.h"
#include "report/report.h"
#include "rewrite/rewrite.h"

namespace {

void PrepareContextForRead() {
    std::memset(&context.endRecord, 0, sizeof context.endRecord);
    // The reader terminates the comment it holds; the buffer, large enough
    // for any comment -r reads, is not cleared whole, so that a listing
    // touches only the part of it that a comment fills.
    context.commentBuffer[0] = '\0';
    context.endRecord.commentText = context.commentBuffer;
}

// The list file if one was named, else the console report unless silenced.
void RunReportStage(int entryCount) {
    if (!context.listPath.empty()) {
        int errorDetail = 0;
        int r = WriteListFile(entryCount, &errorDetail);
        if (r != 0) {
            ConsoleWrite(context.banner);
            PrintErrorLine(r, context.madeByVersion, errorDetail);
        }
    } else if (!context.suppressReport) {
        ConsoleWrite(context.banner);
        PrintReport(entryCount);
    }
}

bool ReEncodingWanted() {
    return context.textNonAscii && context.targetEncoding != Ascii &&
           context.targetEncoding != context.nameEncoding;
}

// Returns the exit code of the re-encoding stage.
int RunReEncodingStage(int entryCount) {
    if (context.nameEncoding == Ascii)
        return 0;
    int errorDetail = 0;
    int r = SortRecordOrder(entryCount, &errorDetail);
    if (r == 0)
        r = RewriteArchiveNames(entryCount, &errorDetail);
    if (r != 0)
        PrintErrorLine(r, context.madeByVersion, errorDetail);
    return r;
}

}  // namespace

int SortRecordOrder(int entryCount, int* errorDetail) {
    if (entryCount < 1)
        return 0;
    if (!context.order) {
        errno = 0;
        const size_t bytes = static_cast<size_t>(entryCount) * sizeof(CentralRecord*);
        context.order = static_cast<CentralRecord**>(AllocateTable(bytes, TableSpeedFirst));
        if (!context.order) {
            *errorDetail = errno;
            return 17;
        }
    }
    for (int i = 0; i < entryCount; ++i)
        context.order[i] = &context.records[i];
    auto byOffset = [](const CentralRecord* a, const CentralRecord* b) {
        return LocalHeaderOffsetOf(*a) < LocalHeaderOffsetOf(*b);
    };
    // Most directories list their entries in the order of the data already;
    // a stable sort would still merge them all.
    if (!std::is_sorted(context.order, context.order + entryCount, byOffset))
        std::stable_sort(context.order, context.order + entryCount, byOffset);
    return 0;
}

int RunArchiveStages() {
    PrepareContextForRead();
    int entryCount = 0;
    int errorDetail = 0;
    int exitCode = ReadArchiveDirectory(context.archivePath.c_str(), &entryCount, &errorDetail);
    if (exitCode != 0) {
        ConsoleWrite(context.banner);
        PrintErrorLine(exitCode, context.madeByVersion, errorDetail);
        return exitCode;
    }
    RunReportStage(entryCount);
    if (ReEncodingWanted())
        exitCode = RunReEncodingStage(entryCount);
    return exitCode;
}

void RunArcpeek(int argc, char** argv) {
    SelectJapaneseLocale();
    BuildBanner();
    if (argc <= 1)
        ShowUsageAndExit(1);
    for (int i = 1; i < argc; ++i)
        ParseArgument(argv[i]);

    int exitCode = RunArchiveStages();
    FreeArchiveTables();
    EndRun(exitCode);
}
