// The rewrite's file services: exact transfers, copies, creation that never
// follows a link, atomic replacement, and the fault seam the rewrite's tests
// rely on.
#include <gtest/gtest.h>
#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "platform/fileio.h"
#include "platform/memory.h"
#include "support/tool_run.h"

namespace {

class FileIo : public ::testing::Test {
protected:
    void TearDown() override {
        DisarmFileFault();
        CloseFile(&a);
        CloseFile(&b);
    }

    ScratchDir dir;
    FileHandle a;
    FileHandle b;
};

std::string Pattern(size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7919) >> 3);
    return bytes;
}

TEST_F(FileIo, ReadExactReportsEndOfFileAsShortTransfer) {
    std::string path = dir.Write("f", "abcdef");
    ASSERT_EQ(OpenForReading(path.c_str(), &a), 0);
    char buffer[8] = {};
    EXPECT_EQ(ReadExact(a, buffer, 4), 0);
    EXPECT_EQ(std::string(buffer, 4), "abcd");
    EXPECT_EQ(ReadExact(a, buffer, 4), ShortTransfer);
}

TEST_F(FileIo, CreateFreshFileReplacesAFileButNeverFollowsALink) {
    std::string existing = dir.Write("old", "old content");
    ASSERT_EQ(CreateFreshFile(existing.c_str(), &a), 0);
    ASSERT_EQ(WriteAll(a, "new", 3), 0);
    CloseFile(&a);
    EXPECT_EQ(ReadFileBytes(existing), "new");
#ifdef _WIN32
    // Windows counterpart of the link: a read-only file is refused, not replaced.
    std::string readOnly = dir.Write("read-only", "keep");
    namespace fs = std::filesystem;
    fs::permissions(FsPath(readOnly), fs::perms::all, fs::perm_options::remove);
    EXPECT_EQ(CreateFreshFile(readOnly.c_str(), &b), ERROR_ACCESS_DENIED);
    fs::permissions(FsPath(readOnly), fs::perms::owner_write, fs::perm_options::add);
    EXPECT_EQ(ReadFileBytes(readOnly), "keep");
#else
    struct stat info;
    ASSERT_EQ(::stat(existing.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);

    std::string victim = dir.Write("victim", "keep");
    std::string link = dir.File("link");
    ASSERT_EQ(::symlink("victim", link.c_str()), 0);
    ASSERT_EQ(CreateFreshFile(link.c_str(), &b), 0);
    ASSERT_EQ(WriteAll(b, "x", 1), 0);
    EXPECT_EQ(ReadFileBytes(victim), "keep");
    ASSERT_EQ(::lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISREG(info.st_mode));
#endif
}

TEST_F(FileIo, CreateFreshFileFailsOnAFolder) {
    std::filesystem::create_directory(dir.File("folder"));
    EXPECT_NE(CreateFreshFile(dir.File("folder").c_str(), &a), 0);
    EXPECT_TRUE(std::filesystem::is_directory(dir.File("folder")));
}

TEST_F(FileIo, CopyBytesCopiesFromBothCurrentPositions) {
    std::string source = Pattern(3 << 20);
    std::string from = dir.Write("from", source);
    ASSERT_EQ(OpenForReading(from.c_str(), &a), 0);
    ASSERT_EQ(CreateFreshFile(dir.File("to").c_str(), &b), 0);
    char head[5];
    ASSERT_EQ(ReadExact(a, head, 5), 0);
    ASSERT_EQ(WriteAll(b, "HEAD", 4), 0);
    CopySide side = CopyDestination;
    ASSERT_EQ(CopyBytes(a, b, source.size() - 10, &side), 0);
    ASSERT_EQ(WriteAll(b, "TAIL", 4), 0);
    CloseFile(&b);
    EXPECT_EQ(ReadFileBytes(dir.File("to")),
              "HEAD" + source.substr(5, source.size() - 10) + "TAIL");

    char rest[5];
    EXPECT_EQ(ReadExact(a, rest, 5), 0) << "the source position moved with the copy";
    EXPECT_EQ(std::string(rest, 5), source.substr(source.size() - 5));
}

TEST_F(FileIo, CopyBytesPastTheEndIsAShortTransferOfTheSource) {
    std::string from = dir.Write("from", "12345");
    ASSERT_EQ(OpenForReading(from.c_str(), &a), 0);
    ASSERT_EQ(CreateFreshFile(dir.File("to").c_str(), &b), 0);
    CopySide side = CopyDestination;
    EXPECT_EQ(CopyBytes(a, b, 10, &side), ShortTransfer);
    EXPECT_EQ(side, CopySource);
}

TEST_F(FileIo, CopyBytesIntoAPipeGoesThroughTheBuffer) {
    std::string from = dir.Write("from", "through a pipe");
    ASSERT_EQ(OpenForReading(from.c_str(), &a), 0);
    char buffer[32] = {};
    CopySide side = CopySource;
#ifdef _WIN32
    HANDLE readEnd, writeEnd;
    ASSERT_TRUE(CreatePipe(&readEnd, &writeEnd, nullptr, 0));
    FileHandle pipeEnd;
    pipeEnd.value = reinterpret_cast<intptr_t>(writeEnd);
    EXPECT_EQ(CopyBytes(a, pipeEnd, 14, &side), 0);
    CloseHandle(writeEnd);
    DWORD got = 0;
    EXPECT_TRUE(ReadFile(readEnd, buffer, sizeof buffer, &got, nullptr));
    EXPECT_EQ(got, 14u);
    CloseHandle(readEnd);
#else
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    FileHandle pipeEnd;
    pipeEnd.value = fds[1];
    EXPECT_EQ(CopyBytes(a, pipeEnd, 14, &side), 0);
    ::close(fds[1]);
    EXPECT_EQ(::read(fds[0], buffer, sizeof buffer), 14);
    ::close(fds[0]);
#endif
    EXPECT_EQ(std::string(buffer), "through a pipe");
}

TEST_F(FileIo, CopyWholeFileCopiesEveryByte) {
    std::string source = Pattern((1 << 20) * 2 + 123);
    std::string from = dir.Write("from", source);
    ASSERT_EQ(OpenForReading(from.c_str(), &a), 0);
    ASSERT_EQ(CreateFreshFile(dir.File("to").c_str(), &b), 0);
    ASSERT_EQ(CopyWholeFile(a, b), 0);
    CloseFile(&b);
    EXPECT_EQ(ReadFileBytes(dir.File("to")), source);
}

TEST_F(FileIo, ReplaceFileAtomicallyPutsTheFileInPlace) {
    std::string target = dir.Write("target", "old");
    std::string replacement = dir.Write("replacement", "new");
    ASSERT_EQ(ReplaceFileAtomically(replacement.c_str(), target.c_str()), 0);
    EXPECT_EQ(ReadFileBytes(target), "new");
    EXPECT_EQ(dir.List(), std::vector<std::string>{"target"});
}

// Another process that lists the archive holds it open through a stream; a
// rewrite must still be able to put its new archive in its place.
TEST_F(FileIo, ReplaceFileAtomicallyReplacesAFileThatAStreamReads) {
    std::string target = dir.Write("target", "old");
    std::string replacement = dir.Write("replacement", "new");
    std::FILE* listing = OpenForReading(target.c_str());
    ASSERT_NE(listing, nullptr);
    EXPECT_EQ(ReplaceFileAtomically(replacement.c_str(), target.c_str()), 0);
    char bytes[4] = {};
    EXPECT_EQ(std::fread(bytes, 1, 3, listing), 3u);
    EXPECT_STREQ(bytes, "old");
    std::fclose(listing);
    EXPECT_EQ(ReadFileBytes(target), "new");
    EXPECT_EQ(dir.List(), std::vector<std::string>{"target"});
}

#ifdef _WIN32
// Windows counterpart: the attributes, but never read-only, which would keep
// the rewrite from removing or replacing its own files.
TEST_F(FileIo, CopyPermissionsCopiesTheAttributesButReadOnly) {
    std::string from = dir.Write("from", "");
    DWORD attributes = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY;
    ASSERT_TRUE(SetFileAttributesW(FsPath(from).c_str(), attributes));
    ASSERT_EQ(OpenForReading(from.c_str(), &a), 0);
    ASSERT_EQ(CreateFreshFile(dir.File("to").c_str(), &b), 0);
    ASSERT_EQ(CopyPermissions(a, b), 0);
    CloseFile(&b);
    DWORD copied = GetFileAttributesW(FsPath(dir.File("to")).c_str());
    EXPECT_TRUE(copied & FILE_ATTRIBUTE_HIDDEN);
    EXPECT_FALSE(copied & FILE_ATTRIBUTE_READONLY);
    CloseFile(&a);
    SetFileAttributesW(FsPath(from).c_str(), FILE_ATTRIBUTE_NORMAL);
}
#else
TEST_F(FileIo, CopyPermissionsCopiesTheModeBits) {
    std::string from = dir.Write("from", "");
    ASSERT_EQ(::chmod(from.c_str(), 0751), 0);
    ASSERT_EQ(OpenForReading(from.c_str(), &a), 0);
    ASSERT_EQ(CreateFreshFile(dir.File("to").c_str(), &b), 0);
    ASSERT_EQ(CopyPermissions(a, b), 0);
    struct stat info;
    ASSERT_EQ(::stat(dir.File("to").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0751u);
}
#endif

TEST_F(FileIo, SetEndOfFileHereCutsTheFile) {
    std::string path = dir.Write("f", "0123456789");
    ASSERT_EQ(OpenForUpdate(path.c_str(), &a), 0);
    ASSERT_EQ(SeekTo(a, 4), 0);
    ASSERT_EQ(WriteAll(a, "x", 1), 0);
    ASSERT_EQ(SetEndOfFileHere(a), 0);
    EXPECT_EQ(ReadFileBytes(path), "0123x");
}

TEST_F(FileIo, FaultSeamFailsTheChosenOperationOnly) {
    std::string path = dir.Write("f", "0123456789");
    ASSERT_EQ(OpenForReading(path.c_str(), &a), 0);
    char buffer[4];
    ArmFileFault(FileOpRead | FileOpWrite, 2, EIO);
    EXPECT_EQ(ReadExact(a, buffer, 2), 0);
    EXPECT_EQ(FlushToDisk(a), 0) << "not a counted kind";
    EXPECT_EQ(ReadExact(a, buffer, 2), EIO);
    EXPECT_EQ(InjectedFaultKind(), FileOpRead);
    EXPECT_EQ(ReadExact(a, buffer, 2), 0);
    EXPECT_EQ(FileFaultCount(), 3);
    DisarmFileFault();
    EXPECT_EQ(FileFaultCount(), 0);
}

TEST_F(FileIo, FaultSeamShortWriteWritesPartOfTheBytes) {
    ASSERT_EQ(CreateFreshFile(dir.File("f").c_str(), &a), 0);
    ArmFileFault(FileOpWrite, 1, ShortTransfer);
    EXPECT_EQ(WriteAll(a, "abcdef", 6), ShortTransfer);
    CloseFile(&a);
    EXPECT_EQ(ReadFileBytes(dir.File("f")), "abc");
}

TEST_F(FileIo, FaultSeamShortTransferOfOtherOperationsIsAnError) {
    std::string path = dir.Write("f", "x");
    ArmFileFault(FileOpOpen, 1, ShortTransfer);
    EXPECT_EQ(OpenForReading(path.c_str(), &a), EIO);
}

// Tables may take large pages: every byte asked for is usable, whatever the
// use, and the block grows and is freed as std::malloc's blocks are.
TEST(TableMemory, TablesHoldEveryByteAndGrowLikeMallocBlocks) {
    constexpr size_t MiB = size_t{1} << 20;
    const size_t sizes[] = {100, 2 * MiB, 5 * MiB + 3};
    for (TableUse use : {TableMemoryFirst, TableSpeedFirst}) {
        for (size_t size : sizes) {
            SCOPED_TRACE(testing::Message() << "use " << use << ", " << size << " bytes");
            auto* table = static_cast<uint8_t*>(AllocateTable(size, use));
            ASSERT_NE(table, nullptr);
            for (size_t i = 0; i < size; ++i)
                table[i] = static_cast<uint8_t>(i % 251);
            auto* grown = static_cast<uint8_t*>(std::realloc(table, size + 3 * MiB));
            ASSERT_NE(grown, nullptr);
            AdviseLargePages(grown, size + 3 * MiB);
            grown[size + 3 * MiB - 1] = 1;
            size_t wrong = 0;
            for (size_t i = 0; i < size; ++i)
                wrong += grown[i] != static_cast<uint8_t>(i % 251);
            EXPECT_EQ(wrong, 0u);
            std::free(grown);
        }
    }
}

}  // namespace
