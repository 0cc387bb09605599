// The full rewrite on archives built byte by byte: names, flags, comments,
// extra fields, descriptors and offsets of the new archive; and the
// comment-only rewrite of the end record.
#include <gtest/gtest.h>

#include <string>

#include "archive/context.h"
#include "archive/reader.h"
#include "archive/zip64_values.h"
#include "platform/fileio.h"
#include "rewrite/layout_check.h"
#include "rewrite/rewrite.h"
#include "support/tool_run.h"
#include "support/zip_builder.h"
#include "unit/rewrite_fixture.h"

namespace {

class RewriteArchive : public ::testing::Test {
protected:
    void TearDown() override {
        DisarmFileFault();
        ResetArchiveContext();
        largestPlainOffset = LargestStoredOffset;
    }

    // Stores `bytes` as a.zip, loads the context and rewrites it.
    int Rewrite(const std::string& bytes, const HeldArchive& held, NameEncoding target) {
        path = dir.Write("a.zip", bytes);
        int count = LoadIntoContext(bytes, path, held, target);
        detail = -1;
        return RewriteArchiveNames(count, &detail);
    }

    std::string After() const {
        return ReadFileBytes(path);
    }

    ScratchDir dir;
    std::string path;
    int detail = -1;
};

TEST_F(RewriteArchive, ToShiftJisStoresHeldNamesAndClearsBitsElevenToFifteen) {
    ZipLayout layout;
    layout.entries.push_back(Entry(Utf8A + ".txt", "first", 0x4802));
    layout.entries.push_back(Entry("plain.txt", "second", 0x0800));
    layout.entries.push_back(Entry(Utf8Nihon + "/", "", 0x0800));
    HeldArchive held;
    held.nameEncoding = Utf8;
    held.entries = {Converted(SjisA + ".txt"), HeldEntry{}, Converted(SjisNihon + "/")};

    ASSERT_EQ(Rewrite(BuildZip(layout), held, ShiftJis), 0);
    EXPECT_EQ(detail, -1) << "errorDetail is left alone on success";
    ParsedZip zip = ParseZip(After());
    ASSERT_EQ(zip.error, "");
    ASSERT_EQ(zip.entries.size(), 3u);
    EXPECT_EQ(zip.entries[0].name, SjisA + ".txt");
    EXPECT_EQ(zip.entries[0].localName, SjisA + ".txt");
    EXPECT_EQ(zip.entries[0].flags, 0x0002);
    EXPECT_EQ(zip.entries[0].localFlags, 0x0002);
    EXPECT_EQ(zip.entries[0].data, "first");
    EXPECT_EQ(zip.entries[1].name, "plain.txt");
    EXPECT_EQ(zip.entries[1].flags, 0x0800) << "an ASCII name keeps its flags";
    EXPECT_EQ(zip.entries[2].name, SjisNihon + "/");
    EXPECT_EQ(zip.entries[2].flags, 0x0000);
    EXPECT_EQ(dir.List(), std::vector<std::string>{"a.zip"});
}

TEST_F(RewriteArchive, ToUtf8SetsBitElevenInBothHeadersFromTheLocalFlags) {
    ZipLayout layout;
    layout.entries.push_back(Entry(SjisA + SjisI, "kana"));
    layout.entries.back().localFlags = 0x0002;  // the central header says 0
    layout.entries.push_back(Entry("readme", "ascii", 0x0004));
    HeldArchive held;
    held.entries = {Converted(SjisA + SjisI)};

    ASSERT_EQ(Rewrite(BuildZip(layout), held, Utf8), 0);
    ParsedZip zip = ParseZip(After());
    ASSERT_EQ(zip.error, "");
    EXPECT_EQ(zip.entries[0].name, ToUtf8(SjisA + SjisI));
    EXPECT_EQ(zip.entries[0].localName, zip.entries[0].name);
    EXPECT_EQ(zip.entries[0].flags, 0x0802);
    EXPECT_EQ(zip.entries[0].localFlags, 0x0802);
    EXPECT_EQ(zip.entries[1].flags, 0x0004);
    EXPECT_EQ(zip.entries[1].data, "ascii");
}

TEST_F(RewriteArchive, ToUtf8WritesTheConvertersBytes) {
    if (!HaveRealUtf8Converter())
        GTEST_SKIP() << "ShiftJisToUtf8 is not in this build yet";
    // Windows writes 髙 (FB FC), 﨑 (FA B1) and ⅰ (FA 40) in the IBM
    // extension rows; they are stored as the same characters.
    const std::string sjisTakahashi = "\xFB\xFC\x8B\xB4";
    const std::string sjisYamasaki = "\x8E\x52\xFA\xB1";
    ZipLayout layout;
    layout.entries.push_back(Entry(SjisNihon + "\xB6\xDE", "x"));  // 日本ｶﾞ
    layout.entries.back().comment = SjisA + "\n";
    layout.entries.push_back(Entry(sjisTakahashi, "y"));
    layout.entries.back().comment = sjisYamasaki;
    layout.comment = SjisI + "\xFA\x40";
    HeldArchive held;
    held.entries = {Converted(SjisNihon + "\xB6\xDE"), Converted(sjisTakahashi)};
    held.entries[0].comment = SjisA + "\r\n";
    held.entries[0].commentConverted = 1;
    held.entries[1].commentConverted = 1;

    ASSERT_EQ(Rewrite(BuildZip(layout), held, Utf8), 0);
    ParsedZip zip = ParseZip(After());
    ASSERT_EQ(zip.error, "");
    EXPECT_EQ(Hex(zip.entries[0].name), Hex(Utf8Nihon + "\xE3\x82\xAC"));
    EXPECT_EQ(Hex(zip.entries[0].comment), Hex(Utf8A + "\r\n"));
    EXPECT_EQ(Hex(zip.entries[1].name), Hex("\xE9\xAB\x99\xE6\xA9\x8B"));
    EXPECT_EQ(zip.entries[1].flags, 0x0800);
    EXPECT_EQ(Hex(zip.entries[1].comment), Hex("\xE5\xB1\xB1\xEF\xA8\x91"));
    EXPECT_EQ(Hex(zip.comment), Hex(Utf8I + "\xE2\x85\xB0"));
}

TEST_F(RewriteArchive, LongerNamesShiftOffsetsAndDescriptorsTravelWithTheirData) {
    ZipLayout layout;
    layout.entries.push_back(Entry(Utf8Nihon, "alpha"));
    layout.entries.back().descriptor = true;  // 16 bytes, with signature
    layout.entries.push_back(Entry(Utf8A, "beta"));
    layout.entries.back().descriptor = true;
    layout.entries.back().descriptorSignature = false;  // 12 bytes
    layout.entries.push_back(Entry("z", "gamma"));
    HeldArchive held;
    held.nameEncoding = Utf8;
    held.entries = {Converted(SjisNihon), Converted(SjisA)};
    std::string before = BuildZip(layout);

    ASSERT_EQ(Rewrite(before, held, ShiftJis), 0);
    ParsedZip zip = ParseZip(After());
    ASSERT_EQ(zip.error, "");
    // 6 -> 4 and 3 -> 2 bytes of name.
    EXPECT_EQ(zip.entries[0].localHeaderOffset, 0u);
    EXPECT_EQ(zip.entries[1].localHeaderOffset, 30u + 4 + 5 + 16);
    EXPECT_EQ(zip.entries[2].localHeaderOffset, 30u + 4 + 5 + 16 + 30 + 2 + 4 + 12);
    EXPECT_EQ(zip.entries[0].descriptor.size(), 16u);
    EXPECT_EQ(zip.entries[1].descriptor.size(), 12u);
    EXPECT_EQ(zip.entries[0].flags & 0x0008, 0x0008);
    EXPECT_EQ(zip.directorySize, (46u + 4) + (46 + 2) + (46 + 1));
    EXPECT_EQ(After().size(), before.size() - 2 * 3) << "both headers of both names";
}

TEST_F(RewriteArchive, ExtraFieldsStayAsReadInEachHeader) {
    const std::string central = std::string("\x0A\x00\x04\x00", 4) + "CCCC";
    const std::string local = std::string("\x55\x54\x05\x00", 4) + "LLLLL";
    ZipLayout layout;
    layout.entries.push_back(Entry(Utf8A, "data"));
    layout.entries.back().extra = central;
    layout.entries.back().localExtra = local;
    HeldArchive held;
    held.nameEncoding = Utf8;
    held.entries = {Converted(SjisA)};

    ASSERT_EQ(Rewrite(BuildZip(layout), held, ShiftJis), 0);
    ParsedZip zip = ParseZip(After());
    ASSERT_EQ(zip.error, "");
    EXPECT_EQ(zip.entries[0].extra, central);
    EXPECT_EQ(zip.entries[0].localExtra, local);
}

TEST_F(RewriteArchive, HeadersOfAnySizeTheFormatAllowsAreCarriedOver) {
    // A local extra field far beyond an 8 KiB header buffer.
    std::string big(60000, 'x');
    PutLe16(big, 0, 0xCAFE);
    PutLe16(big, 2, static_cast<uint16_t>(big.size() - 4));
    ZipLayout layout;
    layout.entries.push_back(Entry(Utf8A, "data"));
    layout.entries.back().localExtra = big;
    layout.entries.push_back(Entry("b", "2"));
    HeldArchive held;
    held.nameEncoding = Utf8;
    held.entries = {Converted(SjisA)};

    ASSERT_EQ(Rewrite(BuildZip(layout), held, ShiftJis), 0);
    ParsedZip zip = ParseZip(After());
    ASSERT_EQ(zip.error, "");
    EXPECT_EQ(zip.entries[0].localExtra, big);
    EXPECT_EQ(zip.entries[1].data, "2");
}

TEST_F(RewriteArchive, CommentsFollowTheirRuleAndKeptCommentsKeepEveryByte) {
    ZipLayout layout;
    layout.entries.push_back(Entry(Utf8A, "1"));
    layout.entries.back().comment = Utf8I;
    layout.entries.push_back(Entry("b", "2"));
    layout.entries.back().comment = std::string("x\0y", 3);  // kept as read, zero and all
    layout.comment = Utf8Nihon;
    HeldArchive held;
    held.nameEncoding = Utf8;
    held.entries = {Converted(SjisA)};
    held.entries[0].comment = SjisI;
    held.entries[0].commentConverted = 1;
    held.comment = SjisNihon;

    ASSERT_EQ(Rewrite(BuildZip(layout), held, ShiftJis), 0);
    ParsedZip zip = ParseZip(After());
    ASSERT_EQ(zip.error, "");
    EXPECT_EQ(zip.entries[0].comment, SjisI);
    EXPECT_EQ(Hex(zip.entries[1].comment), Hex(std::string("x\0y", 3)));
    EXPECT_EQ(zip.comment, SjisNihon);
}

TEST_F(RewriteArchive, EndRecordKeepsItsCountsAndGetsTheNewDirectory) {
    ZipLayout layout;
    layout.entries.push_back(Entry(Utf8A, "1"));
    layout.entries.push_back(Entry("b", "2"));
    layout.totalEntries = 7;  // held, not used: written back as read
    HeldArchive held;
    held.nameEncoding = Utf8;
    held.entries = {Converted(SjisA)};

    ASSERT_EQ(Rewrite(BuildZip(layout), held, ShiftJis), 0);
    ParsedZip zip = ParseZip(After());
    ASSERT_EQ(zip.error, "");
    EXPECT_EQ(zip.diskEntries, 2);
    EXPECT_EQ(zip.totalEntries, 7);
}

// With -r, offsets past what a 32-bit field holds go to a fresh 0x0001 field
// (version needed 45) and to ZIP64 end records. The limit is lowered so that
// a small archive crosses it: the second and third entries and the directory
// lie beyond it. Sizes that an entry's 0x0001 field held stay there, and its
// other extra fields follow in their order.
TEST_F(RewriteArchive, WithRelaxedChecksOffsetsPastTheLimitTakeZip64Forms) {
    const std::string other("\x0A\x00\x02\x00xy", 6);  // \x00 then "xy": not hex digits
    ZipLayout layout;
    layout.entries = {Entry(Utf8Nihon, "alpha"), Entry(Utf8A, "beta"), Entry("z", "gamma")};
    layout.entries[2].compressedSize = layout.entries[2].uncompressedSize = 0xFFFFFFFF;
    layout.entries[2].extra = other + Zip64Field({5, 5});
    HeldArchive held;
    held.nameEncoding = Utf8;
    held.entries = {Converted(SjisNihon), Converted(SjisA)};
    path = dir.Write("a.zip", BuildZip(layout));
    const int count = LoadIntoContext(BuildZip(layout), path, held, ShiftJis);
    context.relaxedVersions = 1;
    context.records[2].hasZip64Values = 1;
    largestPlainOffset = 30;
    ASSERT_EQ(RewriteArchiveNames(count, &detail), 0);

    ResetArchiveContext();
    context.relaxedVersions = 1;
    int read = 0;
    ASSERT_EQ(ReadArchiveDirectory(path.c_str(), &read, &detail), 0);
    ASSERT_EQ(read, 3);
    EXPECT_EQ(context.zip64End.present, 1);
    EXPECT_EQ(context.directory.offset, 39u + 36 + 62);
    EXPECT_EQ(context.records[0].extraLength, 0);
    EXPECT_EQ(context.records[1].localHeaderOffset, 0xFFFFFFFFu);
    EXPECT_EQ(Zip64ValuesOf(context.records[1]).localHeaderOffset, 39u);
    EXPECT_EQ(context.records[1].neededVersion, 45);
    const CentralRecord& last = context.records[2];
    EXPECT_EQ(std::string(ExtraOf(&last), last.extraLength), Zip64Field({5, 5, 39 + 36}) + other);
    if (HaveProgram("unzip")) {
        ToolRun unzip = RunProgram({"unzip", "-t", path});
        EXPECT_EQ(unzip.exitCode, 0) << unzip.output << unzip.errors;
    }

    // An extra field of 65,535 bytes has no room for the offset: refused, not cut.
    layout.entries[2].extra += "\x0B\x00" + std::string("\xE1\xFF", 2) + std::string(65505, 'f');
    const std::string full = BuildZip(layout);
    path = dir.Write("a.zip", full);
    ASSERT_EQ(LoadIntoContext(full, path, held, ShiftJis), 3);
    context.relaxedVersions = 1;
    context.records[2].hasZip64Values = 1;
    EXPECT_EQ(RewriteArchiveNames(3, &detail), TargetTextTooLong);
    EXPECT_EQ(After(), full);
}

TEST_F(RewriteArchive, EntriesAreWrittenInFileOrderWhateverTheDirectoryOrder) {
    ZipLayout layout;
    layout.entries.push_back(Entry(Utf8A, "first in file"));
    layout.entries.push_back(Entry(Utf8I, "second in file"));
    std::string bytes = BuildZip(layout);
    // Swap the two central headers (each 46 + 3 bytes).
    size_t directory = GetLe32(bytes, bytes.size() - 22 + 16);
    std::string first = bytes.substr(directory, 49);
    std::string second = bytes.substr(directory + 49, 49);
    bytes.replace(directory, 98, second + first);
    HeldArchive held;
    held.nameEncoding = Utf8;
    held.entries = {Converted(SjisI), Converted(SjisA)};

    ASSERT_EQ(Rewrite(bytes, held, ShiftJis), 0);
    ParsedZip zip = ParseZip(After());
    ASSERT_EQ(zip.error, "");
    EXPECT_EQ(zip.entries[0].name, SjisA);
    EXPECT_EQ(zip.entries[0].data, "first in file");
    EXPECT_EQ(zip.entries[1].name, SjisI);
    EXPECT_EQ(zip.entries[1].data, "second in file");
}

TEST_F(RewriteArchive, KeptNameWithADifferentLocalNameGetsTheCentralNameInBoth) {
    ZipLayout layout;
    layout.entries.push_back(Entry(Utf8A, "1"));
    layout.entries.push_back(Entry("central.txt", "2"));
    layout.entries.back().localName = "loc.txt";
    HeldArchive held;
    held.nameEncoding = Utf8;
    held.entries = {Converted(SjisA)};

    ASSERT_EQ(Rewrite(BuildZip(layout), held, ShiftJis), 0);
    ParsedZip zip = ParseZip(After());
    ASSERT_EQ(zip.error, "");
    EXPECT_EQ(zip.entries[1].localName, "central.txt");
    EXPECT_EQ(zip.entries[1].data, "2");
}

TEST_F(RewriteArchive, ExistingTemporaryFileIsReplacedAndRemoved) {
    dir.Write("a.zip.temp", "left over from an earlier run");
    ZipLayout layout;
    layout.entries.push_back(Entry(Utf8A, "1"));
    HeldArchive held;
    held.nameEncoding = Utf8;
    held.entries = {Converted(SjisA)};

    ASSERT_EQ(Rewrite(BuildZip(layout), held, ShiftJis), 0);
    EXPECT_EQ(ParseZip(After()).error, "");
    EXPECT_EQ(dir.List(), std::vector<std::string>{"a.zip"});
}

// Only the archive comment is not ASCII: the copy keeps every entry byte.
class CommentOnlyRewrite : public RewriteArchive {
protected:
    std::string Build(const std::string& comment, const std::string& trailing = "") {
        ZipLayout layout;
        layout.entries.push_back(Entry("one.txt", "1"));
        layout.entries.back().descriptor = true;
        layout.entries.push_back(Entry("two.txt", "22"));
        layout.comment = comment;
        layout.trailing = trailing;
        return BuildZip(layout);
    }
};

TEST_F(CommentOnlyRewrite, EntriesStayByteForByteAndTheFileEndsWithTheNewComment) {
    std::string before = Build(Utf8Nihon + "!", "trailing junk");
    HeldArchive held;
    held.nameEncoding = Utf8;
    held.comment = SjisNihon + "!";
    size_t endAt = before.size() - 13 - 7 - 22;

    ASSERT_EQ(Rewrite(before, held, ShiftJis), 0);
    std::string after = After();
    EXPECT_EQ(after.substr(0, endAt), before.substr(0, endAt));
    EXPECT_EQ(after.size(), endAt + 22 + 5) << "shorter comment, junk cut off";
    EXPECT_EQ(after.substr(endAt + 22), SjisNihon + "!");
    EXPECT_EQ(GetLe16(after, endAt + 20), 5);
    EXPECT_EQ(after.substr(endAt, 20), before.substr(endAt, 20));
    EXPECT_EQ(ParseZip(after).error, "");
    EXPECT_EQ(dir.List(), std::vector<std::string>{"a.zip"});
}

TEST_F(CommentOnlyRewrite, LongerCommentGrowsTheFile) {
    std::string before = Build(SjisNihon);
    HeldArchive held;
    held.comment = SjisNihon;

    ASSERT_EQ(Rewrite(before, held, Utf8), 0);
    std::string after = After();
    EXPECT_EQ(after.size(), before.size() - 4 + ToUtf8(SjisNihon).size());
    ParsedZip zip = ParseZip(after);
    EXPECT_EQ(zip.error, "");
    EXPECT_EQ(zip.comment, ToUtf8(SjisNihon));
}

}  // namespace
