// What keeps the archive safe: refusals of archives and texts the rewrite
// cannot store faithfully, the backup, the atomic replacement, failures of
// every file operation, and other runs or programs at work on the same
// archive, each leaving the archive exactly as it was (or as the other
// program left it) and no temporary file of the run behind.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "archive/context.h"
#include "archive/crc32.h"
#include "platform/fileio.h"
#include "rewrite/rewrite.h"
#include "support/tool_run.h"
#include "support/zip_builder.h"
#include "unit/rewrite_fixture.h"

namespace {

// Two entries with UTF-8 names held in Shift-JIS, and an ASCII one.
ZipLayout TwoUtf8Names() {
    ZipLayout layout;
    layout.entries.push_back(Entry(Utf8A, "first"));
    layout.entries.push_back(Entry(Utf8I, "second"));
    layout.entries.push_back(Entry("c.txt", "third"));
    return layout;
}

HeldArchive HeldTwoUtf8Names() {
    HeldArchive held;
    held.nameEncoding = Utf8;
    held.entries = {Converted(SjisA), Converted(SjisI)};
    return held;
}

// An ASCII entry and a UTF-8 archive comment held in Shift-JIS: only the
// comment changes.
ZipLayout Utf8CommentOnly() {
    ZipLayout layout;
    layout.entries.push_back(Entry("a.txt", "1"));
    layout.comment = Utf8A;
    return layout;
}

HeldArchive HeldUtf8CommentOnly() {
    HeldArchive held;
    held.nameEncoding = Utf8;
    held.comment = SjisA;
    return held;
}

// What a test does to the new archive once it is written and flushed, as a
// fault of the writer or of the storage would, before it is read back.
std::function<void(std::string*)> spoil;

class RewriteSafety : public ::testing::Test {
public:
    void TearDown() override {
        spoil = nullptr;
        ObserveFileOperations(nullptr);
        DisarmFileFault();
        ResetArchiveContext();
    }

    // Writes a.zip, loads the context (texts from `held`) and rewrites it.
    int Rewrite(const std::string& bytes, const HeldArchive& held, NameEncoding target,
                bool backup = false) {
        before = bytes;
        path = dir.Write("a.zip", bytes);
        return Load(held, target, backup);
    }

    int Load(const HeldArchive& held, NameEncoding target, bool backup) {
        int count = LoadIntoContext(before, path, held, target);
        context.makeBackup = backup ? 1 : 0;
        detail = -1;
        return RewriteArchiveNames(count, &detail);
    }

    // The archive is as it was and nothing else was left beside it.
    void ExpectUntouched(std::vector<std::string> others = {}) {
        EXPECT_EQ(ReadFileBytes(path), before) << "the archive changed";
        others.push_back("a.zip");
        std::sort(others.begin(), others.end());
        EXPECT_EQ(dir.List(), others);
    }

    ScratchDir dir;
    std::string path;
    std::string before;
    int detail = -1;
};

// --- Archives the sequential walk cannot copy faithfully -------------------

TEST_F(RewriteSafety, RefusesAStubBeforeTheFirstLocalHeader) {
    ZipLayout layout = TwoUtf8Names();
    layout.prefix = "MZ self-extractor stub";
    EXPECT_EQ(Rewrite(BuildZip(layout), HeldTwoUtf8Names(), ShiftJis), LayoutUnsupported);
    EXPECT_EQ(detail, 0);
    ExpectUntouched();

    // A stub that the reader found behind a ZIP64 end record, with -r: the
    // stored offsets still start at 0, as the stub left them.
    before = BuildZip(TwoUtf8Names());
    path = dir.Write("a.zip", before);
    const int count = LoadIntoContext(before, path, HeldTwoUtf8Names(), ShiftJis);
    context.zip64End.stubLength = 22;
    EXPECT_EQ(RewriteArchiveNames(count, &detail), LayoutUnsupported);
    ExpectUntouched();
}

TEST_F(RewriteSafety, RefusesGapsOverlapsAndSharedOffsetsBetweenSections) {
    ZipLayout gap = TwoUtf8Names();
    gap.entries[0].compressedSize = 3;  // the local header says 5: 2 bytes unaccounted for
    gap.entries[0].descriptor = true;
    EXPECT_EQ(Rewrite(BuildZip(gap), HeldTwoUtf8Names(), ShiftJis), LayoutUnsupported);
    ExpectUntouched();

    ZipLayout overlap = TwoUtf8Names();
    overlap.entries[1].localHeaderOffset = 30 + 3 + 5 - 2;  // inside the first entry's data
    EXPECT_EQ(Rewrite(BuildZip(overlap), HeldTwoUtf8Names(), ShiftJis), LayoutUnsupported);
    ExpectUntouched();

    ZipLayout shared = TwoUtf8Names();
    shared.entries[1].localHeaderOffset = 0;
    EXPECT_EQ(Rewrite(BuildZip(shared), HeldTwoUtf8Names(), ShiftJis), LayoutUnsupported);
    ExpectUntouched();
}

TEST_F(RewriteSafety, RefusesDataThatRunsIntoOrStopsShortOfTheDirectory) {
    ZipLayout past = TwoUtf8Names();
    past.entries[2].compressedSize = 50;
    past.entries[2].localFlags = 0x0008;  // length from the central header
    EXPECT_EQ(Rewrite(BuildZip(past), HeldTwoUtf8Names(), ShiftJis), LayoutUnsupported);
    ExpectUntouched();

    // Bytes between the last section and the directory would be lost.
    std::string bytes = BuildZip(TwoUtf8Names());
    size_t endAt = bytes.size() - 22;
    uint32_t directory = GetLe32(bytes, endAt + 16);
    bytes.insert(directory, "JUNK");
    PutLe32(bytes, endAt + 4 + 16, directory + 4);
    EXPECT_EQ(Rewrite(bytes, HeldTwoUtf8Names(), ShiftJis), LayoutUnsupported);
    ExpectUntouched();
}

TEST_F(RewriteSafety, RefusesALocalHeaderWithoutItsSignature) {
    std::string bytes = BuildZip(TwoUtf8Names());
    bytes[30 + 3 + 5 + 3] = 0x05;  // second local header: 50 4B 03 05
    EXPECT_EQ(Rewrite(bytes, HeldTwoUtf8Names(), ShiftJis), BadLocalSignature);
    ExpectUntouched();
}

TEST_F(RewriteSafety, RefusesZip64SizesExtraFieldsAndDescriptors) {
    ZipLayout sizes = TwoUtf8Names();
    sizes.entries[2].uncompressedSize = 0xFFFFFFFF;
    EXPECT_EQ(Rewrite(BuildZip(sizes), HeldTwoUtf8Names(), ShiftJis), Zip64Unsupported);
    ExpectUntouched();

    const std::string zip64 = std::string("\x01\x00\x10\x00", 4) + std::string(16, '\0');
    ZipLayout centralExtra = TwoUtf8Names();
    centralExtra.entries[1].extra = zip64;
    centralExtra.entries[1].localExtra = "";
    EXPECT_EQ(Rewrite(BuildZip(centralExtra), HeldTwoUtf8Names(), ShiftJis), Zip64Unsupported);
    ExpectUntouched();

    ZipLayout localExtra = TwoUtf8Names();
    localExtra.entries[1].localExtra = zip64;
    EXPECT_EQ(Rewrite(BuildZip(localExtra), HeldTwoUtf8Names(), ShiftJis), Zip64Unsupported);
    ExpectUntouched();

    // A streamed entry whose descriptor carries 8-byte sizes (24 bytes).
    ZipLayout streamed = TwoUtf8Names();
    streamed.entries[0].descriptor = true;
    std::string bytes = BuildZip(streamed);
    size_t descriptorEnd = 30 + 3 + 5 + 16;
    std::string wide = bytes.substr(descriptorEnd - 8, 4) + std::string(4, '\0') +
                       bytes.substr(descriptorEnd - 4, 4) + std::string(4, '\0');
    bytes.replace(descriptorEnd - 8, 8, wide);
    size_t endAt = bytes.size() - 22;
    PutLe32(bytes, endAt + 16, GetLe32(bytes, endAt + 16) + 8);
    size_t directory = GetLe32(bytes, endAt + 16);
    for (int i = 1; i < 3; ++i) {  // later central headers: offsets move by 8
        size_t at = directory;
        for (int k = 0; k < i; ++k)
            at += 46 + GetLe16(bytes, at + 28);
        PutLe32(bytes, at + 42, GetLe32(bytes, at + 42) + 8);
    }
    EXPECT_EQ(Rewrite(bytes, HeldTwoUtf8Names(), ShiftJis), Zip64Unsupported);
    ExpectUntouched();
}

TEST_F(RewriteSafety, ShortReadOfATruncatedArchiveFailsItsStep) {
    // The directory was read, then the file lost its tail: the data read
    // comes up short.
    ZipLayout layout;
    layout.entries.push_back(Entry(Utf8A, std::string(100, 'x')));
    HeldArchive held;
    held.nameEncoding = Utf8;
    held.entries = {Converted(SjisA)};
    before = BuildZip(layout);
    path = dir.Write("a.zip", before.substr(0, 30 + 3 + 40));
    int count = LoadIntoContext(before, path, held, ShiftJis);
    before = before.substr(0, 30 + 3 + 40);
    EXPECT_EQ(RewriteArchiveNames(count, &detail), DataReadFailed);
    EXPECT_EQ(detail, 0) << "a short transfer has no system error";
    ExpectUntouched();

    path = dir.Write("a.zip", before.substr(0, 20));
    LoadIntoContext(BuildZip(layout), path, held, ShiftJis);
    before = before.substr(0, 20);
    EXPECT_EQ(RewriteArchiveNames(count, &detail), LocalHeaderReadFailed);
    ExpectUntouched();
}

// --- Texts that would not be stored faithfully ------------------------------

TEST_F(RewriteSafety, RefusesLossyTexts) {
    HeldArchive name = HeldTwoUtf8Names();
    name.entries[1].nameLossy = 1;
    EXPECT_EQ(Rewrite(BuildZip(TwoUtf8Names()), name, ShiftJis), LossyTextRefused);
    ExpectUntouched();

    ZipLayout commented = TwoUtf8Names();
    commented.entries[2].comment = "\xC0\xAE";
    HeldArchive comment = HeldTwoUtf8Names();
    comment.entries.push_back(HeldEntry{});
    comment.entries[2].comment = "?";
    comment.entries[2].commentConverted = 1;
    comment.entries[2].commentLossy = 1;
    EXPECT_EQ(Rewrite(BuildZip(commented), comment, ShiftJis), LossyTextRefused);
    ExpectUntouched();

    ZipLayout archiveComment = TwoUtf8Names();
    archiveComment.comment = "\xEF\xBB\xBFnote";
    HeldArchive lossyArchiveComment = HeldTwoUtf8Names();
    lossyArchiveComment.commentLossy = 1;
    EXPECT_EQ(Rewrite(BuildZip(archiveComment), lossyArchiveComment, ShiftJis), LossyTextRefused);
    ExpectUntouched();

    HeldArchive zeroInside = HeldTwoUtf8Names();
    zeroInside.entries[0].name = std::string("\x82\xA0\0x", 4);
    EXPECT_EQ(Rewrite(BuildZip(TwoUtf8Names()), zeroInside, ShiftJis), LossyTextRefused);
    ExpectUntouched();
}

TEST_F(RewriteSafety, RefusesLossyArchiveCommentInTheCommentOnlyRewrite) {
    ZipLayout layout;
    layout.entries.push_back(Entry("a.txt", "1"));
    layout.comment = "\xFF\xFE?";
    HeldArchive held;
    held.comment = "?";
    held.commentLossy = 1;
    EXPECT_EQ(Rewrite(BuildZip(layout), held, Utf8, true), LossyTextRefused);
    ExpectUntouched();
}

TEST_F(RewriteSafety, RefusesADirectoryThatRunsIntoTheEndRecord) {
    // Its last comment would be the end record's signature, copied anew.
    std::string whole = BuildZip(TwoUtf8Names());
    size_t wholeEnd = whole.size() - 22;
    PutLe32(whole, wholeEnd + 12, GetLe32(whole, wholeEnd + 12) + 4);
    EXPECT_EQ(Rewrite(whole, HeldTwoUtf8Names(), ShiftJis), LayoutUnsupported);
    ExpectUntouched();

    ZipLayout layout;
    layout.entries.push_back(Entry("a.txt", "1"));
    layout.comment = Utf8Nihon;
    layout.trailing = "junk";
    std::string bytes = BuildZip(layout);
    // The directory claims the end record, the comment and the junk too.
    size_t endAt = bytes.size() - 4 - Utf8Nihon.size() - 22;
    PutLe32(bytes, endAt + 12, GetLe32(bytes, endAt + 12) + 22 + Utf8Nihon.size() + 4);
    HeldArchive held;
    held.nameEncoding = Utf8;
    held.comment = SjisNihon;
    EXPECT_EQ(Rewrite(bytes, held, ShiftJis), LayoutUnsupported);
    EXPECT_EQ(detail, 0);
    ExpectUntouched();
}

TEST_F(RewriteSafety, RefusesANewEndRecordThatTheSearchWouldMiss) {
    // The last extra field holds an end record signature 17 bytes before the
    // end record: outside the search's window behind a 6-byte comment, inside
    // it behind the 4 bytes of the comment in Shift-JIS.
    const std::string field = std::string("\xFE\xCA\x11\x00PK\x05\x06", 8) + std::string(13, 'x');
    ZipLayout whole = TwoUtf8Names();
    whole.entries.back().extra = field;
    whole.comment = Utf8Nihon;
    HeldArchive held = HeldTwoUtf8Names();
    held.comment = SjisNihon;
    EXPECT_EQ(Rewrite(BuildZip(whole), held, ShiftJis), LayoutUnsupported);
    ExpectUntouched();

    ZipLayout commentOnly;
    commentOnly.entries.push_back(Entry("a.txt", "1"));
    commentOnly.entries[0].extra = field;
    commentOnly.comment = Utf8Nihon;
    HeldArchive heldComment;
    heldComment.nameEncoding = Utf8;
    heldComment.comment = SjisNihon;
    EXPECT_EQ(Rewrite(BuildZip(commentOnly), heldComment, ShiftJis), LayoutUnsupported);
    ExpectUntouched();

    // The same archives with the signature two bytes further back convert.
    const std::string farther = std::string("\xFE\xCA\x13\x00PK\x05\x06", 8) + std::string(15, 'x');
    whole.entries.back().extra = farther;
    EXPECT_EQ(Rewrite(BuildZip(whole), held, ShiftJis), 0);
    commentOnly.entries[0].extra = farther;
    EXPECT_EQ(Rewrite(BuildZip(commentOnly), heldComment, ShiftJis), 0);
}

TEST_F(RewriteSafety, RefusesEmptyAndOverlongConvertedNames) {
    HeldArchive empty = HeldTwoUtf8Names();
    empty.entries[0].name = "";
    EXPECT_EQ(Rewrite(BuildZip(TwoUtf8Names()), empty, ShiftJis), EmptyName);
    ExpectUntouched();

    HeldArchive overlong = HeldTwoUtf8Names();
    std::string longName;
    for (int i = 0; i < 320; ++i)
        longName += SjisA;  // 640 bytes
    overlong.entries[1].name = longName;
    EXPECT_EQ(Rewrite(BuildZip(TwoUtf8Names()), overlong, ShiftJis), TargetTextTooLong);
    ExpectUntouched();
}

TEST_F(RewriteSafety, RefusesTextsWithNoUtf8Form) {
    if (!HaveRealUtf8Converter())
        GTEST_SKIP() << "ShiftJisToUtf8 is not in this build yet";
    // The user-defined area F040-F9FC has no meaning beyond the machine
    // that defined it, in a name, an entry comment or the archive comment.
    for (const char* code : {"\xF0\x40", "\xF9\xFC"}) {
        ZipLayout layout;
        layout.entries.push_back(Entry(std::string(code) + ".txt", "private"));
        HeldArchive held;
        held.entries = {Converted(std::string(code) + ".txt")};
        EXPECT_EQ(Rewrite(BuildZip(layout), held, Utf8), TextNotConvertible);
        ExpectUntouched();

        layout.entries[0].name = SjisA;
        layout.entries[0].comment = code;
        held.entries = {Converted(SjisA)};
        held.entries[0].commentConverted = 1;
        EXPECT_EQ(Rewrite(BuildZip(layout), held, Utf8), TextNotConvertible);
        ExpectUntouched();

        layout.entries[0].comment = "";
        layout.comment = code;
        EXPECT_EQ(Rewrite(BuildZip(layout), HeldArchive{}, Utf8), TextNotConvertible);
        ExpectUntouched();
    }
}

TEST_F(RewriteSafety, RefusesDifferentNamesThatBecomeOne) {
    if (!HaveRealUtf8Converter())
        GTEST_SKIP() << "ShiftJisToUtf8 is not in this build yet";
    // Half-width ｱ folds to full-width ア: alone, and at the end of a long
    // name behind many distinct ones, so that the pair meets in a busy table.
    for (int others : {0, 300}) {
        const std::string prefix = others == 0 ? "" : "folder/a-longer-name-";
        ZipLayout layout;
        HeldArchive held;
        for (int i = 0; i < others; ++i) {
            const std::string name = prefix + std::to_string(i) + ".txt";
            layout.entries.push_back(Entry(name, "x"));
            held.entries.push_back(Converted(name));
        }
        for (const char* last : {"\xB1", "\x83\x41"}) {
            layout.entries.push_back(Entry(prefix + last, "y"));
            held.entries.push_back(Converted(prefix + last));
        }
        EXPECT_EQ(Rewrite(BuildZip(layout), held, Utf8), DuplicateName) << others;
        ExpectUntouched();
        // A text that cannot be stored is reported first, wherever it lies.
        layout.entries.push_back(Entry("\xF0\x40.txt", "z"));
        held.entries.push_back(Converted("\xF0\x40.txt"));
        EXPECT_EQ(Rewrite(BuildZip(layout), held, Utf8), TextNotConvertible) << others;
        ExpectUntouched();
    }
}

TEST_F(RewriteSafety, NamesThatWereAlreadyEqualMayStayEqual) {
    ZipLayout layout = TwoUtf8Names();
    layout.entries[1].name = Utf8A;
    HeldArchive held = HeldTwoUtf8Names();
    held.entries[1].name = SjisA;
    EXPECT_EQ(Rewrite(BuildZip(layout), held, ShiftJis), 0);
    EXPECT_EQ(ParseZip(ReadFileBytes(path)).error, "");
}

// --- Unicode Path and Unicode Comment fields --------------------------------

std::string UnicodeField(uint16_t id, uint32_t crc, const std::string& text) {
    std::string field(9, '\0');
    PutLe16(field, 0, id);
    PutLe16(field, 2, static_cast<uint16_t>(5 + text.size()));
    field[4] = 1;
    PutLe32(field, 5, crc);
    return field + text;
}

uint32_t CrcOf(const std::string& text) {
    return Crc32(0, text.data(), text.size());
}

TEST_F(RewriteSafety, UnicodePathMatchingTheNewNameStaysWithANewCrc) {
    const std::string other = std::string("\x0A\x00\x02\x00", 4) + "ok";
    ZipLayout layout;
    layout.entries.push_back(Entry(Utf8A, "1"));
    // The field names the entry's UTF-8 name, whose CRC-32 it carries.
    layout.entries[0].extra = other + UnicodeField(0x7075, CrcOf(Utf8A), Utf8A);
    layout.entries[0].localExtra = UnicodeField(0x7075, CrcOf(Utf8A), Utf8A) + other;
    HeldArchive held;
    held.nameEncoding = Utf8;
    held.entries = {Converted(SjisA)};
    if (ToUtf8(SjisA) != Utf8A)
        GTEST_SKIP() << "ShiftJisToUtf8 is not in this build yet";

    ASSERT_EQ(Rewrite(BuildZip(layout), held, ShiftJis), 0);
    ParsedZip zip = ParseZip(ReadFileBytes(path));
    ASSERT_EQ(zip.error, "");
    EXPECT_EQ(zip.entries[0].name, SjisA);
    EXPECT_EQ(Hex(zip.entries[0].extra), Hex(other + UnicodeField(0x7075, CrcOf(SjisA), Utf8A)));
    EXPECT_EQ(Hex(zip.entries[0].localExtra),
              Hex(UnicodeField(0x7075, CrcOf(SjisA), Utf8A) + other));
}

TEST_F(RewriteSafety, UnicodeFieldsNotMatchingTheNewTextsLeaveBothHeaders) {
    const std::string other = std::string("\x0A\x00\x02\x00", 4) + "ok";
    ZipLayout layout;
    layout.entries.push_back(Entry(Utf8A, "1"));
    layout.entries[0].comment = Utf8I;
    layout.entries[0].extra = UnicodeField(0x7075, 0, "stale") + other +
                              UnicodeField(0x6375, CrcOf(Utf8I), "old comment");
    layout.entries[0].localExtra = UnicodeField(0x7075, 0, "stale");
    layout.entries.push_back(Entry("b", "2"));
    HeldArchive held;
    held.nameEncoding = Utf8;
    held.entries = {Converted(SjisA)};
    held.entries[0].comment = SjisI;
    held.entries[0].commentConverted = 1;

    ASSERT_EQ(Rewrite(BuildZip(layout), held, ShiftJis), 0);
    ParsedZip zip = ParseZip(ReadFileBytes(path));
    ASSERT_EQ(zip.error, "");
    EXPECT_EQ(zip.entries[0].extra, other);
    EXPECT_EQ(zip.entries[0].localExtra, "");
    EXPECT_EQ(zip.entries[1].localHeaderOffset, 30u + 2 + 1) << "later offsets follow";
}

TEST_F(RewriteSafety, UnicodeFieldsOfKeptNamesStayAsRead) {
    const std::string field = UnicodeField(0x7075, CrcOf("plain"), "whatever");
    ZipLayout layout = TwoUtf8Names();
    layout.entries[2].name = "plain";
    layout.entries[2].extra = field;
    ASSERT_EQ(Rewrite(BuildZip(layout), HeldTwoUtf8Names(), ShiftJis), 0);
    ParsedZip zip = ParseZip(ReadFileBytes(path));
    ASSERT_EQ(zip.error, "");
    EXPECT_EQ(zip.entries[2].extra, field);
    EXPECT_EQ(zip.entries[2].localExtra, field);
}

// --- Backup and replacement -------------------------------------------------

// The backup is the original file under a second name; where the file
// system cannot link (another volume, here made to say so), a copy.
// The number of the file at `path` on its volume: its inode number, or the
// file index on Windows, whose C runtime gives no inode numbers.
uint64_t FileNumber(const std::string& path) {
#ifdef _WIN32
    HANDLE file =
        CreateFileW(FsPath(path).c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                    nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
    BY_HANDLE_FILE_INFORMATION info{};
    GetFileInformationByHandle(file, &info);
    CloseHandle(file);
    return (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
#else
    struct stat info {};
    ::stat(path.c_str(), &info);
    return info.st_ino;
#endif
}

TEST_F(RewriteSafety, BackupIsTheOriginalFileAndReplacesAnEarlierOne) {
    for (bool linkable : {true, false}) {
        SCOPED_TRACE(linkable ? "linked" : "copied");
        dir.Write("a.zip.back", "an older backup");
        before = BuildZip(TwoUtf8Names());
        path = dir.Write("a.zip", before);
        uint64_t original = FileNumber(path);
        if (!linkable)
            ArmFileFault(FileOpCreate, 2, EXDEV);  // the temporary file, then the link
        ASSERT_EQ(Load(HeldTwoUtf8Names(), ShiftJis, true), 0);
        DisarmFileFault();
        EXPECT_EQ(ReadFileBytes(dir.File("a.zip.back")), before);
        EXPECT_NE(ReadFileBytes(path), before);
        EXPECT_EQ(dir.List(), (std::vector<std::string>{"a.zip", "a.zip.back"}));
        EXPECT_EQ(FileNumber(dir.File("a.zip.back")) == original, linkable);
        ResetArchiveContext();
    }
}

TEST_F(RewriteSafety, BackupThatCannotBeMadeStopsBeforeAnythingChanges) {
    std::filesystem::create_directory(dir.File("a.zip.back"));
    dir.Write("a.zip.back/keep", "x");
    EXPECT_EQ(Rewrite(BuildZip(TwoUtf8Names()), HeldTwoUtf8Names(), ShiftJis, true), BackupFailed);
    EXPECT_NE(detail, 0);
    ExpectUntouched({"a.zip.back"});
    EXPECT_EQ(ReadFileBytes(dir.File("a.zip.back/keep")), "x");
}

// The backup is made once the new archive is complete: a rewrite refused on
// the way leaves an earlier backup as it was.
TEST_F(RewriteSafety, EarlierBackupStaysWhenTheRewriteIsRefusedOnTheWay) {
    std::string bytes = BuildZip(TwoUtf8Names());
    bytes[30 + 3 + 5 + 3] = 0x05;
    dir.Write("a.zip.back", "an older backup");
    EXPECT_EQ(Rewrite(bytes, HeldTwoUtf8Names(), ShiftJis, true), BadLocalSignature);
    ExpectUntouched({"a.zip.back"});
    EXPECT_EQ(ReadFileBytes(dir.File("a.zip.back")), "an older backup");
}

#ifdef _WIN32
// Windows counterparts of the permission and link tests: the read-only
// attribute and a handle held open without delete sharing.
TEST_F(RewriteSafety, ReadOnlyArchiveIsRefusedAndLeftWhole) {
    before = BuildZip(TwoUtf8Names());
    path = dir.Write("a.zip", before);
    namespace fs = std::filesystem;
    fs::permissions(FsPath(path), fs::perms::all, fs::perm_options::remove);
    ASSERT_TRUE(GetFileAttributesW(FsPath(path).c_str()) & FILE_ATTRIBUTE_READONLY);
    int r = Load(HeldTwoUtf8Names(), ShiftJis, true);
    fs::permissions(FsPath(path), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(r, ReplaceFailed);
    EXPECT_EQ(detail, ERROR_ACCESS_DENIED);
    ExpectUntouched({"a.zip.back"});
    EXPECT_EQ(ReadFileBytes(dir.File("a.zip.back")), before);
}

TEST_F(RewriteSafety, ArchiveHeldOpenWithoutDeleteSharingIsLeftWhole) {
    before = BuildZip(TwoUtf8Names());
    path = dir.Write("a.zip", before);
    HANDLE held = CreateFileW(FsPath(path).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    int r = Load(HeldTwoUtf8Names(), ShiftJis, false);
    CloseHandle(held);
    EXPECT_EQ(r, ReplaceFailed);
    EXPECT_NE(detail, 0);
    ExpectUntouched();
}

#else
TEST_F(RewriteSafety, ReplacementKeepsThePermissionBits) {
    std::string bytes = BuildZip(TwoUtf8Names());
    path = dir.Write("a.zip", bytes);
    before = bytes;
    ASSERT_EQ(::chmod(path.c_str(), 0640), 0);
    ASSERT_EQ(Load(HeldTwoUtf8Names(), ShiftJis, true), 0);
    struct stat info;
    ASSERT_EQ(::stat(path.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    ASSERT_EQ(::stat(dir.File("a.zip.back").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
}

TEST_F(RewriteSafety, ArchiveBehindASymbolicLinkIsRewrittenInPlaceOfItsTarget) {
    std::string bytes = BuildZip(TwoUtf8Names());
    std::string real = dir.Write("real.zip", bytes);
    path = dir.File("a.zip");
    ASSERT_EQ(::symlink("real.zip", path.c_str()), 0);
    before = bytes;
    ASSERT_EQ(Load(HeldTwoUtf8Names(), ShiftJis, false), 0);
    struct stat info;
    ASSERT_EQ(::lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link is kept";
    ParsedZip zip = ParseZip(ReadFileBytes(real));
    ASSERT_EQ(zip.error, "");
    EXPECT_EQ(zip.entries[0].name, SjisA);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"a.zip", "real.zip"}));
}

TEST_F(RewriteSafety, TemporaryNameHeldByASymbolicLinkIsNotFollowed) {
    std::string victim = dir.Write("victim", "must not change");
    ASSERT_EQ(::symlink("victim", dir.File("a.zip.temp").c_str()), 0);
    ASSERT_EQ(Rewrite(BuildZip(TwoUtf8Names()), HeldTwoUtf8Names(), ShiftJis), 0);
    EXPECT_EQ(ReadFileBytes(victim), "must not change");
    EXPECT_EQ(ParseZip(ReadFileBytes(path)).error, "");
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"a.zip", "victim"}));
}
#endif

TEST_F(RewriteSafety, FolderInTheTemporaryFilesPlaceIsLeftAndTheArchiveWhole) {
    ASSERT_TRUE(std::filesystem::create_directory(FsPath(dir.File("a.zip.temp"))));
    EXPECT_EQ(Rewrite(BuildZip(TwoUtf8Names()), HeldTwoUtf8Names(), ShiftJis), TempCreateFailed);
    EXPECT_NE(detail, 0);
    ExpectUntouched({"a.zip.temp"});
}

TEST_F(RewriteSafety, FailedReplacementLeavesTheArchive) {
    before = BuildZip(TwoUtf8Names());
    path = dir.Write("a.zip", before);
    ArmFileFault(FileOpReplace, 1, EACCES);
    EXPECT_EQ(Load(HeldTwoUtf8Names(), ShiftJis, false), ReplaceFailed);
    EXPECT_EQ(detail, EACCES);
    ExpectUntouched();
}

std::vector<FileOperation> operations;

void RecordOperation(FileOperation kind) {
    operations.push_back(kind);
}

// Position of the last recorded operation of the `kinds`; -1 when none.
long LastOf(unsigned kinds) {
    for (size_t i = operations.size(); i-- > 0;) {
        if (operations[i] & kinds)
            return static_cast<long>(i);
    }
    return -1;
}

// Whatever was written to the new archive is on disk before the archive is
// replaced: the last flush follows the last write, copy or cut and precedes
// the last rename, with and without the backup's own flush before them. A
// failure of that flush leaves the archive.
TEST_F(RewriteSafety, TheNewArchiveIsOnDiskBeforeItReplacesTheArchive) {
    for (bool whole : {true, false}) {
        const std::string bytes = whole ? BuildZip(TwoUtf8Names()) : BuildZip(Utf8CommentOnly());
        const HeldArchive held = whole ? HeldTwoUtf8Names() : HeldUtf8CommentOnly();
        for (bool backup : {false, true}) {
            SCOPED_TRACE(std::string(whole ? "full" : "comment only") + (backup ? ", -b" : ""));
            operations.clear();
            ObserveFileOperations(RecordOperation);
            ASSERT_EQ(Rewrite(bytes, held, ShiftJis, backup), 0);
            ObserveFileOperations(nullptr);
            EXPECT_LT(LastOf(FileOpWrite | FileOpCopy | FileOpTruncate), LastOf(FileOpFlush));
            EXPECT_LT(LastOf(FileOpFlush), LastOf(FileOpReplace));
        }
        path = dir.Write("a.zip", bytes);
        std::filesystem::remove(dir.File("a.zip.back"));
        before = bytes;
        ArmFileFault(FileOpFlush, 1, EIO);
        EXPECT_EQ(Load(held, ShiftJis, false), TempFlushFailed);
        EXPECT_EQ(detail, EIO);
        ExpectUntouched();
    }
}

#ifndef _WIN32  // Windows sets no limit on the size of the files a process writes.
// Lowers the limit on the size of the files this process writes, with the
// signal ignored so that a write crossing it takes part of its bytes and the
// next one fails with EFBIG, as on a full disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        ::getrlimit(RLIMIT_FSIZE, &saved_);
        rlimit lowered = saved_;
        lowered.rlim_cur = bytes;
        ::setrlimit(RLIMIT_FSIZE, &lowered);
        handler_ = std::signal(SIGXFSZ, SIG_IGN);
    }
    ~FileSizeLimit() {
        ::setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, handler_);
    }

private:
    rlimit saved_{};
    void (*handler_)(int) = nullptr;
};

TEST_F(RewriteSafety, AWriteCutShortByTheFileSizeLimitFailsItsStep) {
    ZipLayout layout;
    layout.entries.push_back(Entry(Utf8A, std::string(64 << 10, 'd')));
    HeldArchive held;
    held.nameEncoding = Utf8;
    held.entries = {Converted(SjisA)};
    before = BuildZip(layout);
    path = dir.Write("a.zip", before);
    FileSizeLimit limit(40 << 10);

    FileHandle probe;
    ASSERT_EQ(CreateFreshFile(dir.File("probe").c_str(), &probe), 0);
    ASSERT_EQ(WriteAll(probe, before.data(), 30 << 10), 0);
    EXPECT_EQ(WriteAll(probe, before.data(), 30 << 10), EFBIG) << "the part written is not all";
    CloseFile(&probe);

    EXPECT_EQ(Load(held, ShiftJis, false), DataWriteFailed);
    EXPECT_EQ(detail, EFBIG);
    ExpectUntouched({"probe"});
}
#endif

// --- Other runs and other programs ------------------------------------------

// What a test does when the rewrite reaches its next flush: the new
// archive's, when only the commit (and, with -b, the backup) is left.
std::function<void()> atFlush;

void RunAtFlush(FileOperation kind) {
    if (kind == FileOpFlush && atFlush) {
        auto action = std::move(atFlush);
        atFlush = nullptr;
        action();
    }
}

class RewriteAmongOthers : public RewriteSafety {
public:
    void TearDown() override {
        atFlush = nullptr;
        RewriteSafety::TearDown();
    }
};

TEST_F(RewriteAmongOthers, ARewriteHoldingTheLockIsLeftAlone) {
    const std::string bytes = BuildZip(TwoUtf8Names());
    for (bool backup : {false, true}) {
        SCOPED_TRACE(backup ? "with -b" : "without -b");
        path = dir.Write("a.zip", bytes);
        dir.Write("a.zip.temp", "the other run's new archive");
#ifdef _WIN32
        // The other run's lock, taken through a handle of its own.
        FileHandle other;
        ASSERT_EQ(OpenForReading(path.c_str(), &other), 0);
        ASSERT_EQ(LockExclusive(other), 0);
        before = bytes;
        EXPECT_EQ(Load(HeldTwoUtf8Names(), ShiftJis, backup), ArchiveBusy);
        CloseFile(&other);
#else
        int other = ::open(path.c_str(), O_RDONLY);
        ASSERT_EQ(::flock(other, LOCK_EX), 0);
        before = bytes;
        EXPECT_EQ(Load(HeldTwoUtf8Names(), ShiftJis, backup), ArchiveBusy);
        ::close(other);
#endif
        EXPECT_EQ(detail, 0);
        EXPECT_EQ(ReadFileBytes(dir.File("a.zip.temp")), "the other run's new archive");
        ExpectUntouched({"a.zip.temp"});
        std::filesystem::remove(dir.File("a.zip.temp"));
    }
}

TEST_F(RewriteAmongOthers, ARunThatReadAFileSinceReplacedTouchesNothing) {
    before = BuildZip(TwoUtf8Names());
    path = dir.Write("a.zip", before);
    int count = LoadIntoContext(before, path, HeldTwoUtf8Names(), ShiftJis);
    // Another run put its new archive in place after this one read the old
    // one (the same bytes here: only the file is new), and a third run is now
    // writing its temporary file.
    std::string replacement = dir.Write("new", before);
    std::filesystem::rename(FsPath(replacement), FsPath(path));
    dir.Write("a.zip.temp", "the third run's new archive");
    EXPECT_EQ(RewriteArchiveNames(count, &detail), ArchiveChanged);
    EXPECT_EQ(ReadFileBytes(dir.File("a.zip.temp")), "the third run's new archive");
    ExpectUntouched({"a.zip.temp"});
}

// For a moment the archive's path names nothing: another run that replaces
// it in two renames (where the system has no other way) has moved it aside.
// That is a change of the archive, as a replacement is, not a failure to
// open it.
TEST_F(RewriteAmongOthers, ARunWhoseArchiveIsGoneTouchesNothing) {
    before = BuildZip(TwoUtf8Names());
    path = dir.Write("a.zip", before);
    int count = LoadIntoContext(before, path, HeldTwoUtf8Names(), ShiftJis);
    std::filesystem::rename(FsPath(path), FsPath(dir.File("aside")));
    EXPECT_EQ(RewriteArchiveNames(count, &detail), ArchiveChanged);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"aside"});
    EXPECT_EQ(ReadFileBytes(dir.File("aside")), before);
}

TEST_F(RewriteAmongOthers, AChangeMadeDuringTheRewriteIsKept) {
    struct Case {
        const char* scenario;
        std::string bytes;
        HeldArchive held;
        bool backup;
    };
    const Case cases[] = {
        {"full rewrite", BuildZip(TwoUtf8Names()), HeldTwoUtf8Names(), false},
        {"full rewrite, change before the backup", BuildZip(TwoUtf8Names()), HeldTwoUtf8Names(),
         true},
        {"comment only", BuildZip(Utf8CommentOnly()), HeldUtf8CommentOnly(), false},
    };
    ObserveFileOperations(RunAtFlush);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scenario);
        std::filesystem::remove(dir.File("a.zip.back"));
        path = dir.Write("a.zip", c.bytes);
        before = c.bytes;
#ifdef _WIN32
        // Windows keeps other programs from writing to the archive while the
        // rewrite has it open: the append fails and the rewrite completes.
        atFlush = [this] {
            std::ofstream out(FsPath(path), std::ios::binary | std::ios::app);
            EXPECT_FALSE(out.is_open()) << "another program wrote to the archive";
        };
        EXPECT_EQ(Load(c.held, ShiftJis, c.backup), 0);
        before = ReadFileBytes(path);
        ExpectUntouched(c.backup ? std::vector<std::string>{"a.zip.back"}
                                 : std::vector<std::string>{});
#else
        atFlush = [this] {
            std::ofstream(path, std::ios::binary | std::ios::app) << "appended by another program";
            before += "appended by another program";
        };
        EXPECT_EQ(Load(c.held, ShiftJis, c.backup), ArchiveChanged);
        EXPECT_EQ(detail, 0);
        ExpectUntouched();  // with -b too: the backup comes after the check
#endif
    }
}

// A second arcpeek started while the rewrite is about to commit refuses with
// 77; the first run completes undisturbed.
TEST_F(RewriteAmongOthers, ASecondProcessRefusesWhileTheRewriteRuns) {
    ZipLayout layout;
    layout.entries.push_back(Entry(Utf8Nihon + ".txt", "nihon"));
    layout.entries.push_back(Entry(Utf8A + Utf8I + ".txt", "aiueo"));
    HeldArchive held;
    held.nameEncoding = Utf8;
    held.entries = {Converted(SjisNihon + ".txt"), Converted(SjisA + SjisI + ".txt")};
    ToolRun second;
    ObserveFileOperations(RunAtFlush);
    atFlush = [&] { second = RunArcpeek({"-c:sN", path}); };
    ASSERT_EQ(Rewrite(BuildZip(layout), held, ShiftJis), 0);
    EXPECT_EQ(second.exitCode, ArchiveBusy) << second.output;
    EXPECT_NE(second.output.find("(77)"), std::string::npos) << second.output;
    ParsedZip zip = ParseZip(ReadFileBytes(path));
    ASSERT_EQ(zip.error, "");
    EXPECT_EQ(Hex(zip.entries[0].name), Hex(SjisNihon + ".txt"));
    EXPECT_EQ(zip.entries[1].data, "aiueo");
    EXPECT_EQ(dir.List(), std::vector<std::string>{"a.zip"});
}

// --- The new archive read back before it replaces the archive --------------

std::string spoiledPath;
bool newArchiveFlushed = false;

void SpoilAfterFlush(FileOperation kind) {
    if (kind == FileOpFlush) {
        newArchiveFlushed = true;
    } else if (kind == FileOpOpen && newArchiveFlushed && spoil) {
        std::string bytes = ReadFileBytes(spoiledPath);
        spoil(&bytes);
        spoil = nullptr;
        std::ofstream(FsPath(spoiledPath), std::ios::binary | std::ios::trunc) << bytes;
    }
}

// Any difference between the new archive and what was planned stops the
// rewrite with 79 before the backup and the rename: the archive stays as it
// was, no backup is made and the temporary file goes.
TEST_F(RewriteSafety, ANewArchiveThatDoesNotReadBackAsWrittenIsNotInstalled) {
    auto end = [](const std::string& b) { return b.rfind("PK\x05\x06"); };
    auto directory = [&](const std::string& b) { return GetLe32(b, end(b) + 16); };
    using Spoil = std::function<void(std::string&)>;
    const struct {
        const char* what;
        bool whole;
        Spoil change;
    } rows[] = {
        {"a local signature", true, [](std::string& b) { b[0] = 'X'; }},
        {"a local flag", true, [](std::string& b) { b[7] ^= 0x08; }},
        {"a local size", true, [](std::string& b) { b[18] ^= 0x01; }},
        {"a local name", true, [](std::string& b) { b[30] ^= 0x01; }},
        {"a central CRC", true, [&](std::string& b) { b[directory(b) + 16] ^= 0x01; }},
        {"a central name", true, [&](std::string& b) { b[directory(b) + 46] ^= 0x01; }},
        {"a central local offset", true, [&](std::string& b) { b[directory(b) + 48 + 42] += 1; }},
        {"the directory offset", true, [&](std::string& b) { b[end(b) + 16] ^= 0x01; }},
        {"the entry count", true, [&](std::string& b) { b[end(b) + 8] ^= 0x01; }},
        {"the archive comment", true, [](std::string& b) { b.back() ^= 0x01; }},
        {"the last byte lost", true, [](std::string& b) { b.pop_back(); }},
        {"a byte more", true, [](std::string& b) { b += '\0'; }},
        {"the comment only: its bytes", false, [](std::string& b) { b.back() ^= 0x01; }},
        {"the comment only: its length", false, [&](std::string& b) { b[end(b) + 20] ^= 1; }},
        {"the comment only: a byte more", false, [](std::string& b) { b += '\0'; }},
    };
    ObserveFileOperations(SpoilAfterFlush);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        ZipLayout layout = row.whole ? TwoUtf8Names() : Utf8CommentOnly();
        HeldArchive held = row.whole ? HeldTwoUtf8Names() : HeldUtf8CommentOnly();
        layout.comment = Utf8I;
        held.comment = SjisI;
        std::filesystem::remove(dir.File("a.zip.back"));
        spoiledPath = dir.File("a.zip.temp");
        newArchiveFlushed = false;
        spoil = [&](std::string* b) { row.change(*b); };
        EXPECT_EQ(Rewrite(BuildZip(layout), held, ShiftJis, true), NewArchiveMisread);
        EXPECT_EQ(spoil, nullptr) << "the new archive was not read back";
        ExpectUntouched();
    }
}

// --- Every file operation failing in turn -----------------------------------

// Which result codes may name a failure of each kind of operation.
bool CodeNamesOperation(int code, unsigned kind) {
    auto in = [code](std::initializer_list<int> codes) {
        return std::find(codes.begin(), codes.end(), code) != codes.end();
    };
    switch (kind) {
        case FileOpOpen:
            return in({ArchiveOpenFailed, CommentOnlyOpenFailed, TempFlushFailed, BackupFailed,
                       NewArchiveMisread});
        case FileOpCreate:
            return in({TempCreateFailed, BackupFailed});
        case FileOpRead:
            return in({LocalHeaderReadFailed, LocalNameReadFailed, LocalExtraReadFailed,
                       DescriptorStartReadFailed, DescriptorCrcReadFailed,
                       DescriptorSizesReadFailed, NewArchiveMisread});
        case FileOpWrite:
            return in({LocalHeaderWriteFailed, LocalNameWriteFailed, LocalExtraWriteFailed,
                       CentralHeaderWriteFailed, CentralNameWriteFailed, CentralExtraWriteFailed,
                       EntryCommentWriteFailed, EndRecordWriteFailed, ArchiveCommentWriteFailed,
                       DescriptorStartWriteFailed, DescriptorCrcWriteFailed,
                       DescriptorSizesWriteFailed, CommentOnlyEndFailed, CommentOnlyTextFailed});
        case FileOpCopy:
            return in({DataReadFailed, DataWriteFailed, TempCopyFailed, BackupFailed});
        case FileOpFlush:
            return in({TempFlushFailed, BackupFailed});
        case FileOpSeek:
            return in({CommentOnlySeekFailed, ArchiveOpenFailed, NewArchiveMisread});
        case FileOpTruncate:
            return in({CommentOnlyCutFailed});
        case FileOpReplace:
            return in({ReplaceFailed, BackupFailed});
        case FileOpMetadata:
            return in({ArchiveOpenFailed, ReplaceFailed, BackupFailed, ArchiveChanged,
                       NewArchiveMisread});
        case FileOpLock:
            return in({ArchiveOpenFailed});
        default:
            return false;
    }
}

// Runs the rewrite (with -b) once to count its operations, then once more
// for every k with the k-th operation failing, as an error and as a short
// transfer: the archive never changes, no temporary file stays, and the
// result code names a step of the kind of operation that failed.
void FailEveryOperation(RewriteSafety* test, const std::string& bytes, const HeldArchive& held,
                        NameEncoding target) {
    const unsigned counted = FileOpAll & ~FileOpRemove;
    const std::string backup = test->dir.File("a.zip.back");
    test->before = bytes;
    test->path = test->dir.Write("a.zip", bytes);
    ArmFileFault(counted, 0, 0);
    ASSERT_EQ(test->Load(held, target, true), 0);
    long total = FileFaultCount();
    DisarmFileFault();
    ASSERT_GT(total, 8);

    for (int error : {ENOSPC, ShortTransfer}) {
        for (long k = 1; k <= total; ++k) {
            SCOPED_TRACE("operation " + std::to_string(k) + " of " + std::to_string(total) +
                         (error == ShortTransfer ? ", short" : ", ENOSPC"));
            test->path = test->dir.Write("a.zip", bytes);
            std::filesystem::remove(backup);
            ArmFileFault(counted, k, error);
            int code = test->Load(held, target, true);
            unsigned kind = InjectedFaultKind();
            DisarmFileFault();
            EXPECT_TRUE(CodeNamesOperation(code, kind)) << "code " << code << ", kind " << kind;
            EXPECT_EQ(ReadFileBytes(test->path), bytes) << "the archive changed";
            std::vector<std::string> files = test->dir.List();
            EXPECT_TRUE(std::find(files.begin(), files.end(), "a.zip.temp") == files.end())
                << "temporary file left behind";
            bool transfer = kind == FileOpRead || kind == FileOpWrite || kind == FileOpCopy;
            int expected = error == ENOSPC ? ENOSPC : (transfer ? 0 : EIO);
            EXPECT_EQ(test->detail, expected);
        }
    }
}

TEST_F(RewriteSafety, EveryFailingOperationOfAFullRewriteLeavesTheArchive) {
    ZipLayout layout = TwoUtf8Names();
    layout.entries[0].descriptor = true;
    layout.entries[1].descriptor = true;
    layout.entries[1].descriptorSignature = false;
    layout.entries[1].extra = std::string("\x0A\x00\x01\x00", 4) + "e";
    layout.entries[1].comment = Utf8A;
    layout.comment = Utf8I;
    HeldArchive held = HeldTwoUtf8Names();
    held.entries[1].comment = SjisA;
    held.entries[1].commentConverted = 1;
    held.comment = SjisI;
    FailEveryOperation(this, BuildZip(layout), held, ShiftJis);
}

TEST_F(RewriteSafety, EveryFailingOperationOfACommentOnlyRewriteLeavesTheArchive) {
    ZipLayout layout;
    layout.entries.push_back(Entry("a.txt", "1"));
    layout.comment = Utf8A;
    HeldArchive held;
    held.nameEncoding = Utf8;
    held.comment = SjisA;
    FailEveryOperation(this, BuildZip(layout), held, ShiftJis);
}

}  // namespace
