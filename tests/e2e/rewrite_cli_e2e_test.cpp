// The rewrite through the built binary on archives from the test builder:
// the backup, the comment-only rewrite, archives left alone, the error line
// of a refused rewrite, and Unicode Path fields as unzip sees them.
#include <gtest/gtest.h>

#include <algorithm>
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
    layout.entries.push_back(
        Entry("\xFB\xFC\x8B\xB4.txt", "takahashi"));  // 髙橋, as Windows writes it
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
    EXPECT_EQ(Hex(zip.entries[3].name), Hex("\xE9\xAB\x99\xE6\xA9\x8B.txt"));
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
    // With -r, behind ZIP64 end records, which stay as they are.
    layout.zip64End = Zip64EndLayout{};
    original = BuildZip(layout);
    dir.Write("c.zip", original);
    EXPECT_EQ(RunArcpeek({"-r", "-c:uN", archive}).exitCode, 0);
    after = ReadFileBytes(archive);
    EXPECT_EQ(after.substr(0, endAt + 76), original.substr(0, endAt + 76));
    EXPECT_EQ(Hex(after.substr(endAt + 76 + 22)), Hex(Utf8Nihon + Utf8Kana));
    // Behind a self-extractor's stub that left every offset as it was: the
    // ZIP64 end record is found right before its locator.
    const std::string stub = "#!/bin/sh\nexit 0\n";
    dir.Write("c.zip", stub + original);
    EXPECT_EQ(RunArcpeek({"-r", "-c:uN", archive}).exitCode, 0);
    after = ReadFileBytes(archive);
    EXPECT_EQ(after.substr(0, stub.size() + endAt + 76), stub + original.substr(0, endAt + 76));
    EXPECT_EQ(Hex(after.substr(stub.size() + endAt + 76 + 22)), Hex(Utf8Nihon + Utf8Kana));
}

// A text whose conversion stops early (at its first character or later) is
// held short or empty; a rewrite must refuse it, never store it shorter. Each
// row's text is a name, an entry comment or the archive comment; an archive
// comment in the other encoding than the target is read first where the
// text is not, so that a rewrite is asked for.
TEST_F(RewriteCommandLine, TextsWhoseConversionStopsAreRefusedAndTheArchiveKept) {
    if (!HaveRealEncodings())
        GTEST_SKIP() << "the encodings are not in this build yet";
    enum Kind { Name, EntryComment, ArchiveComment };
    const std::string jisX0212 = "\x8F\xA1\xA1\xDF\xF2\x0D\x0A\xC5\xEA";
    const std::string nul(1, '\0');
    // A text with a zero byte is not held as UTF-8 or Shift-JIS; as the
    // archive comment, read first, it makes the archive's encoding UTF-8, so
    // -c:u has nothing to do (and leaves it as stored).
    struct Row {
        const char* label;
        std::string text;
        int archiveCommentToUtf8;
    } rows[] = {
        {"EUC-JP, JIS X 0212 first", jisX0212, 70},
        {"EUC-JP, JIS X 0212 later", "\xC5\xEA" + jisX0212, 70},
        {"UTF-16LE, zero unit later", "\xE5\x65\x2C\x67" + nul + nul + "\x9E\x8A", 0},
        {"UTF-16BE, zero unit later", "\x65\xE5\x67\x2C" + nul + nul + "\x8A\x9E", 0},
        {"UTF-8, zero byte first", nul + Utf8Nihon, 0},
        {"UTF-8, zero byte later", Utf8Nihon + nul + Utf8Kana, 0},
        {"Shift-JIS, zero byte first", nul + SjisNihon, 0},
        {"Shift-JIS, zero byte later", SjisNihon + nul + SjisKana, 0},
    };
    for (const Row& row : rows) {
        for (Kind kind : {Name, EntryComment, ArchiveComment}) {
            for (const std::string target : {"-c:sN", "-c:uN"}) {
                ZipLayout layout;
                layout.entries.push_back(Entry(kind == Name ? row.text : "a.txt", "1"));
                layout.entries.push_back(Entry("b.txt", "2"));
                if (kind == EntryComment)
                    layout.entries[1].comment = row.text;
                // Read first: its encoding is the archive's, so the target differs.
                layout.comment = kind == ArchiveComment ? row.text
                                 : target == "-c:sN"    ? Utf8Nihon
                                                        : SjisNihon;
                std::string original = BuildZip(layout);
                std::string archive = dir.Write("t.zip", original);
                ToolRun run = RunArcpeek({target, archive});
                std::string what =
                    std::string(row.label) + ", " + target + ", text kind " + std::to_string(kind);
                int expected =
                    kind == ArchiveComment && target == "-c:uN" ? row.archiveCommentToUtf8 : 70;
                EXPECT_EQ(run.exitCode, expected) << what;
                EXPECT_EQ(ReadFileBytes(archive), original) << what;
                EXPECT_EQ(dir.List(), std::vector<std::string>{"t.zip"}) << what;
            }
        }
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

// Two runs on one archive at the same moment, as from two terminals. Each
// pair ends with one run that rewrote the archive and one that either found
// it locked (77), found it replaced since its read (78), or found nothing
// left to do (0); the archive is every time exactly what one run alone makes
// of it, and no temporary file remains. Which of these happens depends on the
// timing; the locked case is also forced deterministically in the unit tests.
TEST_F(RewriteCommandLine, TwoRewritesAtOnceLeaveOneCompleteArchive) {
    if (!HaveRealEncodings())
        GTEST_SKIP() << "the encodings are not in this build yet";
    ZipLayout layout;
    for (int i = 0; i < 8; ++i) {
        std::string data(4 << 20, static_cast<char>('a' + i));
        layout.entries.push_back(Entry(SjisNihon + std::to_string(i) + ".bin", data));
    }
    const std::string original = BuildZip(layout);
    const std::string reference = dir.Write("reference.zip", original);
    ASSERT_EQ(RunArcpeek({"-c:uN", reference}).exitCode, 0);
    const std::string expected = ReadFileBytes(reference);
    ASSERT_NE(expected, original);

    const std::string archive = dir.File("a.zip");
    for (int attempt = 0; attempt < 3; ++attempt) {
        SCOPED_TRACE("attempt " + std::to_string(attempt));
        dir.Write("a.zip", original);
        ToolRun first;
        ToolRun second;
        std::thread other([&] { second = RunArcpeek({"-c:uN", archive}); });
        first = RunArcpeek({"-c:uN", archive});
        other.join();
        std::vector<int> codes = {first.exitCode, second.exitCode};
        std::sort(codes.begin(), codes.end());
        EXPECT_EQ(codes[0], 0) << first.output << second.output;
        EXPECT_TRUE(codes[1] == 0 || codes[1] == 77 || codes[1] == 78) << codes[1];
        EXPECT_TRUE(ReadFileBytes(archive) == expected) << "the archive is not the rewritten one";
        EXPECT_EQ(dir.List(), (std::vector<std::string>{"a.zip", "reference.zip"}));
    }
}

TEST_F(RewriteCommandLine, DifferentStoredNamesNeverBecomeOneButDuplicatesStay) {
    if (!HaveRealEncodings())
        GTEST_SKIP() << "the encodings are not in this build yet";
    struct Case {
        const char* scenario;
        std::string first;
        std::string second;
        const char* target;
        int code;
    };
    const std::string ga = "\xE3\x81\x8C";                    // が
    const std::string kaVoiced = "\xE3\x81\x8B\xE3\x82\x99";  // か + U+3099
    const std::string sjisShiryo = "\x8E\x91\x97\xBF";        // 資料
    const std::string utf8Shiryo = "\xE8\xB3\x87\xE6\x96\x99";
    const std::string utf16Abcd = std::string("a\0b\0c\0d\0", 8);
    const std::vector<Case> cases = {
        {"composed and decomposed kana", ga + ".txt", kaVoiced + ".txt", "-c:sN", 74},
        {"Shift-JIS and UTF-8 of one word", sjisShiryo + ".txt", utf8Shiryo + ".txt", "-c:uN", 74},
        {"ASCII and UTF-16LE of one word", "abcd", utf16Abcd, "-c:sN", 74},
        {"a duplicate the archive came with", ga + ".txt", ga + ".txt", "-c:sN", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.scenario);
        ZipLayout layout;
        layout.entries.push_back(Entry(c.first, "first"));
        layout.entries.push_back(Entry(c.second, "second"));
        const std::string original = BuildZip(layout);
        const std::string archive = dir.Write("d.zip", original);
        ToolRun run = RunArcpeek({c.target, archive});
        EXPECT_EQ(run.exitCode, c.code);
        EXPECT_EQ(dir.List(), std::vector<std::string>{"d.zip"});
        if (c.code != 0) {
            EXPECT_EQ(run.output, ErrorLine(c.code, 20, 0));
            EXPECT_EQ(ReadFileBytes(archive), original) << "left unchanged";
            continue;
        }
        ParsedZip zip = ParseZip(ReadFileBytes(archive));
        ASSERT_EQ(zip.error, "");
        ASSERT_EQ(zip.entries.size(), 2u);
        EXPECT_EQ(Hex(zip.entries[0].name), "82 AA 2E 74 78 74");
        EXPECT_EQ(zip.entries[1].name, zip.entries[0].name);
    }
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

// An end record counting 65,535 entries holds a true count unless a ZIP64
// locator precedes it: such an archive rewrites, with or without -r; with a
// locator it is a ZIP64 archive, which a rewrite does not write (69).
TEST_F(RewriteCommandLine, ExactlySixtyFiveThousandFiveHundredThirtyFiveEntriesRewrite) {
    ZipLayout layout;
    layout.entries.push_back(Entry(SjisNihon + ".txt", "nihon"));
    for (int i = 1; i < 65535; ++i)
        layout.entries.push_back(Entry("f" + std::to_string(i), ""));
    const std::string original = BuildZip(layout);
    for (const char* relaxed : {"", "-r"}) {
        SCOPED_TRACE(relaxed);
        const std::string archive = dir.Write("full.zip", original);
        std::vector<std::string> args = {"-c:uN", archive};
        if (*relaxed)
            args.insert(args.begin(), relaxed);
        ToolRun run = RunArcpeek(args);
        ASSERT_EQ(run.exitCode, 0) << run.output;
        const std::string bytes = ReadFileBytes(archive);
        EXPECT_EQ(bytes.find(Utf8Nihon + ".txt"), 30u);
        EXPECT_EQ(GetLe16(bytes, bytes.size() - 22 + 8), 65535);
        EXPECT_EQ(RunArcpeek({"-f:" + dir.File("list.csv"), archive}).exitCode, 0);
    }
    // ZIP64 end records are written only where a value needs them: 65,535
    // entries fit the end record.
    layout.zip64End = Zip64EndLayout{};
    const std::string archive = dir.Write("full.zip", BuildZip(layout));
    EXPECT_EQ(RunArcpeek({"-r", "-c:uN", archive}).exitCode, 0);
    const std::string bytes = ReadFileBytes(archive);
    EXPECT_EQ(GetLe16(bytes, bytes.size() - 22 + 8), 65535);
    EXPECT_NE(bytes.substr(bytes.size() - 42, 4), std::string("PK\x06\x07"));
}

}  // namespace
