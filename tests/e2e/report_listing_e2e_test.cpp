// The console report and the list file, end to end on archives from the test
// builder. Output is read back through CP932 so the expectations are Japanese.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include "support/tool_run.h"
#include "support/zip_builder.h"

namespace {

const std::string Banner = ExpectedBanner;
const std::string Header =
    "ファイル名--------------------------------------圧縮サイズ---元サイズ-----ファイル日付-------"
    "\n";

ZipEntryLayout Entry(const std::string& name, uint32_t compressed = 1, uint32_t size = 1) {
    ZipEntryLayout e;
    e.name = name;
    e.data = "x";
    e.compressedSize = compressed;
    e.uncompressedSize = size;
    return e;
}

// A row as the listing prints it, in UTF-8; `nameWidth` is the name's width in
// Shift-JIS bytes.
std::string Row(const std::string& name, size_t nameWidth, const std::string& a,
                const std::string& b, const std::string& date = "2013/02/03 12:00:00") {
    std::string row = name + std::string(nameWidth < 48 ? 48 - nameWidth : 0, ' ');
    row += std::string(a.size() < 12 ? 12 - a.size() : 0, ' ') + a + " ";
    row += std::string(b.size() < 12 ? 12 - b.size() : 0, ' ') + b + " " + date + "\n";
    return row;
}

std::string ErrorLine(int code, int version, int detail) {
    return "処理エラーが発生しました。エラーコード (" + std::to_string(code) + ") : (" +
           std::to_string(version) + ", " + std::to_string(detail) + ")\n\n";
}

class ReportEndToEnd : public ::testing::Test {
protected:
    std::string Archive(const ZipLayout& layout) {
        return scratch.Write("a.zip", BuildZip(layout));
    }
    ScratchDir scratch;
};

TEST_F(ReportEndToEnd, RowsPadNamesAndGroupSizes) {
    ZipLayout layout;
    std::string longName = "folder/" + std::string(50, 'n') + ".txt";
    layout.entries = {Entry("a.txt", 0, 999), Entry(std::string(48, 'x'), 1000, 1234567),
                      Entry(longName, 4294967295u, 2147483648u), Entry("100%s%n%d.txt", 5, 6)};
    layout.entries[1].modDate = 0x7F9F;  // 2043/12/31
    layout.entries[1].modTime = 0xBF7D;  // 23:59:58
    ToolRun run = RunArcpeek({Archive(layout)});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output,
              Banner + Utf8ToCp932(Header) + Row("a.txt", 5, "0", "999") +
                  Row(std::string(48, 'x'), 48, "1,000", "1,234,567", "2043/12/31 23:59:58") +
                  Row(longName, longName.size(), "4,294,967,295", "2,147,483,648") +
                  Row("100%s%n%d.txt", 13, "5", "6"));
}

TEST_F(ReportEndToEnd, ShiftJisNamesArePaddedByTheirByteLength) {
    ZipLayout layout;
    layout.entries = {Entry(Utf8ToCp932("写真/夏休み.txt"), 18, 18),
                      Entry(Utf8ToCp932("表示.txt"), 2, 2)};
    ToolRun run = RunArcpeek({Archive(layout)});
    EXPECT_EQ(Cp932ToUtf8(run.output), Banner + Header + Row("写真/夏休み.txt", 15, "18", "18") +
                                           Row("表示.txt", 8, "2", "2"));
}

TEST_F(ReportEndToEnd, DetailBlockOfAnAsciiArchiveWithoutComment) {
    ZipLayout layout;
    layout.entries = {Entry("a.txt"), Entry("b.txt")};
    layout.entries[1].madeByVersion = 63;  // the last entry's version and host are shown
    layout.entries[1].madeByHost = 3;
    ToolRun run = RunArcpeek({"-a", Archive(layout)});
    EXPECT_EQ(Cp932ToUtf8(run.output), Banner +
                                           "文字コード情報：ASCII\n"
                                           "パスワード設定：無し\n"
                                           "内包ファイル数：2\n"
                                           "ZIPバージョン ：63\n"
                                           "作成OS情報    ：3\n"
                                           "ファイル説明文：無し\n"
                                           "\n" +
                                           Header + Row("a.txt", 5, "1", "1") +
                                           Row("b.txt", 5, "1", "1"));
}

TEST_F(ReportEndToEnd, DetailBlockOfAnEncryptedShiftJisArchiveWithComment) {
    ZipLayout layout;
    layout.entries = {Entry(Utf8ToCp932("報告書.txt")), Entry("plain.txt")};
    layout.entries[0].flags = 0x0001;
    layout.comment = Utf8ToCp932("社外秘 100%");
    ToolRun run = RunArcpeek({"-A", Archive(layout)});
    EXPECT_EQ(Cp932ToUtf8(run.output), Banner +
                                           "文字コード情報：シフトJIS\n"
                                           "パスワード設定：有り\n"
                                           "内包ファイル数：2\n"
                                           "ZIPバージョン ：20\n"
                                           "作成OS情報    ：0\n"
                                           "ファイル説明文：社外秘 100%\n"
                                           "\n" +
                                           Header + Row("報告書.txt", 10, "1", "1") +
                                           Row("plain.txt", 9, "1", "1"));
}

std::string Units(const std::u16string& text, bool bigEndian) {
    std::string bytes;
    for (char16_t u : text) {
        char high = static_cast<char>(u >> 8), low = static_cast<char>(u & 0xFF);
        bytes += bigEndian ? std::string{high, low} : std::string{low, high};
    }
    return bytes;
}

// Names written in each encoding: the detail block names it, the row shows the
// name in Shift-JIS.
TEST_F(ReportEndToEnd, DetailBlockNamesEachEncoding) {
    const struct {
        std::string stored;
        const char* encoding;
        const char* shown;
    } cases[] = {
        {"\xC6\xFC\xCB\xDC\xB8\xEC.txt", "EUC", "日本語.txt"},
        {"写真.jpg", "UTF8", "写真.jpg"},
        {Units(u"\u5199\u771F\u306E.txt", false), "UTF16リトルエンディアン", "写真の.txt"},
        {Units(u"photo.jpg", true), "UTF16ビッグエンディアン", "photo.jpg"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.encoding);
        ZipLayout layout;
        layout.entries = {Entry(c.stored)};
        ToolRun run = RunArcpeek({"-a", Archive(layout)});
        ASSERT_EQ(run.exitCode, 0);
        std::string text = Cp932ToUtf8(run.output);
        EXPECT_NE(text.find(std::string("\n文字コード情報：") + c.encoding + "\n"),
                  std::string::npos)
            << text;
        EXPECT_NE(text.find(std::string("-------\n") + c.shown + "   "), std::string::npos) << text;
    }
}

TEST_F(ReportEndToEnd, ListFileHasSignedSizesLabelsAndCrLf) {
    ZipLayout layout;
    layout.entries = {Entry("a,b%s.txt", 0, 999),
                      Entry(Utf8ToCp932("資料.txt"), 2147483648u, 4294967295u),
                      Entry("c.txt", 1234567, 2147483647u)};
    layout.entries[1].extra = std::string("\x55\x54\x05\x00\x01\x00\x00\x00\x00", 9);
    layout.entries[2].comment = "note";
    std::string list = scratch.File("list.csv");
    ToolRun run = RunArcpeek({"-f:" + list, Archive(layout)});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.output, "") << "no banner, no console report";
    EXPECT_EQ(Cp932ToUtf8(ReadFileBytes(list)),
              "a,b%s.txt,0,999,2013/02/03 12:00:00,拡張フィールド:無し,ファイルコメント:無し\r\n"
              "資料.txt,-2147483648,-1,2013/02/03 12:00:00,拡張フィールド:有り,"
              "ファイルコメント:無し\r\n"
              "c.txt,1234567,2147483647,2013/02/03 12:00:00,拡張フィールド:無し,"
              "ファイルコメント:有り\r\n");
}

TEST_F(ReportEndToEnd, ListFileDetailBlock) {
    ZipLayout layout;
    layout.entries = {Entry(Utf8ToCp932("報告書.txt"), 7, 7)};
    layout.entries[0].flags = 0x0001;
    layout.comment = Utf8ToCp932("月報");
    std::string list = scratch.File("list.csv");
    ToolRun run = RunArcpeek({"-a", "-f:" + list, Archive(layout)});
    EXPECT_EQ(run.output, "");
    EXPECT_EQ(Cp932ToUtf8(ReadFileBytes(list)),
              "文字コード情報：シフトJIS\r\n"
              "パスワード設定：有り\r\n"
              "内包ファイル数：1\r\n"
              "ZIPバージョン ：20\r\n"
              "作成OS情報    ：0\r\n"
              "ファイル説明文：月報\r\n"
              "\r\n"
              "報告書.txt,7,7,2013/02/03 12:00:00,拡張フィールド:無し,ファイルコメント:無し\r\n");
}

TEST_F(ReportEndToEnd, ListFileInAMissingFolderPrintsTheErrorLineAndExitsWithZero) {
    ZipLayout layout;
    layout.entries = {Entry("a.txt")};
    layout.entries[0].madeByVersion = 45;
    ToolRun run = RunArcpeek({"-f:" + scratch.File("missing/list.csv"), Archive(layout)});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(Cp932ToUtf8(run.output), Banner + ErrorLine(21, 45, ENOENT));
    EXPECT_EQ(scratch.List(), std::vector<std::string>{"a.zip"});
}

#ifndef _WIN32  // Windows has no device that is always full.
TEST_F(ReportEndToEnd, ListFileThatCannotBeWrittenIsNotReportedAsWritten) {
    if (::access("/dev/full", W_OK) != 0)
        GTEST_SKIP() << "no /dev/full";
    ZipLayout layout;
    layout.entries = {Entry("a.txt")};
    ToolRun run = RunArcpeek({"-f:/dev/full", Archive(layout)});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(Cp932ToUtf8(run.output), Banner + ErrorLine(22, 20, ENOSPC));
}
#endif

TEST_F(ReportEndToEnd, ListFileNamingTheArchiveLeavesTheArchiveAlone) {
    ZipLayout layout;
    layout.entries = {Entry("a.txt")};
    std::string archive = Archive(layout);
    std::string bytes = ReadFileBytes(archive);
    ToolRun run = RunArcpeek({"-f:" + archive, archive});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(Cp932ToUtf8(run.output), Banner + ErrorLine(23, 20, 0));
    EXPECT_EQ(ReadFileBytes(archive), bytes);
}

TEST_F(ReportEndToEnd, ReportStageChoosesListFileConsoleOrSilence) {
    ZipLayout layout;
    layout.entries = {Entry("a.txt")};
    std::string archive = Archive(layout);
    std::string listing = Banner + Utf8ToCp932(Header) + Row("a.txt", 5, "1", "1");
    std::string list = scratch.File("list.csv");
    std::string line =
        Utf8ToCp932("a.txt,1,1,2013/02/03 12:00:00,拡張フィールド:無し,ファイルコメント:無し\r\n");

    EXPECT_EQ(RunArcpeek({archive}).output, listing);
    EXPECT_EQ(RunArcpeek({"-c:s", archive}).output, listing);
    EXPECT_EQ(RunArcpeek({"-f:", archive}).output, listing) << "an empty list path names none";
    EXPECT_EQ(RunArcpeek({"-c:sN", archive}).output, "");
    EXPECT_EQ(RunArcpeek({"-c:un", archive}).output, "");

    ToolRun silentWithList = RunArcpeek({"-c:sN", "-f:" + list, archive});
    EXPECT_EQ(silentWithList.output, "");
    EXPECT_EQ(ReadFileBytes(list), line) << "silence does not stop the list file";

    ToolRun listOnly = RunArcpeek({"-a", "-f:" + list, archive});
    EXPECT_EQ(listOnly.output, "") << "the list file replaces the console report";
    EXPECT_EQ(ReadFileBytes(list).substr(ReadFileBytes(list).size() - line.size()), line);
}

}  // namespace
