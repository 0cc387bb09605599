#include "archive/context.h"

#include <cstdlib>
#include <cstring>

#include "jcode/work_areas.h"

ArchiveContext context;

void FreeArchiveTables() {
    std::free(context.pool);
    std::free(context.order);
    std::free(context.records);
    context.pool = nullptr;
    context.order = nullptr;
    context.records = nullptr;
    context.poolSize = 0;
}

void ResetArchiveContext() {
    FreeArchiveTables();
    std::memset(&context.endRecord, 0, sizeof context.endRecord);
    context.endRecord.commentText = context.commentBuffer;
    std::memset(context.commentBuffer, 0, sizeof context.commentBuffer);
    context.endRecordOffset = 0;
    context.zip64End = Zip64EndRecord{};
    context.zip64LocatorPresent = 0;
    context.directory = DirectoryExtent{};
    std::memset(context.banner, 0, sizeof context.banner);
    context.showDetails = 0;
    context.makeBackup = 0;
    context.suppressReport = 0;
    context.relaxedVersions = 0;
    context.targetEncoding = Ascii;
    context.archivePath.clear();
    context.listPath.clear();
    context.madeByVersion = 0;
    context.madeByHost = 0;
    context.nameEncoding = Ascii;
    context.hasEncrypted = 0;
    context.textNonAscii = 0;
    context.entryTextNonAscii = 0;
    context.commentLossy = 0;
    context.archiveIdentity = FileIdentity{};
    AllowLongTexts(false);
}
