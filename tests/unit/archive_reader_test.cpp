// The reader's decisions, checked in-process on archives from the test
// builder: what it leaves in the context and which code it returns.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "archive/context.h"
#include "archive/reader.h"
#include "archive/records.h"
#include "archive/zip64_values.h"
#include "support/reader_fixture.h"
#include "support/tool_run.h"
#include "support/zip_builder.h"

namespace {

using ReaderTest = ReaderFixture;

ZipEntryLayout Entry(const std::string& name) {
    ZipEntryLayout e;
    e.name = name;
    e.data = "data of " + name;
    return e;
}

TEST_F(ReaderTest, AsciiArchiveFillsTablesInDirectoryOrder) {
    ZipLayout layout;
    layout.entries = {Entry("b.txt"), Entry("a/long-name.txt")};
    layout.entries[1].extra = std::string("\x55\x54\x05\x00\x01\x02\x03\x04\x05", 9);
    layout.entries[1].comment = "second";
    ASSERT_EQ(Read(BuildZip(layout)), 0);
    EXPECT_EQ(entryCount, 2);
    EXPECT_EQ(context.nameEncoding, Ascii);
    EXPECT_EQ(context.textNonAscii, 0);
    EXPECT_EQ(context.entryTextNonAscii, 0);

    const CentralRecord& first = context.records[0];
    EXPECT_STREQ(first.name, "b.txt");
    EXPECT_EQ(ExtraOf(&first), nullptr);
    EXPECT_EQ(CommentOf(&first), nullptr);
    EXPECT_EQ(first.name, context.pool) << "the first name starts the pool";
    const CentralRecord& second = context.records[1];
    EXPECT_EQ(second.name, first.name + 6) << "texts follow each other with one zero byte";
    EXPECT_STREQ(second.name, "a/long-name.txt");
    ASSERT_NE(ExtraOf(&second), nullptr);
    EXPECT_EQ(std::string(ExtraOf(&second), 9), layout.entries[1].extra);
    EXPECT_EQ(ExtraOf(&second)[9], '\0');
    EXPECT_STREQ(CommentOf(&second), "second");
    EXPECT_EQ(second.commentLength, 6);
    EXPECT_EQ(context.order, nullptr) << "only a rewrite builds the rewrite order";
    EXPECT_EQ(second.localHeaderOffset, 30u + 5 + 13);
}

TEST_F(ReaderTest, SplitsTheDateAndTimeWithoutRangeChecks) {
    ZipLayout layout;
    layout.entries = {Entry("a"), Entry("b")};
    layout.entries[0].modDate = (33 << 9) | (2 << 5) | 3;     // 2013-02-03
    layout.entries[0].modTime = (23 << 11) | (59 << 5) | 29;  // 23:59:58
    layout.entries[1].modDate = 0xFFFF;
    layout.entries[1].modTime = 0xFFFF;
    ASSERT_EQ(Read(BuildZip(layout)), 0);
    const EntryInfo a = EntryInfoOf(context.records[0]);
    EXPECT_EQ(a.year, 2013);
    EXPECT_EQ(a.month, 2);
    EXPECT_EQ(a.day, 3);
    EXPECT_EQ(a.hour, 23);
    EXPECT_EQ(a.minute, 59);
    EXPECT_EQ(a.second, 58);
    const EntryInfo b = EntryInfoOf(context.records[1]);
    EXPECT_EQ(b.year, 2107);
    EXPECT_EQ(b.month, 15);
    EXPECT_EQ(b.day, 31);
    EXPECT_EQ(b.hour, 31);
    EXPECT_EQ(b.minute, 63);
    EXPECT_EQ(b.second, 62);
}

TEST_F(ReaderTest, MadeByFieldsComeFromTheLastHeaderExamined) {
    ZipLayout layout;
    layout.entries = {Entry("a"), Entry("b"), Entry("c")};
    layout.entries[0].madeByVersion = 63;
    layout.entries[0].madeByHost = 3;
    layout.entries[2].madeByVersion = 45;
    layout.entries[2].madeByHost = 11;
    ASSERT_EQ(Read(BuildZip(layout)), 0);
    EXPECT_EQ(context.madeByVersion, 45);
    EXPECT_EQ(context.madeByHost, 11);

    ResetArchiveContext();
    layout.entries[1].madeByVersion = 30;
    EXPECT_EQ(Read(BuildZip(layout)), 92);
    EXPECT_EQ(context.madeByVersion, 30) << "the header that failed";
    EXPECT_EQ(entryCount, -1) << "the entry count is written only on success";
}

TEST_F(ReaderTest, AcceptsTheListedVersionsOrWithRelaxedChecksAnyUpTo63Needed) {
    struct Case {
        int relaxed;
        bool madeBy;  // the value is a version made by, else a version needed
        std::vector<int> versions;
        int code;
    };
    const std::vector<Case> cases = {
        {0, true, {10, 20, 22, 23, 45, 63, 64}, 0},
        {0, true, {0, 11, 21, 30, 46, 62, 65, 255}, 92},
        {0, false, {10, 20, 45}, 0},
        {0, false, {0, 14, 51, 63, 0x0314}, 93},
        {1, true, {0, 21, 30, 65, 255}, 0},
        {1, false, {0, 14, 20, 51, 63}, 0},
        {1, false, {64, 0x0314, 0xFFFF}, 93},
    };
    for (const Case& c : cases) {
        for (int version : c.versions) {
            ResetArchiveContext();
            context.relaxedVersions = c.relaxed;
            ZipLayout layout;
            layout.entries = {Entry("a")};
            if (c.madeBy)
                layout.entries[0].madeByVersion = static_cast<uint8_t>(version);
            else
                layout.entries[0].neededVersion = static_cast<uint16_t>(version);
            EXPECT_EQ(Read(BuildZip(layout)), c.code)
                << (c.relaxed ? "-r, " : "") << (c.madeBy ? "made by " : "needed ") << version;
        }
    }
}

TEST_F(ReaderTest, NameLengthLimits) {
    ZipLayout layout;
    layout.entries = {Entry(std::string(280, 'n'))};
    ASSERT_EQ(Read(BuildZip(layout)), 0);
    EXPECT_EQ(context.records[0].nameLength, 280);
    EXPECT_EQ(std::strlen(context.records[0].name), 280u);

    ResetArchiveContext();
    layout.entries = {Entry(std::string(281, 'n'))};
    EXPECT_EQ(Read(BuildZip(layout)), 82);

    ResetArchiveContext();
    layout.entries = {Entry("a")};
    layout.entries[0].centralNameLength = 0;
    EXPECT_EQ(Read(BuildZip(layout)), 81);
}

TEST_F(ReaderTest, JunkBetweenHeadersIsSkipped) {
    ZipLayout layout;
    layout.entries = {Entry("first"), Entry("second")};
    layout.entries[0].junkAfterCentral = "PK\x01junk bytes";
    layout.entries[1].junkAfterCentral = "PK";
    ASSERT_EQ(Read(BuildZip(layout)), 0);
    EXPECT_STREQ(context.records[0].name, "first");
    EXPECT_STREQ(context.records[1].name, "second");
}

TEST_F(ReaderTest, RefusesDirectoriesWhoseHeaderCountDiffersFromTheEndRecord) {
    ZipLayout layout;
    layout.entries = {Entry("a"), Entry("b"), Entry("c")};
    layout.diskEntries = 2;
    EXPECT_EQ(Read(BuildZip(layout)), MoreHeadersThanEntries);

    ResetArchiveContext();
    layout.diskEntries = 4;
    EXPECT_EQ(Read(BuildZip(layout)), FewerHeadersThanEntries);
}

TEST_F(ReaderTest, HeadersRunningPastTheDirectoryEnd) {
    ZipLayout layout;
    layout.entries = {Entry("a"), Entry("b")};
    std::string bytes = BuildZip(layout);
    // The second header's comment length claims bytes beyond the directory.
    size_t second = bytes.find("PK\x01\x02", bytes.find("PK\x01\x02") + 1);
    PutLe16(bytes, second + 32, 100);
    EXPECT_EQ(Read(bytes), 83);

    // A header whose 46 bytes do not fit: the directory size is cut short.
    ResetArchiveContext();
    layout.directorySize = 46 + 1 + 20;
    EXPECT_EQ(Read(BuildZip(layout)), 83);
}

TEST_F(ReaderTest, EncryptedEntrySetsTheArchiveFlag) {
    ZipLayout layout;
    layout.entries = {Entry("a"), Entry("b")};
    layout.entries[0].flags = 0x0001;
    ASSERT_EQ(Read(BuildZip(layout)), 0);
    EXPECT_EQ(context.hasEncrypted, 1);
}

TEST_F(ReaderTest, TextsLargerThanAFixedPerEntryBudgetAreRead) {
    // Each entry carries far more than 1024 bytes of extra field and comment,
    // and the directory is larger than one read of it: headers and texts
    // straddle the reads.
    ZipLayout layout;
    for (int i = 0; i < 9; ++i) {
        ZipEntryLayout e = Entry("entry" + std::to_string(i));
        e.extra = std::string(i % 2 ? 60000 : 4000, static_cast<char>('a' + i));
        e.comment = std::string(6000, static_cast<char>('A' + i));
        layout.entries.push_back(e);
    }
    ASSERT_EQ(Read(BuildZip(layout)), 0);
    for (int i = 0; i < 9; ++i) {
        EXPECT_STREQ(context.records[i].name, layout.entries[i].name.c_str());
        EXPECT_EQ(std::string(ExtraOf(&context.records[i]), layout.entries[i].extra.size()),
                  layout.entries[i].extra);
        EXPECT_EQ(std::string(CommentOf(&context.records[i])), layout.entries[i].comment);
    }
}

TEST_F(ReaderTest, CommentsBeyondTheTextBufferAreRefused) {
    ZipLayout layout;
    layout.entries = {Entry("a")};
    layout.entries[0].comment = std::string(10238, 'c');
    ASSERT_EQ(Read(BuildZip(layout)), 0);

    ResetArchiveContext();
    layout.entries[0].comment = std::string(10239, 'c');
    EXPECT_EQ(Read(BuildZip(layout)), EntryCommentTooLong);

    ResetArchiveContext();
    layout.entries[0].comment.clear();
    layout.comment = std::string(10216, 'z');
    ASSERT_EQ(Read(BuildZip(layout)), 0);
    EXPECT_EQ(std::strlen(context.commentBuffer), 10216u);

    ResetArchiveContext();
    layout.comment = std::string(10217, 'z');
    EXPECT_EQ(Read(BuildZip(layout)), ArchiveCommentTooLong);
}

TEST_F(ReaderTest, ArchiveCommentRunningPastTheFileIsRefused) {
    ZipLayout layout;
    layout.entries = {Entry("a")};
    layout.comment = "short";
    layout.commentLength = 40;
    EXPECT_EQ(Read(BuildZip(layout)), ArchiveCommentCut);
}

TEST_F(ReaderTest, BadDirectoryPositionStillDecodesTheComment) {
    ZipLayout layout;
    layout.entries = {Entry("a")};
    layout.comment = "kept";
    layout.directoryOffset = 0;
    EXPECT_EQ(Read(BuildZip(layout)), 4);
    EXPECT_STREQ(context.commentBuffer, "kept");
    EXPECT_EQ(context.records, nullptr) << "no table is allocated";

    ResetArchiveContext();
    layout.directoryOffset.reset();
    layout.directorySize = 45;
    EXPECT_EQ(Read(BuildZip(layout)), 4);
}

TEST_F(ReaderTest, NonAsciiCommentAloneDoesNotCountAsEntryText) {
    ZipLayout layout;
    layout.entries = {Entry("a")};
    layout.comment = "\x82\xA0\x82\xA2";  // Shift-JIS hiragana
    ASSERT_EQ(Read(BuildZip(layout)), 0);
    EXPECT_EQ(context.textNonAscii, 1);
    EXPECT_EQ(context.entryTextNonAscii, 0);
    EXPECT_NE(context.nameEncoding, Ascii);
}

TEST_F(ReaderTest, ByteEightyAloneCountsAsPlain) {
    ZipLayout layout;
    layout.entries = {Entry("a\x80z")};
    ASSERT_EQ(Read(BuildZip(layout)), 0);
    EXPECT_EQ(context.textNonAscii, 0);
    EXPECT_EQ(context.records[0].nameConverted, 0);
}

TEST_F(ReaderTest, NameWithAZeroByteIsHeldAsLossy) {
    ZipLayout layout;
    layout.entries = {Entry(std::string("ab\0cd", 5))};
    ASSERT_EQ(Read(BuildZip(layout)), 0);
    EXPECT_EQ(context.records[0].nameConverted, 1);
    EXPECT_EQ(context.records[0].nameLossy, 1);
}

TEST_F(ReaderTest, NameEndingTheDirectoryIsShownToTheDetectorSafely) {
    // The last header's name is the last byte of the file's directory and of
    // the file (no end-record bytes can follow it inside the buffer).
    ZipLayout layout;
    layout.entries = {Entry("\x82")};
    ASSERT_EQ(Read(BuildZip(layout)), 0);
    EXPECT_EQ(context.records[0].nameConverted, 1);
}

TEST_F(ReaderTest, ReadsAFullSixteenBitDirectory) {
    ZipLayout layout;
    layout.withLocalSections = false;
    layout.prefix = "stub";  // a directory offset of 0 would be refused
    for (int i = 0; i < 65535; ++i) {
        ZipEntryLayout e;
        e.name = "f" + std::to_string(i);
        layout.entries.push_back(e);
    }
    ASSERT_EQ(Read(BuildZip(layout)), 0);
    EXPECT_EQ(entryCount, 65535);
    EXPECT_STREQ(context.records[65534].name, "f65534");
}

// With -r: an archive whose end record points on to a ZIP64 end record, and
// every check of that record with its code.
TEST_F(ReaderTest, RelaxedReadTakesTheZip64EndRecordAfterCheckingIt) {
    struct Case {
        const char* scenario;
        void (*change)(ZipLayout*);
        int code;
    };
    const std::vector<Case> cases = {
        {"sound, every field a marker", [](ZipLayout*) {}, 0},
        {"sound, fields that fit hold their values",
         [](ZipLayout* z) { z->diskEntries = z->totalEntries = 2, z->directorySize.reset(); }, 0},
        {"locator on disk 1", [](ZipLayout* z) { z->zip64End->locatorDisk = 1; }, 91},
        {"two disks", [](ZipLayout* z) { z->zip64End->diskCount = 2; }, 91},
        {"directory on disk 1", [](ZipLayout* z) { z->zip64End->directoryDisk = 1; }, 91},
        {"no signature", [](ZipLayout* z) { z->zip64End->signature = 0x06054B50; }, 94},
        {"size 43", [](ZipLayout* z) { z->zip64End->recordSize = 43; }, 95},
        {"record past the locator", [](ZipLayout* z) { z->zip64End->recordOffset = 1u << 20; }, 96},
        {"extensible data past the locator", [](ZipLayout* z) { z->zip64End->recordSize = 45; },
         96},
        {"directory into the record",
         [](ZipLayout* z) {
             z->zip64End->directoryOffset = z->zip64End->directoryOffset.value_or(0) + 1;
         },
         96},
        {"count that is no marker disagrees", [](ZipLayout* z) { z->diskEntries = 3; }, 97},
        {"size that is no marker disagrees", [](ZipLayout* z) { z->directorySize = 100; }, 97},
        {"counts differ", [](ZipLayout* z) { z->zip64End->totalEntries = 3; }, 98},
        {"more entries than 46-byte headers",
         [](ZipLayout* z) { z->zip64End->diskEntries = z->zip64End->totalEntries = 100; }, 98},
        {"behind a stub that left the offsets as they were",
         [](ZipLayout* z) {
             z->prefix = "stub!";
             z->zip64End->recordOffset = *z->zip64End->directoryOffset + 2 * 47;
         },
         0},
        {"behind a stub, no record right before the locator either",
         [](ZipLayout* z) {
             z->prefix = "stub!";
             z->zip64End->recordOffset = *z->zip64End->directoryOffset + 2 * 47;
             z->zip64End->signature = 0x06054B50;
         },
         94},
    };
    for (const Case& c : cases) {
        ZipLayout layout;
        layout.entries = {Entry("a"), Entry("b")};
        layout.diskEntries = layout.totalEntries = 0xFFFF;
        layout.directorySize = layout.directoryOffset = 0xFFFFFFFF;
        layout.zip64End = Zip64EndLayout{};
        const size_t directoryOffset = 2 * 30 + 2 + std::string("data of a").size() * 2;
        layout.zip64End->directoryOffset = directoryOffset;
        c.change(&layout);
        ResetArchiveContext();
        context.relaxedVersions = 1;
        EXPECT_EQ(Read(BuildZip(layout)), c.code) << c.scenario;
        if (c.code == 0) {
            EXPECT_EQ(entryCount, 2) << c.scenario;
            EXPECT_STREQ(context.records[1].name, "b") << c.scenario;
            EXPECT_EQ(context.directory.offset, directoryOffset + layout.prefix.size())
                << c.scenario;
        }
    }
}

// With -r: the ZIP64 field holds 8 bytes for each header field of
// 0xFFFFFFFF, in the order uncompressed size, compressed size, offset.
TEST_F(ReaderTest, RelaxedReadTakesEntryValuesFromTheZip64Field) {
    constexpr uint64_t Big = 0x123456789AULL;
    constexpr uint32_t M = 0xFFFFFFFF;
    const std::string timestamp("UT\x01\x00\x01", 5);
    const struct {
        std::optional<uint32_t> compressed, uncompressed, offset;
        std::string extra;
        int code;
        Zip64Values values;
    } cases[] = {
        {M, M, {}, Zip64Field({Big, Big + 1}), 0, {Big, Big + 1, 0, 0}},
        {{}, {}, M, timestamp + Zip64Field({Big}), 0, {9, 9, Big, 0}},
        {{}, {}, {}, Zip64Field({Big}), 0, {9, 9, 0, 0}},
        {M, M, {}, Zip64Field({Big}), Zip64FieldTooShort, {}},
        {{}, {}, M, timestamp, Zip64FieldTooShort, {}},
        {M, {}, {}, Zip64Field({Big}).substr(0, 10), Zip64FieldTooShort, {}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(Hex(c.extra));
        ZipLayout layout;
        layout.entries = {Entry("a")};  // 9 bytes of data at offset 0
        layout.entries[0].compressedSize = c.compressed;
        layout.entries[0].uncompressedSize = c.uncompressed;
        layout.entries[0].localHeaderOffset = c.offset;
        layout.entries[0].extra = c.extra;
        ResetArchiveContext();
        context.relaxedVersions = 1;
        ASSERT_EQ(Read(BuildZip(layout)), c.code);
        if (c.code != 0)
            continue;
        Zip64Values v = Zip64ValuesOf(context.records[0]);
        EXPECT_EQ(v.uncompressedSize, c.values.uncompressedSize);
        EXPECT_EQ(v.compressedSize, c.values.compressedSize);
        EXPECT_EQ(v.localHeaderOffset, c.values.localHeaderOffset);
        ResetArchiveContext();
        ASSERT_EQ(Read(BuildZip(layout)), 0) << "without -r the header's values are held";
        EXPECT_EQ(context.records[0].hasZip64Values, 0);
    }
}

// An end record counting 65,535 entries without a ZIP64 locator: the strict
// read demands exactly that many headers, -r counts those of the directory.
TEST_F(ReaderTest, RelaxedReadCountsTheHeadersBehindACountOf65535) {
    ZipLayout layout;
    layout.withLocalSections = false;
    layout.prefix = "stub";
    for (int i = 0; i < 65537; ++i) {
        ZipEntryLayout e;
        e.name = "f" + std::to_string(i);
        layout.entries.push_back(e);
    }
    layout.diskEntries = layout.totalEntries = 0xFFFF;
    const std::string bytes = BuildZip(layout);
    EXPECT_EQ(Read(bytes), MoreHeadersThanEntries);

    ResetArchiveContext();
    context.relaxedVersions = 1;
    ASSERT_EQ(Read(bytes), 0);
    EXPECT_EQ(entryCount, 65537);
    EXPECT_STREQ(context.records[65536].name, "f65536");

    layout.entries.resize(65534);
    ResetArchiveContext();
    context.relaxedVersions = 1;
    EXPECT_EQ(Read(BuildZip(layout)), FewerHeadersThanEntries);
}

// With -r no fixed buffer bounds a name or comment: each is held whole.
TEST_F(ReaderTest, RelaxedReadHoldsLongNamesAndCommentsWhole) {
    std::string kanji;
    for (int i = 0; i < 94; ++i)
        kanji += "\xE5\x86\x99";  // 写, 3 bytes in UTF-8, 2 in Shift-JIS
    ZipLayout layout;
    layout.entries = {Entry(kanji), Entry(std::string(65535, 'n'))};
    layout.entries[0].comment = std::string(20000, '\xE5');
    layout.entries[1].comment = std::string(65535, 'c');
    layout.comment = "\xEF\xBC\xA1" + std::string(65532, '\n');  // Ａ and newlines
    const std::string bytes = BuildZip(layout);
    EXPECT_EQ(Read(bytes), ArchiveCommentTooLong) << "without -r";

    ResetArchiveContext();
    context.relaxedVersions = 1;
    ASSERT_EQ(Read(bytes), 0);
    EXPECT_EQ(context.records[0].nameLength, 188);
    EXPECT_EQ(std::string(context.records[0].name, 2), "\x8E\xCA");
    EXPECT_EQ(context.records[1].nameLength, 65535);
    EXPECT_EQ(context.records[1].commentLength, 65535);
    EXPECT_EQ(std::strlen(CommentOf(&context.records[1])), 65535u);
    EXPECT_EQ(std::strlen(CommentOf(&context.records[0])), context.records[0].commentLength);
    EXPECT_EQ(std::strlen(context.commentBuffer), 2 + 2 * 65532u) << "every LF becomes CR LF";
}

}  // namespace
