#include "app/run_sequence.h"

#include <algorithm>
#include <cstring>

#include "app/command_line.h"
#include "archive/context.h"
#include "archive/reader.h"
#include "platform/console.h"
#include "report/report.h"
#include "rewrite/rewrite.h"

namespace {

void PrepareContextForRead() {
    std::memset(&context.endRecord, 0, sizeof context.endRecord);
    std::memset(context.commentBuffer, 0, sizeof context.commentBuffer);
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
    SortRecordOrder(entryCount);
    if (context.nameEncoding == Ascii)
        return 0;
    int errorDetail = 0;
    int r = RewriteArchiveNames(entryCount, &errorDetail);
    if (r != 0)
        PrintErrorLine(r, context.madeByVersion, errorDetail);
    return r;
}

}  // namespace

void SortRecordOrder(int entryCount) {
    if (entryCount < 2)
        return;
    std::stable_sort(context.order, context.order + entryCount,
                     [](const CentralRecord* a, const CentralRecord* b) {
                         return a->localHeaderOffset < b->localHeaderOffset;
                     });
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
    EndProcess(exitCode);
}
