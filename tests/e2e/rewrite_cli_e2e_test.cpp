// The rewrite through the built binary on archives from the test builder:
// the backup, the comment-only rewrite, archives left alone, the error line
// of a refused rewrite, and Unicode Path fields as unzip sees them.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "app/messages.h"
#include "archive/crc32.h"
#include "jcode/detect.h"
#include "support/tool_run.h"
#include "support/zip_builder.h"
#include "unit/rewrite_fixture.h"

namespace {

const std::string SjisNihon = "\x93\xFA\x96\x7B";
const std::string Utf8Nihon = "\xE6\x97\xA5\xE6\x9C\xAC";
const std::string SjisKana = "\x83\x4A\x83\x69";  // カナ
const std::string Utf8Kana = "\xE3\x82\xAB\xE3\x83\x8A";

// The error line and the empty line that follows it.
std::string ErrorLine(int code, int version, int detail) {
    char line[256];
    std::snprintf(line, sizeof line, ErrorLineFormat, code, version, detail);
    return std::string(line) + "\n";
}

bool HaveRealEncodings() {
    const uint8_t utf8[] = "\xE6\x97\xA5\xE6\x9C\xAC\0\0";
    return HaveRealUtf8Converter() && DetectEncoding(utf8, 6, 0) == Utf8Text;
}

ZipEntryLayout Entry(const std::string& name, const std::string& data) {
    ZipEntryLayout e;
    e.name = name;
    e.data = data;
    return e;
}

std::string ShiftJisArchive() {
    ZipLayout layout;
    layout.entries.push_back(Entry(SjisNihon + ".txt", "nihon"));
    layout.entries.push_back(Entry("readme.txt", "ascii"));
    layout.entries.push_back(Entry(SjisKana + "/", ""));
    return BuildZip(layout);
}

// The modification time in the file system's own resolution.
long long ModifiedAt(const std::string& path) {
    std::error_code ignored;
    return std::filesystem::last_write_time(FsPath(path), ignored).time_since_epoch().count();
}

class RewriteCommandLine : public ::testing::Test {
protected:
    ScratchDir dir;
};

TEST_F(RewriteCommandLine, BackupKeepsTheArchiveAsItWas) {
    if (!HaveRealEncodings())
        GTEST_SKIP() << "the encodings are not in this build yet";
    std::string original = ShiftJisArchive();
    std::string archive = dir.Write("a.zip", original);
    ToolRun run = RunArcpeek({"-b", "-c:uN", archive});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(ReadFileBytes(dir.File("a.zip.back")), original);
    ParsedZip zip = ParseZip(ReadFileBytes(archive));
    ASSERT_EQ(zip.error, "");
    EXPECT_EQ(Hex(zip.entries[0].name), Hex(Utf8Nihon + ".txt"));
    EXPECT_EQ(Hex(zip.entries[2].name), Hex(Utf8Kana + "/"));
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"a.zip", "a.zip.back"}));
}

TEST_F(RewriteCommandLine, OnlyTheArchiveCommentChanges) {
    if (!HaveRealEncodings())
        GTEST_SKIP() << "the encodings are not in this build yet";
    ZipLayout layout;
    layout.entries.push_back(Entry("one.txt", "1"));
    layout.entries.push_back(Entry("two.txt", "22"));
    layout.entries.back().descriptor = true;
    layout.comment = SjisNihon + SjisKana;
    std::string original = BuildZip(layout);
    std::string archive = dir.Write("c.zip", original);
    size_t endAt = original.size() - 22 - 8;

    ToolRun run = RunArcpeek({"-c:uN", archive});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    std::string after = ReadFileBytes(archive);
    EXPECT_EQ(after.substr(0, endAt), original.substr(0, endAt)) << "entries byte for byte";
    EXPECT_EQ(Hex(after.substr(endAt + 22)), Hex(Utf8Nihon + Utf8Kana));
    EXPECT_EQ(GetLe16(after, endAt + 20), 12);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"c.zip"});
    if (HaveProgram("unzip")) {
        ToolRun test = RunProgram({"unzip", "-t", archive});
        EXPECT_EQ(test.exitCode, 0) << test.output;
    }
}

TEST_F(RewriteCommandLine, ArchivesWithNothingToChangeAreNotTouched) {
    std::string ascii = dir.Write("ascii.zip", BuildZipWithNames({"a.txt", "b.txt"}, "note"));
    std::string sjis = dir.Write("sjis.zip", ShiftJisArchive());
    long long asciiBefore = ModifiedAt(ascii);
    long long sjisBefore = ModifiedAt(sjis);
    std::this_thread::sleep_for(std::chrono::milliseconds(20));

    EXPECT_EQ(RunArcpeek({"-c:uN", ascii}).exitCode, 0);
    EXPECT_EQ(RunArcpeek({"-c:sN", sjis}).exitCode, 0);
    EXPECT_EQ(ModifiedAt(ascii), asciiBefore);
    EXPECT_EQ(ModifiedAt(sjis), sjisBefore);
    EXPECT_EQ(dir.List(), (std::vector<std::string>{"ascii.zip", "sjis.zip"}));
}

TEST_F(RewriteCommandLine, RefusedRewriteEndsWithItsCodeAndAnErrorLineWithoutBanner) {
    ZipLayout layout;
    layout.prefix = "#!/bin/sh\nexit 0\n";  // a stub before the first local header
    layout.entries.push_back(Entry(SjisNihon + ".txt", "nihon"));
    std::string original = BuildZip(layout);
    std::string archive = dir.Write("stub.zip", original);

    ToolRun run = RunArcpeek({"-c:uN", archive});
    EXPECT_EQ(run.exitCode, 67);
    EXPECT_EQ(run.output, ErrorLine(67, 20, 0));
    EXPECT_EQ(ReadFileBytes(archive), original);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"stub.zip"});
}

std::string UnicodePath(uint32_t crc, const std::string& utf8) {
    std::string field(9, '\0');
    PutLe16(field, 0, 0x7075);
    PutLe16(field, 2, static_cast<uint16_t>(5 + utf8.size()));
    field[4] = 1;
    PutLe32(field, 5, crc);
    return field + utf8;
}

TEST_F(RewriteCommandLine, UnicodePathFieldsAgreeWithTheNewNamesForUnzip) {
    if (!HaveRealEncodings())
        GTEST_SKIP() << "the encodings are not in this build yet";
    if (!HaveProgram("unzip"))
        GTEST_SKIP() << "unzip is not installed";
    // As Windows tools write them: a Shift-JIS name, its UTF-8 form in a
    // Unicode Path field with the CRC-32 of the Shift-JIS bytes; a second
    // field that names something else. Made on Unix: unzip treats names from
    // FAT hosts as code page 437 whatever their flags say.
    const std::string sjisName = SjisNihon + ".txt";
    const std::string kanaName = SjisKana + ".txt";
    ZipLayout layout;
    layout.entries.push_back(Entry(sjisName, "nihon"));
    layout.entries[0].extra =
        UnicodePath(Crc32(0, sjisName.data(), sjisName.size()), Utf8Nihon + ".txt");
    layout.entries.push_back(Entry(kanaName, "kana"));
    layout.entries[0].madeByHost = 3;
    layout.entries[1].madeByHost = 3;
    layout.entries[1].extra = UnicodePath(Crc32(0, kanaName.data(), kanaName.size()), "other.txt");
    std::string archive = dir.Write("u.zip", BuildZip(layout));

    ToolRun run = RunArcpeek({"-c:uN", archive});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    ParsedZip zip = ParseZip(ReadFileBytes(archive));
    ASSERT_EQ(zip.error, "");
    const std::string utf8Name = Utf8Nihon + ".txt";
    EXPECT_EQ(Hex(zip.entries[0].extra),
              Hex(UnicodePath(Crc32(0, utf8Name.data(), utf8Name.size()), utf8Name)));
    EXPECT_EQ(zip.entries[0].localExtra, zip.entries[0].extra);
    EXPECT_EQ(zip.entries[1].extra, "") << "a field naming another file is left out";
    EXPECT_EQ(zip.entries[1].localExtra, "");

    ToolRun listed = RunProgram({"unzip", "-l", archive});
    EXPECT_EQ(listed.exitCode, 0) << listed.output << listed.errors;
    EXPECT_NE(listed.output.find(utf8Name), std::string::npos) << listed.output;
    EXPECT_NE(listed.output.find(Utf8Kana + ".txt"), std::string::npos) << listed.output;
    EXPECT_EQ(listed.output.find("other.txt"), std::string::npos) << listed.output;
    EXPECT_EQ(RunProgram({"unzip", "-t", archive}).exitCode, 0);
}

}  // namespace
