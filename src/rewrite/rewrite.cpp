#include "rewrite/rewrite.h"

#include <string>

#include "archive/context.h"
#include "platform/fileio.h"
#include "rewrite/archive_writer.h"
#include "rewrite/layout_check.h"
#include "rewrite/read_back.h"
#include "rewrite/rewrite_plan.h"

namespace {

// A build without the read-back exists only to time its cost side by side.
#ifdef ARCPEEK_NO_READ_BACK
constexpr bool ReadBackNewArchives = false;
#else
constexpr bool ReadBackNewArchives = true;
#endif

struct RewritePaths {
    std::string archive;     // as given on the command line
    std::string target;      // the file itself, symbolic links resolved
    std::string temp;        // archive + ".temp"
    std::string backup;      // archive + ".back"
    std::string backupTemp;  // archive + ".temp.back": the backup until it is complete
};

// The files of one rewrite. The archive is open, and locked, from the first
// file operation to the end; every read of it goes through this handle.
// `ownsTemp` is set once the lock is held on the file that was read: from
// then on a file at the temporary path is this run's or a leftover of a run
// that died, never one that another live run is writing.
struct RewriteFiles {
    FileHandle archive;
    FileHandle temp;
    bool ownsTemp = false;

    ~RewriteFiles() {
        CloseFile(&temp);
        CloseFile(&archive);
    }
};

int Failed(int code, int ioResult, int* detail) {
    *detail = ioResult > 0 ? ioResult : 0;
    return code;
}

// `path` still names the file that was read, unchanged: not replaced,
// rewritten, appended to or removed since.
int CheckPathNamesArchive(const std::string& path, int* detail) {
    FileIdentity now;
    int io = PathIdentity(path.c_str(), &now);
    if (io != 0)
        return Failed(ArchiveChanged, io, detail);
    if (!SameFileIdentity(now, context.archiveIdentity))
        return Failed(ArchiveChanged, 0, detail);
    return 0;
}

// Resolving or opening the archive's path failed with `io`. Where the path
// no longer names the file that was read (removed, or for a moment nothing
// while another run replaces the archive in two renames, as it must where the
// system renames no other way), the archive has changed: 78, as when it was
// replaced. Otherwise the step failed: 41.
int ArchiveChangedOrOpenFailed(const std::string& path, int io, int* detail) {
    int changed = CheckPathNamesArchive(path, detail);
    return changed != 0 ? changed : Failed(ArchiveOpenFailed, io, detail);
}

int ResolvePaths(RewritePaths* paths, int* detail) {
    paths->archive = context.archivePath;
    paths->temp = paths->archive + ".temp";
    paths->backup = paths->archive + ".back";
    paths->backupTemp = paths->archive + ".temp.back";
    int io = ResolveFilePath(paths->archive.c_str(), &paths->target);
    if (io != 0)
        return ArchiveChangedOrOpenFailed(paths->archive, io, detail);
    return 0;
}

// Opens and locks the archive, and makes sure that the locked file is the
// one that was read and that its path still names it: a run that read a file
// another run has since replaced stops here, before it touches anything.
int OpenAndLockArchive(const RewritePaths& paths, RewriteFiles* files, int* detail) {
    int io = OpenForReading(paths.target.c_str(), &files->archive);
    if (io != 0)
        return ArchiveChangedOrOpenFailed(paths.target, io, detail);
    io = LockExclusive(files->archive);
    if (io == FileBusy)
        return Failed(ArchiveBusy, 0, detail);
    if (io != 0)
        return Failed(ArchiveOpenFailed, io, detail);
    FileIdentity locked;
    io = HandleIdentity(files->archive, &locked);
    if (io != 0)
        return Failed(ArchiveOpenFailed, io, detail);
    if (!SameFileIdentity(locked, context.archiveIdentity))
        return Failed(ArchiveChanged, 0, detail);
    int r = CheckPathNamesArchive(paths.target, detail);
    if (r == 0)
        files->ownsTemp = true;
    return r;
}

// Copies the archive to `path`: sharing its blocks where the file system
// can, else in full; flushed to disk.
int CopyArchive(FileHandle archive, const std::string& path) {
    FileHandle copy;
    int io = CreateFreshFile(path.c_str(), &copy);
    if (io == 0)
        io = CopyWholeFile(archive, copy);
    if (io == 0)
        io = CopyPermissions(archive, copy);
    if (io == 0)
        io = FlushToDisk(copy);
    CloseFile(&copy);
    return io;
}

// Makes the archive as it was the backup. The rewrite never changes the
// archive's file, it replaces it: so the backup is the original file itself
// under a second name, where the file system allows, and a copy elsewhere.
// It is made under a temporary name and renamed over an earlier backup, which
// is thus replaced only by a complete one. The temporary name is removed
// whatever happens (a rename between two names of one file leaves it).
int MakeBackup(FileHandle archive, const RewritePaths& paths, int* detail) {
    RemoveFile(paths.backupTemp.c_str());  // a leftover of a run that died
    int io = LinkFile(paths.target.c_str(), paths.backupTemp.c_str());
    if (io == NoLinkHere)
        io = CopyArchive(archive, paths.backupTemp);
    if (io == 0)
        io = ReplaceFileAtomically(paths.backupTemp.c_str(), paths.backup.c_str());
    RemoveFile(paths.backupTemp.c_str());
    if (io != 0)
        return Failed(BackupFailed, io, detail);
    return 0;
}

int CreateTemp(const RewritePaths& paths, RewriteFiles* files, int* detail) {
    int io = CreateFreshFile(paths.temp.c_str(), &files->temp);
    if (io != 0)
        return Failed(TempCreateFailed, io, detail);
    return 0;
}

// Finishes the temporary file: the archive's permission bits, then flushed
// to disk and closed, ready to be read back.
int FinishTemporaryFile(RewriteFiles* files, int* detail) {
    int io = CopyPermissions(files->archive, files->temp);
    if (io != 0)
        return Failed(ReplaceFailed, io, detail);
    io = FlushToDisk(files->temp);
    if (io != 0)
        return Failed(TempFlushFailed, io, detail);
    CloseFile(&files->temp);
    return 0;
}

// Puts the finished and proven temporary file in the place of the archive:
// if the archive is still the file that was read, renamed over it while the
// lock is held. With -b the archive becomes the backup just before that
// rename; a backup that cannot be made stops the rewrite with the archive
// unchanged.
int InstallTemporaryFile(RewriteFiles* files, const RewritePaths& paths, int* detail) {
    int r = CheckPathNamesArchive(paths.target, detail);
    if (r == 0 && context.makeBackup)
        r = MakeBackup(files->archive, paths, detail);
    if (r != 0)
        return r;
    int io = ReplaceFileAtomically(paths.temp.c_str(), paths.target.c_str());
    if (io != 0)
        return Failed(ReplaceFailed, io, detail);
    return 0;
}

// Some entry name or comment changes: the archive is written anew.
int RewriteWholeArchive(int entryCount, const RewritePaths& paths, RewriteFiles* files,
                        int* detail) {
    RewritePlan plan;
    int r = BuildRewritePlan(entryCount, &plan);
    if (r == 0)
        r = CheckDirectoryLayout(entryCount);
    if (r == 0)
        r = OpenAndLockArchive(paths, files, detail);
    if (r == 0)
        r = CreateTemp(paths, files, detail);
    if (r == 0)
        r = WriteNewArchive(&plan, files->archive, files->temp, detail);
    if (r == 0)
        r = FinishTemporaryFile(files, detail);
    if (r == 0 && ReadBackNewArchives)
        r = ReadBackNewArchive(paths.temp.c_str(), plan, detail);
    if (r == 0)
        r = InstallTemporaryFile(files, paths, detail);
    FreeRewritePlan(&plan);
    return r;
}

// Only the archive comment changes: a copy of the archive gets a new end
// record and comment.
int RewriteCommentOnly(const RewritePaths& paths, RewriteFiles* files, int* detail) {
    static char checked[NewTextLimitRelaxed + 1];
    int length = 0;
    int r = context.endRecord.commentLength > 0 ? ConvertArchiveComment(checked, &length) : 0;
    if (r == 0)
        r = CheckDirectoryEndsBeforeEndRecord();
    if (r == 0)
        r = OpenAndLockArchive(paths, files, detail);
    if (r == 0)
        r = CreateTemp(paths, files, detail);
    if (r == 0) {
        int io = CopyWholeFile(files->archive, files->temp);
        if (io != 0)
            r = Failed(TempCopyFailed, io, detail);
    }
    CloseFile(&files->temp);
    if (r == 0)
        r = RewriteEndRecord(paths.temp.c_str(), detail);
    if (r == 0) {
        int io = OpenForUpdate(paths.temp.c_str(), &files->temp);
        if (io != 0)
            r = Failed(TempFlushFailed, io, detail);
    }
    if (r == 0)
        r = FinishTemporaryFile(files, detail);
    if (r == 0 && ReadBackNewArchives)
        r = ReadBackEndRecord(paths.temp.c_str(), detail);
    if (r == 0)
        r = InstallTemporaryFile(files, paths, detail);
    return r;
}

}  // namespace

int RewriteArchiveNames(int entryCount, int* errorDetail) {
    int detail = 0;
    RewritePaths paths;
    RewriteFiles files;
    int r = ResolvePaths(&paths, &detail);
    if (r == 0) {
        r = context.entryTextNonAscii ? RewriteWholeArchive(entryCount, paths, &files, &detail)
                                      : RewriteCommentOnly(paths, &files, &detail);
    }
    if (r != 0) {
        CloseFile(&files.temp);
        if (files.ownsTemp)
            RemoveFile(paths.temp.c_str());
        *errorDetail = detail;
    }
    return r;
}
