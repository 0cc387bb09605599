// The end record rewrite of the comment-only path: in a byte copy of the
// archive, the end record is written anew with the archive comment in the
// target encoding, and the file ends right after the comment.
#include <cstdint>
#include <cstring>

#include "archive/context.h"
#include "archive/records.h"
#include "platform/fileio.h"
#include "rewrite/layout_check.h"
#include "rewrite/read_back.h"
#include "rewrite/rewrite.h"
#include "rewrite/rewrite_plan.h"

namespace {

char commentOutput[NewTextLimitRelaxed + 1];
// What RewriteEndRecord last wrote, for its read-back.
uint8_t writtenRecord[EndRecordSize];
int writtenCommentLength = -1;

int Failed(int code, int ioResult, int* errorDetail) {
    *errorDetail = ioResult > 0 ? ioResult : 0;
    return code;
}

// Writes the end record and the comment at the end record's offset and cuts
// the file there.
int WriteEndRecordAt(FileHandle file, const uint8_t* record, int commentLength, int* errorDetail) {
    if (context.endRecordOffset < 0)
        return Failed(CommentOnlySeekFailed, 0, errorDetail);
    int io = SeekTo(file, static_cast<uint64_t>(context.endRecordOffset));
    if (io != 0)
        return Failed(CommentOnlySeekFailed, io, errorDetail);
    io = WriteAll(file, record, EndRecordSize);
    if (io != 0)
        return Failed(CommentOnlyEndFailed, io, errorDetail);
    io = WriteAll(file, commentOutput, static_cast<size_t>(commentLength));
    if (io != 0)
        return Failed(CommentOnlyTextFailed, io, errorDetail);
    io = SetEndOfFileHere(file);
    if (io != 0)
        return Failed(CommentOnlyCutFailed, io, errorDetail);
    return 0;
}

}  // namespace

int RewriteEndRecord(const char* path, int* errorDetail) {
    writtenCommentLength = -1;
    if (context.endRecord.commentLength == 0)
        return 0;
    int commentLength = 0;
    int r = ConvertArchiveComment(commentOutput, &commentLength);
    if (r != 0)
        return Failed(r, 0, errorDetail);

    EndRecord end = context.endRecord;
    end.commentLength = static_cast<uint16_t>(commentLength);
    uint8_t record[EndRecordSize];
    StoreEndRecord(end, record);

    // The directory before the end record stays as it is; a comment of
    // another length moves the window in which the search finds the record.
    if (!EndRecordFoundWhereWritten(context.endRecordLead, context.endRecordLeadLength, record,
                                    reinterpret_cast<const uint8_t*>(commentOutput),
                                    static_cast<size_t>(commentLength))) {
        return Failed(LayoutUnsupported, 0, errorDetail);
    }
    FileHandle file;
    int io = OpenForUpdate(path, &file);
    if (io != 0)
        return Failed(CommentOnlyOpenFailed, io, errorDetail);
    r = WriteEndRecordAt(file, record, commentLength, errorDetail);
    CloseFile(&file);
    if (r == 0) {
        std::memcpy(writtenRecord, record, EndRecordSize);
        writtenCommentLength = commentLength;
    }
    return r;
}

int ReadBackEndRecord(const char* path, int* errorDetail) {
    if (writtenCommentLength < 0 || context.endRecordOffset < 0)
        return 0;  // nothing was written: the file is the archive's byte copy
    return ReadBackNewEndRecord(
        path, static_cast<uint64_t>(context.endRecordOffset), writtenRecord,
        reinterpret_cast<const uint8_t*>(commentOutput), static_cast<size_t>(writtenCommentLength),
        context.zip64End.present ? &context.zip64End : nullptr, errorDetail);
}
