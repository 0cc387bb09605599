// The console report and the list file, on archive contexts filled by hand.
#include "report/report.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "archive/context.h"
#include "platform/console.h"
#include "report/report_lines.h"
#include "report/report_texts.h"
#include "support/tool_run.h"

namespace {

struct TestEntry {
    std::string name;
    uint32_t compressedSize = 0;
    uint32_t uncompressedSize = 0;
    uint16_t extraLength = 0;
    uint16_t commentLength = 0;
    uint16_t year = 2013;
    uint8_t month = 2, day = 3, hour = 12, minute = 0, second = 0;
};

const std::string Sjis = "\x83V\x83t\x83gJIS";  // シフトJIS
const std::string Present = PresentWord;
const std::string Absent = AbsentWord;

class ReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetArchiveContext();
    }
    void TearDown() override {
        RedirectConsoleOutput(nullptr);
        ResetArchiveContext();
    }

    // Allocates the tables the way the reader does and fills them.
    int Fill(const std::vector<TestEntry>& list) {
        size_t n = list.size();
        size_t poolSize = 1;
        for (const TestEntry& e : list)
            poolSize += e.name.size() + 1;
        context.records = static_cast<CentralRecord*>(std::calloc(n, sizeof(CentralRecord)));
        context.pool = static_cast<char*>(std::calloc(poolSize, 1));
        context.poolSize = poolSize;
        char* cursor = context.pool;
        for (size_t i = 0; i < n; ++i) {
            const TestEntry& e = list[i];
            CentralRecord& r = context.records[i];
            std::memcpy(cursor, e.name.data(), e.name.size());
            r.name = cursor;
            cursor += e.name.size() + 1;
            r.nameLength = static_cast<uint16_t>(e.name.size());
            r.compressedSize = e.compressedSize;
            r.uncompressedSize = e.uncompressedSize;
            r.extraLength = e.extraLength;
            r.commentLength = e.commentLength;
            r.modDate = static_cast<uint16_t>(((e.year - 1980) << 9) | (e.month << 5) | e.day);
            r.modTime = static_cast<uint16_t>((e.hour << 11) | (e.minute << 5) | (e.second / 2));
        }
        return static_cast<int>(n);
    }

    static std::string Report(int entryCount) {
        std::string out;
        RedirectConsoleOutput(&out);
        PrintReport(entryCount);
        RedirectConsoleOutput(nullptr);
        return out;
    }

    static std::string Thousands(uint32_t value, int withSeparators = 1) {
        char buffer[ThousandsCapacity];
        return FormatThousands(value, buffer, withSeparators);
    }

    static std::string Row(const std::string& name, const std::string& a, const std::string& b,
                           const std::string& date = "2013/02/03 12:00:00") {
        std::string row = name;
        if (row.size() < 48)
            row.append(48 - row.size(), ' ');
        auto pad = [](const std::string& size) {
            return std::string(size.size() < 12 ? 12 - size.size() : 0, ' ') + size;
        };
        row += pad(a) + " " + pad(b);
        return row + " " + date + "\n";
    }

    // Writes the list file into a scratch folder and returns its bytes.
    std::string ListFile(int entryCount) {
        context.listPath = scratch.File("list.csv");
        int errorDetail = -1;
        EXPECT_EQ(WriteListFile(entryCount, &errorDetail), 0);
        return ReadFileBytes(context.listPath);
    }

    ScratchDir scratch;
};

TEST_F(ReportTest, ThousandsGroupsFromTheRight) {
    EXPECT_EQ(Thousands(0), "0");
    EXPECT_EQ(Thousands(7), "7");
    EXPECT_EQ(Thousands(999), "999");
    EXPECT_EQ(Thousands(1000), "1,000");
    EXPECT_EQ(Thousands(100000), "100,000");
    EXPECT_EQ(Thousands(1000000), "1,000,000");
    EXPECT_EQ(Thousands(1234567), "1,234,567");
    EXPECT_EQ(Thousands(4294967295u), "4,294,967,295");
    EXPECT_EQ(Thousands(4294967295u, 0), "4294967295");
    EXPECT_EQ(Thousands(0, 0), "0");
}

TEST_F(ReportTest, DetailBlockPrecedesTheListingOnlyWhenAskedFor) {
    int n = Fill({{"a", 1, 1}, {"b", 2, 2}});
    context.nameEncoding = ShiftJis;
    context.hasEncrypted = 1;
    context.madeByVersion = 63;
    context.madeByHost = 3;
    std::string comment = "\x95\xF1\x8D\x90\r\nline 2";  // 報告 CR LF line 2
    std::memcpy(context.commentBuffer, comment.data(), comment.size());
    std::string listing = std::string(ListingHeader) + Row("a", "1", "1") + Row("b", "2", "2");

    EXPECT_EQ(Report(n), listing);

    context.showDetails = 1;
    EXPECT_EQ(Report(n), std::string(EncodingLabel) + Sjis + "\n" + PasswordLabel + Present + "\n" +
                             EntryCountLabel + "2\n" + VersionLabel + "63\n" + HostLabel + "3\n" +
                             CommentLabel + comment + "\n\n" + listing);
}

TEST_F(ReportTest, CommentFillingTheWholeBufferIsReadOnlyUpToItsEnd) {
    int n = Fill({{"a", 1, 1}});
    context.showDetails = 1;
    std::memset(context.commentBuffer, 'c', sizeof context.commentBuffer);  // no zero byte
    std::string out = Report(n);
    std::string expected =
        std::string(CommentLabel) + std::string(sizeof context.commentBuffer, 'c') + "\n\n";
    EXPECT_NE(out.find(expected), std::string::npos);
}

TEST_F(ReportTest, ListFileReplacesAnEarlierFile) {
    int n = Fill({{"a", 1, 1}});
    scratch.Write("list.csv", std::string(5000, 'o'));
    EXPECT_EQ(ListFile(n), std::string("a,1,1,2013/02/03 12:00:00,") + ExtraFieldLabel + Absent +
                               "," + EntryCommentLabel + Absent + "\r\n");
}

TEST_F(ReportTest, ManyEntriesSpanSeveralOutputBlocks) {
    std::vector<TestEntry> list;
    for (int i = 0; i < 3000; ++i) {
        list.push_back({std::to_string(i) + std::string(200, 'n'), static_cast<uint32_t>(i),
                        static_cast<uint32_t>(i * 1000)});
    }
    int n = Fill(list);
    std::string out = Report(n);
    std::string expected = ListingHeader;
    for (const TestEntry& e : list) {
        char a[ThousandsCapacity], b[ThousandsCapacity];
        expected += Row(e.name, FormatThousands(e.compressedSize, a, 1),
                        FormatThousands(e.uncompressedSize, b, 1));
    }
    EXPECT_EQ(out, expected);
    std::string file = ListFile(n);
    std::string tail = std::string("2013/02/03 12:00:00,") + ExtraFieldLabel + Absent + "," +
                       EntryCommentLabel + Absent + "\r\n";
    std::string expectedFile;
    for (const TestEntry& e : list) {
        expectedFile += e.name + "," + std::to_string(e.compressedSize) + "," +
                        std::to_string(e.uncompressedSize) + "," + tail;
    }
    EXPECT_EQ(file, expectedFile);
}

// The rows and lines are assembled by hand; printf with the formats they stand
// for is the reference.
TEST_F(ReportTest, RowsAndLinesMatchTheirPrintfFormats) {
    std::vector<std::string> names = {
        "",         "%s%n%d", std::string(512, 'v'), std::string(513, 'v'), std::string(700, 'w'),
        "a\x95\x5C"};
    for (size_t length = 40; length <= 56; ++length)
        names.push_back(std::string(length, 'n'));
    const uint32_t sizes[] = {0,           9,           999,        1000,
                              999999,      1000000,     999999999u, 1000000000u,
                              2147483647u, 2147483648u, 4294967295u};
    struct Date {
        uint16_t year;
        uint8_t month, day, hour, minute, second;
    };
    const Date dates[] = {{1980, 0, 0, 0, 0, 0},
                          {2107, 15, 31, 31, 63, 62},
                          {9999, 99, 99, 99, 99, 99},
                          {10000, 100, 255, 7, 8, 9}};
    CentralRecord record{};
    EntryInfo entry{};
    std::vector<char> reference(4096);
    for (const std::string& name : names) {
        for (uint32_t size : sizes) {
            for (const Date& date : dates) {
                record.name = const_cast<char*>(name.c_str());
                record.compressedSize = size;
                record.uncompressedSize = ~size;
                record.extraLength = static_cast<uint16_t>(size & 1);
                record.commentLength = static_cast<uint16_t>(size & 2);
                entry.year = date.year, entry.month = date.month, entry.day = date.day;
                entry.hour = date.hour, entry.minute = date.minute, entry.second = date.second;
                char dateText[64], a[ThousandsCapacity], b[ThousandsCapacity];
                std::snprintf(dateText, sizeof dateText, "%04d/%02d/%02d %02d:%02d:%02d", date.year,
                              date.month, date.day, date.hour, date.minute, date.second);
                FormatThousands(size, a, 1);
                FormatThousands(~size, b, 1);
                int n = std::snprintf(reference.data(), reference.size(), "%-48s%12s %12s %s\n",
                                      name.c_str(), a, b, dateText);
                std::string row;
                AppendListingRow(&row, record, entry);
                ASSERT_EQ(row, std::string(reference.data(), n));

                std::string extra = std::string(ExtraFieldLabel) + ((size & 1) ? Present : Absent);
                std::string comment =
                    std::string(EntryCommentLabel) + ((size & 2) ? Present : Absent);
                n = std::snprintf(reference.data(), reference.size(), "%s,%d,%d,%s,%s,%s\r\n",
                                  name.c_str(), static_cast<int>(size), static_cast<int>(~size),
                                  dateText, extra.c_str(), comment.c_str());
                std::string line;
                AppendListFileLine(&line, record, entry);
                ASSERT_EQ(line, std::string(reference.data(), n));
            }
        }
    }
}

}  // namespace
