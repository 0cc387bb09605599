// Japanese texts from archive to held Shift-JIS: archives whose names and
// comments are written in each encoding are read through the central
// directory reader, and the held names, the archive-wide encoding and the
// lossy marks are checked byte for byte.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/context.h"
#include "archive/reader.h"
#include "jcode/euc.h"
#include "support/reader_fixture.h"
#include "support/tool_run.h"
#include "support/zip_builder.h"

namespace {

using JapaneseArchive = ReaderFixture;

ZipLayout ArchiveWithName(const std::string& name) {
    ZipLayout layout;
    ZipEntryLayout entry;
    entry.name = name;
    entry.data = "x";
    layout.entries = {entry};
    return layout;
}

std::string LittleEndianUnits(const std::u16string& text) {
    std::string bytes;
    for (char16_t u : text) {
        bytes.push_back(static_cast<char>(u & 0xFF));
        bytes.push_back(static_cast<char>(u >> 8));
    }
    return bytes;
}

std::string BigEndianUnits(const std::u16string& text) {
    std::string bytes;
    for (char16_t u : text) {
        bytes.push_back(static_cast<char>(u >> 8));
        bytes.push_back(static_cast<char>(u & 0xFF));
    }
    return bytes;
}

std::string EucAsShiftJis(uint8_t first, uint8_t second) {
    uint16_t code = EucPairToShiftJis(first, second);
    return std::string{static_cast<char>(code >> 8), static_cast<char>(code & 0xFF)};
}

struct NameCase {
    const char* scenario;
    std::string stored;
    NameEncoding encoding;  // what the name, as the only non-ASCII text, fixes
    std::string held;
    int lossy;
};

const std::string Photo = "\x8E\xCA\x90\x5E";  // 写真 in Shift-JIS

const NameCase nameCases[] = {
    {"Shift-JIS name kept as read", Photo + ".jpg", ShiftJis, Photo + ".jpg", 0},
    {"EUC-JP name converted", "\xC6\xFC\xCB\xDC\xB8\xEC.txt", Euc, "\x93\xFA\x96\x7B\x8C\xEA.txt",
     0},
    {"EUC-JP half-width katakana kept as one byte", "\xB0\xEC\x8E\xB1", Euc,
     EucAsShiftJis(0xB0, 0xEC) + "\xB1", 0},
    {"EUC-JP three-byte character cuts the name", "\xB0\xEC\x8F\xB0\xA1", Euc,
     EucAsShiftJis(0xB0, 0xEC), 1},
    {"UTF-8 name converted", "\xE5\x86\x99\xE7\x9C\x9F.jpg", Utf8, Photo + ".jpg", 0},
    {"UTF-8 emoji is one ? and keeps the next kanji", "\xF0\x9F\x98\x80\xE5\x86\x99\xE7\x9C\x9F",
     Utf8, "?" + Photo, 1},
    {"UTF-8 decomposed as macOS writes it", "\xE3\x81\x8B\xE3\x82\x99\xE3\x83\x8F\xE3\x82\x9A.txt",
     Utf8, "\x82\xAA\x83\x70.txt", 0},
    {"UTF-16LE Latin name caught through its zero bytes", LittleEndianUnits(u"photo.jpg"), Utf16Le,
     "photo.jpg", 0},
    {"UTF-16LE Japanese name with the particle no", LittleEndianUnits(u"\u5199\u771F\u306E.txt"),
     Utf16Le, Photo + "\x82\xCC.txt", 0},
    {"UTF-16BE Latin name swapped and converted", BigEndianUnits(u"photo.jpg"), Utf16Be,
     "photo.jpg", 0},
    {"UTF-8 byte-order mark keeps the name as read",
     "\xEF\xBB\xBF"
     "abc",
     Utf8,
     "\xEF\xBB\xBF"
     "abc",
     1},
    {"UTF-16LE byte-order mark keeps the name as read", "\xFF\xFE" + LittleEndianUnits(u"ab"), Utf8,
     "\xFF\xFE" + LittleEndianUnits(u"ab"), 1},
};

TEST_F(JapaneseArchive, NamesInEachEncodingAreHeldInShiftJis) {
    for (const NameCase& c : nameCases) {
        SCOPED_TRACE(std::string(c.scenario) + ": " + Hex(c.stored));
        ResetArchiveContext();
        ASSERT_EQ(Read(BuildZip(ArchiveWithName(c.stored))), 0);
        EXPECT_EQ(context.nameEncoding, c.encoding);
        const CentralRecord& record = context.records[0];
        EXPECT_EQ(Hex(std::string(record.name, record.nameLength)), Hex(c.held));
        EXPECT_EQ(context.records[0].nameLength, c.held.size());
        EXPECT_EQ(context.records[0].nameConverted, 1);
        EXPECT_EQ(context.records[0].nameLossy, c.lossy);
    }
}

// The first non-ASCII text fixes the encoding; each later text is still
// stored according to its own detection.
TEST_F(JapaneseArchive, Utf8ArchiveCommentDecidesTheEncodingOfShiftJisNames) {
    ZipLayout layout = ArchiveWithName(Photo + ".jpg");
    layout.comment = "\xE5\x86\x99\xE7\x9C\x9F\nOK";
    ASSERT_EQ(Read(BuildZip(layout)), 0);
    EXPECT_EQ(context.nameEncoding, Utf8);
    EXPECT_EQ(Hex(context.commentBuffer), Hex(Photo + "\r\nOK"));
    EXPECT_EQ(context.commentLossy, 0);
    EXPECT_EQ(Hex(context.records[0].name), Hex(Photo + ".jpg"));
    EXPECT_EQ(context.records[0].nameLossy, 0);
}

TEST_F(JapaneseArchive, EntryCommentsAreConvertedWithCrLfNewlines) {
    ZipLayout layout = ArchiveWithName("plain.txt");
    layout.entries[0].comment = "\xE3\x81\x82\n\xE3\x81\x84";
    ASSERT_EQ(Read(BuildZip(layout)), 0);
    EXPECT_EQ(context.nameEncoding, Utf8);
    const CentralRecord& record = context.records[0];
    EXPECT_EQ(record.nameConverted, 0);
    EXPECT_EQ(record.commentConverted, 1);
    EXPECT_EQ(Hex(CommentOf(&record)), "82 A0 0D 0A 82 A2");
    EXPECT_EQ(record.commentLength, 6);
    EXPECT_EQ(record.commentLossy, 0);
}

TEST_F(JapaneseArchive, LaterNamesKeepTheirOwnEncoding) {
    ZipLayout layout;
    ZipEntryLayout first;
    first.name = "\xC6\xFC\xCB\xDC\xB8\xEC";  // EUC-JP 日本語
    ZipEntryLayout second;
    second.name = "\xE5\x86\x99\xE7\x9C\x9F";  // UTF-8 写真
    layout.entries = {first, second};
    ASSERT_EQ(Read(BuildZip(layout)), 0);
    EXPECT_EQ(context.nameEncoding, Euc);
    EXPECT_EQ(Hex(context.records[0].name), "93 FA 96 7B 8C EA");
    EXPECT_EQ(Hex(context.records[1].name), Hex(Photo));
}

// python3's zipfile stores non-ASCII names in UTF-8; the decomposed form is
// what an archive made on macOS holds.
TEST_F(JapaneseArchive, PythonZipfileUtf8NamesDecomposedOrNotReadAsShiftJis) {
    if (!HaveProgram("python3"))
        GTEST_SKIP() << "python3 is not installed";
    const std::string archive = scratch.File("py.zip");
    ToolRun made = RunProgram({"python3", "-c",
                               "import zipfile,sys,unicodedata\n"
                               "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                               "    z.writestr('\u5199\u771f/\u30ac\u30a4\u30c9.txt', 'a')\n"
                               "    z.writestr(unicodedata.normalize('NFD', "
                               "'\u30d1\u30d1\u3068\u3054\u98ef.txt'), 'b')\n",
                               archive});
    ASSERT_EQ(made.exitCode, 0) << made.errors;
    ASSERT_EQ(ReadArchiveDirectory(archive.c_str(), &entryCount, &errorDetail), 0);
    ASSERT_EQ(entryCount, 2);
    EXPECT_EQ(context.nameEncoding, Utf8);
    EXPECT_EQ(Hex(context.records[0].name), Hex(Photo + "/\x83\x4B\x83\x43\x83\x68.txt"));
    EXPECT_EQ(Hex(context.records[1].name), Hex("\x83\x70\x83\x70\x82\xC6\x82\xB2\x94\xD1.txt"));
    EXPECT_EQ(context.records[0].nameLossy, 0);
    EXPECT_EQ(context.records[1].nameLossy, 0);
}

}  // namespace
