// Re-encoding rewrite: stores the archive anew with every name and comment in
// the target encoding, through a temporary file that replaces the archive
// atomically only when it is complete and on disk. The archive itself is
// never written; on every failure it stays as it was and the temporary file
// is removed. The archive is locked for the whole rewrite, and it is replaced
// only while it is still the file that was read: a rewrite never overwrites
// another program's change, and two rewrites never share a temporary file.
#pragma once

// Result codes of the rewrite. 31-35 belong to the end record rewrite, 41-62
// to the steps of the full rewrite; errorDetail receives the system's error
// number where a system call failed, 0 for a short transfer or a refusal.
enum RewriteResult : int {
    CommentOnlyOpenFailed = 31,  // opening the copy whose end record is rewritten
    CommentOnlySeekFailed = 32,  // positioning at the end record
    CommentOnlyEndFailed = 33,   // writing the 22-byte end record
    CommentOnlyTextFailed = 34,  // writing the archive comment
    CommentOnlyCutFailed = 35,   // ending the file after the comment

    ArchiveOpenFailed = 41,           // opening the archive for reading
    TempCreateFailed = 42,            // creating the temporary file
    LocalHeaderReadFailed = 43,       // reading a 30-byte local header
    LocalNameReadFailed = 44,         // reading a local name
    LocalExtraReadFailed = 45,        // reading a local extra field
    LocalHeaderWriteFailed = 46,      // writing a local header
    LocalNameWriteFailed = 47,        // writing a name in the local header
    LocalExtraWriteFailed = 48,       // writing a local extra field
    DataReadFailed = 49,              // reading file data
    DataWriteFailed = 50,             // writing file data
    CentralHeaderWriteFailed = 51,    // writing a 46-byte central directory header
    CentralNameWriteFailed = 52,      // writing a name in the central directory
    CentralExtraWriteFailed = 53,     // writing a central extra field
    EntryCommentWriteFailed = 54,     // writing an entry comment
    EndRecordWriteFailed = 55,        // writing the end record of the new archive
    ArchiveCommentWriteFailed = 56,   // writing the archive comment of the new archive
    DescriptorStartReadFailed = 57,   // reading the first 4 bytes of a data descriptor
    DescriptorStartWriteFailed = 58,  // writing them
    DescriptorCrcReadFailed = 59,     // reading the CRC-32 after a descriptor signature
    DescriptorCrcWriteFailed = 60,    // writing it
    DescriptorSizesReadFailed = 61,   // reading the two sizes of a data descriptor
    DescriptorSizesWriteFailed = 62,  // writing them

    BackupFailed = 63,     // -b: the backup could not be made; nothing was changed
    TempFlushFailed = 64,  // the temporary file could not be flushed to disk
    ReplaceFailed = 65,    // the archive could not be replaced by the temporary file
    TempCopyFailed = 66,   // copying the archive to the temporary file failed or came out short
    LayoutUnsupported =
        67,  // local sections do not follow each other from offset 0 to the directory
    BadLocalSignature = 68,   // a local header does not start with 50 4B 03 04
    Zip64Unsupported = 69,    // ZIP64 sizes, offsets, extra field or data descriptor
    LossyTextRefused = 70,    // a text was not read faithfully and cannot be stored again
    TextNotConvertible = 71,  // a text has no form in the target encoding (e.g. area C codes)
    TargetTextTooLong = 72,   // a text in the target encoding exceeds its limit
    EmptyName = 73,           // a converted name came out empty
    DuplicateName = 74,       // two different names would become the same name
    ArchiveTooLarge = 75,     // the new archive needs offsets beyond 32 bits
    RewriteOutOfMemory = 76,  // working storage could not be allocated
    ArchiveBusy = 77,         // another process is rewriting the archive (holds its lock)
    ArchiveChanged = 78,      // the archive is no longer the file that was read
    NewArchiveMisread = 79,   // the new archive did not read back as it was written
};

// Longest texts the rewrite stores, in the target encoding, in bytes; with -r
// every text may take the 65,535 bytes its length field allows.
constexpr int NewNameLimit = 639;
constexpr int NewCommentLimit = 20479;
constexpr int NewTextLimitRelaxed = 65535;

// The limits of this run: NewNameLimit and NewCommentLimit, or with -r
// NewTextLimitRelaxed for both.
int NameLimitOfRun();
int CommentLimitOfRun();

// Rewrites the archive named by context.archivePath. Expects context.order
// sorted by localHeaderOffset. Returns 0 or a RewriteResult; errorDetail
// receives the system error of the failed step and is unchanged on success.
int RewriteArchiveNames(int entryCount, int* errorDetail);

// Rewrites the end record and the archive comment of the file at `path`, a
// byte copy of the archive. Returns 0, 31 to 35, or 70 to 72 when the
// comment cannot be stored faithfully (the file is then not opened).
int RewriteEndRecord(const char* path, int* errorDetail);

// Reads back the end record and comment that RewriteEndRecord wrote at
// `path`, once the file is flushed: 0, or NewArchiveMisread when the end
// record search does not find them there as written.
int ReadBackEndRecord(const char* path, int* errorDetail);
