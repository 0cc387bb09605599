#include "rewrite/rewrite.h"

#include <string>

#include "archive/context.h"
#include "platform/fileio.h"
#include "rewrite/archive_writer.h"
#include "rewrite/layout_check.h"
#include "rewrite/rewrite_plan.h"

namespace {

struct RewritePaths {
    std::string archive;  // as given on the command line
    std::string target;   // the file itself, symbolic links resolved
    std::string temp;     // archive + ".temp"
    std::string backup;   // archive + ".back"
};

int Failed(int code, int ioResult, int* detail) {
    *detail = ioResult > 0 ? ioResult : 0;
    return code;
}

int ResolvePaths(RewritePaths* paths, int* detail) {
    paths->archive = context.archivePath;
    paths->temp = paths->archive + ".temp";
    paths->backup = paths->archive + ".back";
    int io = ResolveFilePath(paths->archive.c_str(), &paths->target);
    if (io != 0)
        return Failed(ArchiveOpenFailed, io, detail);
    return 0;
}

// Copies the archive to the backup path by way of the temporary file, so
// that an earlier backup is replaced only by a complete copy on disk.
int MakeBackup(const RewritePaths& paths, int* detail) {
    FileHandle archive;
    FileHandle copy;
    int io = OpenForReading(paths.archive.c_str(), &archive);
    if (io == 0)
        io = CreateFreshFile(paths.temp.c_str(), &copy);
    if (io == 0)
        io = CopyWholeFile(archive, copy);
    if (io == 0)
        io = CopyPermissions(archive, copy);
    if (io == 0)
        io = FlushToDisk(copy);
    CloseFile(&copy);
    CloseFile(&archive);
    if (io == 0)
        io = ReplaceFileAtomically(paths.temp.c_str(), paths.backup.c_str());
    if (io != 0)
        return Failed(BackupFailed, io, detail);
    return 0;
}

int OpenArchiveAndTemp(const RewritePaths& paths, FileHandle* archive, FileHandle* temp,
                       int* detail) {
    int io = OpenForReading(paths.archive.c_str(), archive);
    if (io != 0)
        return Failed(ArchiveOpenFailed, io, detail);
    io = CreateFreshFile(paths.temp.c_str(), temp);
    if (io != 0)
        return Failed(TempCreateFailed, io, detail);
    return 0;
}

// Puts the finished temporary file in the place of the archive: with the
// archive's permission bits, flushed to disk, then renamed over the file.
// Both files are closed before the rename, as the replacement requires.
int CommitTemporaryFile(FileHandle* archive, FileHandle* temp, const RewritePaths& paths,
                        int* detail) {
    int io = CopyPermissions(*archive, *temp);
    if (io != 0)
        return Failed(ReplaceFailed, io, detail);
    io = FlushToDisk(*temp);
    if (io != 0)
        return Failed(TempFlushFailed, io, detail);
    CloseFile(temp);
    CloseFile(archive);
    io = ReplaceFileAtomically(paths.temp.c_str(), paths.target.c_str());
    if (io != 0)
        return Failed(ReplaceFailed, io, detail);
    return 0;
}

// Some entry name or comment changes: the archive is written anew.
int RewriteWholeArchive(int entryCount, const RewritePaths& paths, int* detail) {
    RewritePlan plan;
    int r = BuildRewritePlan(entryCount, &plan);
    if (r != 0)
        return r;
    r = CheckDirectoryLayout(entryCount);
    if (r == 0 && context.makeBackup)
        r = MakeBackup(paths, detail);
    FileHandle archive;
    FileHandle temp;
    if (r == 0)
        r = OpenArchiveAndTemp(paths, &archive, &temp, detail);
    if (r == 0)
        r = WriteNewArchive(&plan, archive, temp, detail);
    if (r == 0)
        r = CommitTemporaryFile(&archive, &temp, paths, detail);
    CloseFile(&temp);
    CloseFile(&archive);
    FreeRewritePlan(&plan);
    return r;
}

// Only the archive comment changes: a copy of the archive gets a new end
// record and comment.
int RewriteCommentOnly(const RewritePaths& paths, int* detail) {
    static char checked[NewCommentLimit + 1];
    int length = 0;
    int r = context.commentBuffer[0] != '\0' ? ConvertArchiveComment(checked, &length) : 0;
    if (r == 0 && context.makeBackup)
        r = MakeBackup(paths, detail);
    FileHandle archive;
    FileHandle temp;
    if (r == 0)
        r = OpenArchiveAndTemp(paths, &archive, &temp, detail);
    if (r == 0) {
        int io = CopyWholeFile(archive, temp);
        if (io != 0)
            r = Failed(TempCopyFailed, io, detail);
    }
    CloseFile(&temp);
    if (r == 0)
        r = RewriteEndRecord(paths.temp.c_str(), detail);
    if (r == 0) {
        int io = OpenForUpdate(paths.temp.c_str(), &temp);
        if (io != 0)
            r = Failed(TempFlushFailed, io, detail);
    }
    if (r == 0)
        r = CommitTemporaryFile(&archive, &temp, paths, detail);
    CloseFile(&temp);
    CloseFile(&archive);
    return r;
}

}  // namespace

int RewriteArchiveNames(int entryCount, int* errorDetail) {
    int detail = 0;
    RewritePaths paths;
    int r = ResolvePaths(&paths, &detail);
    if (r == 0) {
        r = context.entryTextNonAscii ? RewriteWholeArchive(entryCount, paths, &detail)
                                      : RewriteCommentOnly(paths, &detail);
    }
    if (r != 0) {
        RemoveFile(paths.temp.c_str());
        *errorDetail = detail;
    }
    return r;
}
