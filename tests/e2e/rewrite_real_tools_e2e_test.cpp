// The rewrite on archives written by real tools (python3 zipfile, bsdtar,
// 7-Zip, Info-ZIP zip), both ways, checked afterwards by unzip -t, 7zz t,
// python3 zipfile (names, flags, comments, CRC-32s, data) and the tool's own
// list file. Each test skips, saying why, when a tool it needs is missing.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "jcode/detect.h"
#include "support/tool_run.h"
#include "support/zip_builder.h"
#include "unit/rewrite_fixture.h"

namespace {

// What python3's zipfile reads of one entry; names and comments as stored.
struct SeenEntry {
    unsigned flags = 0;
    std::string name;
    std::string comment;
    std::string crc;
    std::string size;
    std::string sha1;  // of the data, which zipfile checks against the CRC-32
    std::string extra;
};

struct SeenArchive {
    std::string error;
    std::vector<SeenEntry> entries;
    std::string comment;
};

const char* const DumpScript =
    "import sys, zipfile, hashlib\n"
    "z = zipfile.ZipFile(sys.argv[1])\n"
    "if z.testzip() is not None: sys.exit('testzip: ' + z.testzip())\n"
    "for i in z.infolist():\n"
    "    raw = i.orig_filename.encode('utf-8' if i.flag_bits & 0x800 else 'cp437')\n"
    "    data = z.read(i)\n"
    "    print('entry', '%x' % i.flag_bits, 'x' + raw.hex(), 'x' + i.comment.hex(),\n"
    "          '%08x' % i.CRC, i.file_size, hashlib.sha1(data).hexdigest(), 'x' + i.extra.hex())\n"
    "print('comment', 'x' + z.comment.hex())\n";

// Every text is printed as "x" followed by its bytes in hex.
std::string FromHex(const std::string& hex) {
    std::string bytes;
    for (size_t i = 1; i + 1 < hex.size(); i += 2) {
        bytes.push_back(static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

SeenArchive SeenByPython(const std::string& archive) {
    SeenArchive seen;
    ToolRun run = RunProgram({"python3", "-c", DumpScript, archive});
    if (run.exitCode != 0) {
        seen.error = "python3 zipfile: " + run.errors;
        return seen;
    }
    std::istringstream lines(run.output);
    std::string word;
    while (lines >> word) {
        if (word == "comment") {
            std::string hex;
            lines >> hex;
            seen.comment = FromHex(hex);
            continue;
        }
        SeenEntry e;
        std::string flags, name, comment, extra;
        lines >> flags >> name >> comment >> e.crc >> e.size >> e.sha1 >> extra;
        e.flags = static_cast<unsigned>(std::stoul(flags, nullptr, 16));
        e.name = FromHex(name);
        e.comment = FromHex(comment);
        e.extra = FromHex(extra);
        seen.entries.push_back(e);
    }
    return seen;
}

// The converters and the detector are this build's real ones.
bool HaveRealEncodings() {
    const uint8_t utf8[] = "\xE6\x97\xA5\xE6\x9C\xAC\0\0";
    return HaveRealUtf8Converter() && DetectEncoding(utf8, 6, 0) == Utf8Text;
}

// The list file is written (the reports are in this build).
bool HaveListFile() {
    ScratchDir dir;
    std::string archive = dir.Write("a.zip", BuildZipWithNames({"a.txt"}));
    RunArcpeek({"-f:" + dir.File("list.txt"), archive});
    return !ReadFileBytes(dir.File("list.txt")).empty();
}

// The tool's own list file (with -a, and `relaxed`: -r) of the archive, in UTF-8.
std::string OwnListing(const std::string& archive, bool relaxed = false) {
    ScratchDir elsewhere;
    std::string list = elsewhere.File("list.txt");
    ToolRun run = RunArcpeek({"-a", relaxed ? "-r" : "-b", "-f:" + list, archive});
    if (run.exitCode != 0)
        return "exit " + std::to_string(run.exitCode);
    return Cp932ToUtf8(ReadFileBytes(list));
}

void ExpectToolsAccept(const std::string& archive) {
    ToolRun unzip = RunProgram({"unzip", "-t", archive});
    EXPECT_EQ(unzip.exitCode, 0) << unzip.output << unzip.errors;
    if (HaveProgram("bsdtar")) {
        ToolRun bsdtar = RunProgram({"bsdtar", "-tf", archive});
        EXPECT_EQ(bsdtar.exitCode, 0) << bsdtar.errors;
    }
    ToolRun sevenZip = RunProgram({"7zz", "t", archive});
    EXPECT_EQ(sevenZip.exitCode, 0) << sevenZip.output << sevenZip.errors;
    EXPECT_NE(sevenZip.output.find("Everything is Ok"), std::string::npos) << sevenZip.output;
}

// Entry data, CRC-32s and sizes are those of the archive before.
void ExpectSameData(const SeenArchive& before, const SeenArchive& after) {
    ASSERT_EQ(before.entries.size(), after.entries.size());
    for (size_t i = 0; i < before.entries.size(); ++i) {
        EXPECT_EQ(after.entries[i].sha1, before.entries[i].sha1) << "entry " << i;
        EXPECT_EQ(after.entries[i].crc, before.entries[i].crc) << "entry " << i;
        EXPECT_EQ(after.entries[i].size, before.entries[i].size) << "entry " << i;
    }
}

const std::string Utf8Nihongo = "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E";  // 日本語
const std::string SjisNihongo = "\x93\xFA\x96\x7B\x8C\xEA";
const std::string Utf8Folder = "\xE3\x83\x95\xE3\x82\xA9\xE3\x83\xAB\xE3\x83\x80";  // フォルダ
const std::string SjisFolder = "\x83\x74\x83\x48\x83\x8B\x83\x5F";
const std::string Utf8Comment = "\xE3\x82\xB3\xE3\x83\xA1\xE3\x83\xB3\xE3\x83\x88";  // コメント
const std::string SjisComment = "\x83\x52\x83\x81\x83\x93\x83\x67";
const std::string Utf8Note = "\xE8\xAA\xAC\xE6\x98\x8E";  // 説明
const std::string SjisNote = "\x90\xE0\x96\xBE";

class RealToolRewrite : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* tool : {"python3", "unzip", "7zz"}) {
            if (!HaveProgram(tool))
                GTEST_SKIP() << tool << " is not installed";
        }
        if (!HaveRealEncodings())
            GTEST_SKIP() << "the encodings are not in this build yet";
    }

    // Runs arcpeek with `switches` (separated by spaces) on the archive;
    // expects success and no output (the N suffix silences the report).
    void Rewrite(const std::string& archive, const std::string& switches) {
        std::vector<std::string> args;
        std::istringstream words(switches);
        for (std::string word; words >> word;)
            args.push_back(word);
        args.push_back(archive);
        ToolRun run = RunArcpeek(args);
        ASSERT_EQ(run.exitCode, 0) << run.output;
        EXPECT_EQ(run.output, "");
        EXPECT_EQ(dir.List(), listed) << "only the archives and their inputs remain";
    }

    // Rewrites the archive with `switches` and returns how python3 sees it
    // afterwards, having checked that every entry's data stayed the same;
    // `before` receives how it was seen first.
    SeenArchive RewriteKeepingData(const std::string& archive, const std::string& switches,
                                   SeenArchive* before) {
        listed = dir.List();
        *before = SeenByPython(archive);
        EXPECT_EQ(before->error, "");
        Rewrite(archive, switches);
        SeenArchive after = SeenByPython(archive);
        EXPECT_EQ(after.error, "");
        ExpectSameData(*before, after);
        return after;
    }

    ScratchDir dir;
    std::vector<std::string> listed;
};

const char* const PythonArchiveScript =
    "import sys, zipfile\n"
    "out = sys.stdout.buffer if sys.argv[1] == '-' else sys.argv[1]\n"
    "with zipfile.ZipFile(out, 'w') as z:\n"
    "    i = zipfile.ZipInfo('\\u65e5\\u672c\\u8a9e.txt', (2014, 2, 3, 12, 0, 0))\n"
    "    i.compress_type = zipfile.ZIP_DEFLATED\n"
    "    i.comment = '\\u8aac\\u660e'.encode()\n"
    "    z.writestr(i, 'hello ' * 1000)\n"
    "    z.writestr('plain.txt', 'ascii' * 240000)\n"
    "    z.writestr('\\u30d5\\u30a9\\u30eb\\u30c0/data.bin', bytes(range(256)) * 10000)\n"
    "    z.comment = '\\u30b3\\u30e1\\u30f3\\u30c8'.encode()\n";

// python3 writes UTF-8 names with bit 11; to Shift-JIS and back again must
// give the very same bytes. The stored entries are larger than the rewrite's
// buffers: their data is copied both through the buffers and directly.
void PythonRoundTrip(const std::string& archive, bool descriptors) {
    const std::string original = ReadFileBytes(archive);
    SeenArchive before = SeenByPython(archive);
    ASSERT_EQ(before.error, "");
    ASSERT_EQ(before.entries.size(), 3u);
    EXPECT_EQ((before.entries[0].flags & 0x0008) != 0, descriptors);

    ToolRun toSjis = RunArcpeek({"-c:sN", archive});
    ASSERT_EQ(toSjis.exitCode, 0) << toSjis.output;
    SeenArchive sjis = SeenByPython(archive);
    ASSERT_EQ(sjis.error, "");
    ExpectSameData(before, sjis);
    EXPECT_EQ(Hex(sjis.entries[0].name), Hex(SjisNihongo + ".txt"));
    EXPECT_EQ(sjis.entries[0].flags, before.entries[0].flags & 0x07FF);
    EXPECT_EQ(Hex(sjis.entries[0].comment), Hex(SjisNote));
    EXPECT_EQ(sjis.entries[1].name, "plain.txt");
    EXPECT_EQ(sjis.entries[1].flags, before.entries[1].flags);
    EXPECT_EQ(Hex(sjis.entries[2].name), Hex(SjisFolder + "/data.bin"));
    EXPECT_EQ(Hex(sjis.comment), Hex(SjisComment));
    ExpectToolsAccept(archive);
    if (HaveListFile()) {
        std::string listing = OwnListing(archive);
        EXPECT_NE(listing.find("シフトJIS\r\n"), std::string::npos) << listing;
        EXPECT_NE(listing.find("\r\n日本語.txt,"), std::string::npos) << listing;
        EXPECT_NE(listing.find("\r\nフォルダ/data.bin,"), std::string::npos) << listing;
    }

    ToolRun toUtf8 = RunArcpeek({"-c:uN", archive});
    ASSERT_EQ(toUtf8.exitCode, 0) << toUtf8.output;
    EXPECT_EQ(ReadFileBytes(archive), original) << "the round trip restores every byte";
}

TEST_F(RealToolRewrite, PythonArchiveToShiftJisAndBack) {
    std::string archive = dir.File("py.zip");
    ToolRun made = RunProgram({"python3", "-c", PythonArchiveScript, archive});
    ASSERT_EQ(made.exitCode, 0) << made.errors;
    PythonRoundTrip(archive, false);
}

TEST_F(RealToolRewrite, PythonStreamedArchiveWithDescriptorsToShiftJisAndBack) {
    // Written to a pipe, zipfile cannot seek back: every entry carries a
    // data descriptor after its data.
    std::string archive = dir.File("stream.zip");
    std::string command = "python3 -c \"$1\" - | cat > \"$2\"";
    ToolRun made = RunProgram({"sh", "-c", command, "sh", PythonArchiveScript, archive});
    ASSERT_EQ(made.exitCode, 0) << made.errors;
    PythonRoundTrip(archive, true);
}

// Files with these names (as bytes) for the archivers to pick up.
void WriteInputs(const ScratchDir& dir, const std::vector<std::string>& names) {
    for (size_t i = 0; i < names.size(); ++i) {
        std::string data;
        for (int k = 0; k < 400; ++k)
            data += "line " + std::to_string(k * (i + 1)) + "\n";
#ifdef _WIN32
        // Windows names files in UTF-16, where a name in Shift-JIS bytes has
        // no place: the Linux side writes the inputs for its own tools.
        ToolRun made =
            RunProgram({"sh", "-c", "printf %s \"$2\" > \"$1\"", "sh", names[i], data}, dir.path());
        ASSERT_EQ(made.exitCode, 0) << made.errors;
#else
        dir.Write(names[i], data);
#endif
    }
}

TEST_F(RealToolRewrite, BsdtarArchiveToShiftJisAndBack) {
    if (!HaveProgram("bsdtar"))
        GTEST_SKIP() << "bsdtar is not installed";
    WriteInputs(dir, {Utf8Nihongo + ".txt", "plain.txt"});
    ToolRun made =
        RunProgram({"bsdtar", "--format", "zip", "-cf", "b.zip", Utf8Nihongo + ".txt", "plain.txt"},
                   dir.path());
    ASSERT_EQ(made.exitCode, 0) << made.errors;
    std::string archive = dir.File("b.zip");
    std::string original = ReadFileBytes(archive);
    SeenArchive before;
    SeenArchive after = RewriteKeepingData(archive, "-c:sN", &before);
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(Hex(after.entries[0].name), Hex(SjisNihongo + ".txt"));
    EXPECT_EQ(after.entries[0].flags & 0x0800, 0u);
    EXPECT_EQ(after.entries[0].extra, before.entries[0].extra);
    ExpectToolsAccept(archive);

    Rewrite(archive, "-c:uN");
    EXPECT_EQ(ReadFileBytes(archive), original);
}

TEST_F(RealToolRewrite, SevenZipArchiveToShiftJisAndBack) {
    WriteInputs(dir, {Utf8Nihongo + ".txt", "plain.txt"});
    ToolRun made =
        RunProgram({"7zz", "a", "-tzip", "s.zip", Utf8Nihongo + ".txt", "plain.txt"}, dir.path());
    ASSERT_EQ(made.exitCode, 0) << made.output;
    std::string archive = dir.File("s.zip");
    std::string original = ReadFileBytes(archive);
    SeenArchive before;
    SeenArchive after = RewriteKeepingData(archive, "-c:sN", &before);
    ASSERT_FALSE(HasFailure());
    for (const SeenEntry& e : after.entries) {
        if (e.name == "plain.txt")
            continue;
        EXPECT_EQ(Hex(e.name), Hex(SjisNihongo + ".txt"));
        EXPECT_EQ(e.flags & 0x0800, 0u);
    }
    ExpectToolsAccept(archive);

    Rewrite(archive, "-c:uN");
    EXPECT_EQ(ReadFileBytes(archive), original);
}

// Info-ZIP's zip on Unix writes "version made by 30", which the reader
// refuses by design: the tests patch it to 20.
void PatchMadeBy(const std::string& path) {
    std::string bytes = ReadFileBytes(path);
    for (size_t offset : MadeByOffsets(bytes))
        bytes[offset] = 20;
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

const std::string SjisData = "\x83\x66\x81\x5B\x83\x5E";  // データ
const std::string Utf8Data = "\xE3\x83\x87\xE3\x83\xBC\xE3\x82\xBF";

TEST_F(RealToolRewrite, InfoZipShiftJisNamesToUtf8AndBack) {
    if (!HaveProgram("zip"))
        GTEST_SKIP() << "Info-ZIP zip is not installed";
    WriteInputs(dir, {SjisNihongo + ".txt", SjisData + ".csv", "plain.txt"});
    ToolRun made = RunProgram(
        {"zip", "-q", "z.zip", SjisNihongo + ".txt", SjisData + ".csv", "plain.txt"}, dir.path());
    ASSERT_EQ(made.exitCode, 0) << made.errors;
    std::string archive = dir.File("z.zip");
    PatchMadeBy(archive);
    std::string original = ReadFileBytes(archive);
    SeenArchive before;
    SeenArchive after = RewriteKeepingData(archive, "-c:uN", &before);
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(Hex(after.entries[0].name), Hex(Utf8Nihongo + ".txt"));
    EXPECT_EQ(after.entries[0].flags, before.entries[0].flags | 0x0800);
    EXPECT_EQ(Hex(after.entries[1].name), Hex(Utf8Data + ".csv"));
    EXPECT_EQ(after.entries[2].flags, before.entries[2].flags);
    EXPECT_EQ(after.entries[0].extra, before.entries[0].extra) << "UT and ux fields kept";
    ExpectToolsAccept(archive);
    if (HaveListFile()) {
        std::string listing = OwnListing(archive);
        EXPECT_NE(listing.find("UTF8\r\n"), std::string::npos) << listing;
        EXPECT_NE(listing.find("\r\nデータ.csv,"), std::string::npos) << listing;
    }

    Rewrite(archive, "-c:sN");
    EXPECT_EQ(ReadFileBytes(archive), original);
}

TEST_F(RealToolRewrite, InfoZipOutputToAPipeCarriesDescriptorsAndIsRewritten) {
    if (!HaveProgram("zip"))
        GTEST_SKIP() << "Info-ZIP zip is not installed";
    WriteInputs(dir, {SjisNihongo + ".txt", "plain.txt"});
    ToolRun made = RunProgram(
        {"sh", "-c", "zip -q - \"$1\" plain.txt | cat > p.zip", "sh", SjisNihongo + ".txt"},
        dir.path());
    ASSERT_EQ(made.exitCode, 0) << made.errors;
    std::string archive = dir.File("p.zip");
    PatchMadeBy(archive);
    SeenArchive before;
    SeenArchive after = RewriteKeepingData(archive, "-c:uN", &before);
    ASSERT_FALSE(HasFailure());
    ASSERT_EQ(before.entries[0].flags & 0x0008, 0x0008u) << "streamed entries carry descriptors";
    EXPECT_EQ(Hex(after.entries[0].name), Hex(Utf8Nihongo + ".txt"));
    ExpectToolsAccept(archive);
}

TEST_F(RealToolRewrite, InfoZipStreamWithZip64DescriptorIsRefusedUntouched) {
    if (!HaveProgram("zip"))
        GTEST_SKIP() << "Info-ZIP zip is not installed";
    ToolRun made =
        RunProgram({"sh", "-c", "head -c 200000 /dev/zero | zip -q - - | cat > d.zip"}, dir.path());
    ASSERT_EQ(made.exitCode, 0) << made.errors;
    std::string archive = dir.File("d.zip");
    PatchMadeBy(archive);
    // Give the entry "-" a one-byte Shift-JIS name, ｱ, in both headers.
    std::string bytes = ReadFileBytes(archive);
    ASSERT_EQ(bytes.substr(30, 1), "-");
    bytes[30] = '\xB1';
    std::vector<size_t> madeBy = MadeByOffsets(bytes);
    ASSERT_EQ(madeBy.size(), 1u);
    ASSERT_EQ(bytes[madeBy[0] - 4 + 46], '-');
    bytes[madeBy[0] - 4 + 46] = '\xB1';
    dir.Write("d.zip", bytes);
    listed = dir.List();

    ToolRun run = RunArcpeek({"-c:uN", archive});
    EXPECT_EQ(run.exitCode, 69) << run.output;
    EXPECT_EQ(ReadFileBytes(archive), bytes);
    EXPECT_EQ(dir.List(), listed);

    // With -r the local field and the descriptor are copied as they are.
    SeenArchive before;
    SeenArchive after = RewriteKeepingData(archive, "-r -c:uN", &before);
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(Hex(after.entries[0].name), Hex("\xE3\x82\xA2")) << "ア";
    ExpectToolsAccept(archive);
}

// ZIP64 archives of real tools, rewritten with -r both ways: python's
// zipfile (a ZIP64 local field forced on one entry, more than 65,535
// entries), then the same archive updated by 7-Zip, which writes every record
// anew. More than 65,535 entries take ZIP64 end records in the new archive.
TEST_F(RealToolRewrite, Zip64ArchivesOfRealToolsAreRewrittenWithRelaxedChecks) {
    const std::string archive = dir.File("many.zip");
    ToolRun made =
        RunProgram({"python3", "-c",
                    "import zipfile,sys\n"
                    "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                    "    with z.open('\\u65e5\\u672c.bin', 'w', force_zip64=True) as f:\n"
                    "        f.write(b'x' * 70000)\n"
                    "    for i in range(65540): z.writestr('f%05d' % i, '')\n",
                    archive});
    ASSERT_EQ(made.exitCode, 0) << made.errors;
    auto holds = [](const SeenArchive& seen, const std::string& name) {
        for (const SeenEntry& e : seen.entries) {
            if (e.name == name)
                return true;
        }
        return false;
    };
    SeenArchive before;
    SeenArchive after = RewriteKeepingData(archive, "-r -c:sN", &before);
    ASSERT_FALSE(HasFailure());
    EXPECT_TRUE(holds(after, SjisNihongo.substr(0, 4) + ".bin"));
    ExpectToolsAccept(archive);
    const std::string bytes = ReadFileBytes(archive);
    EXPECT_EQ(GetLe32(bytes, bytes.size() - 22 - 20), 0x07064B50u) << "a ZIP64 locator";

    dir.Write("added.txt", "added");
    made = RunProgram({"7zz", "a", "-tzip", "-mx0", archive, "added.txt"}, dir.path());
    ASSERT_EQ(made.exitCode, 0) << made.output << made.errors;
    after = RewriteKeepingData(archive, "-r -c:uN", &before);
    EXPECT_EQ(after.entries.size(), 65542u);
    EXPECT_TRUE(holds(after, "\xE6\x97\xA5\xE6\x9C\xAC.bin"));
    ExpectToolsAccept(archive);
}

// The extra field less its Info-ZIP Unicode Path fields (0x7075), which a
// rewrite recomputes or leaves out.
std::string WithoutUnicodePaths(const std::string& extra) {
    std::string kept;
    for (size_t at = 0; at + 4 <= extra.size();) {
        const size_t size = 4 + GetLe16(extra, at + 2);
        if (GetLe16(extra, at) != 0x7075)
            kept += extra.substr(at, size);
        at += size;
    }
    return kept;
}

// Archives that arrive garbled on Japanese Windows: UTF-8 names without the
// UTF-8 flag, from makers whose "version made by" is read only with -r.
void ExpectRefusedWithoutRelaxedVersions(const std::string& archive, int madeBy) {
    ToolRun strict = RunArcpeek({archive});
    EXPECT_EQ(strict.exitCode, 92);
    EXPECT_NE(strict.output.find(" : (" + std::to_string(madeBy) + ", 0)\n"), std::string::npos)
        << strict.output;
}

TEST_F(RealToolRewrite,
       FinderArchiveWithDecomposedKanaIsReadWithRelaxedVersionsAndStoredInShiftJis) {
    const std::string voiced = "\xE3\x82\x99";      // U+3099
    const std::string semiVoiced = "\xE3\x82\x9A";  // U+309A
    const std::string folder = "フ" + semiVoiced + "ラン/";
    const std::vector<std::string> paths = {folder, folder + "は" + semiVoiced + "んだ.txt",
                                            "か" + voiced + "っこう.txt"};
    const std::vector<std::string> composed = {"プラン/",
                                               "プラン/ぱんだ.txt",
                                               "がっこう.txt",
                                               "__MACOSX/",
                                               "__MACOSX/プラン/",
                                               "__MACOSX/プラン/._ぱんだ.txt",
                                               "__MACOSX/._がっこう.txt"};
    const std::string archive =
        dir.Write("finder.zip", BuildZip(FinderStyleLayout(paths, "data of ")));
    ExpectRefusedWithoutRelaxedVersions(archive, 21);
    if (HaveListFile()) {
        const std::string listing = OwnListing(archive, true);
        for (const std::string& name : composed)
            EXPECT_NE(listing.find("\r\n" + name + ","), std::string::npos) << name << listing;
    }

    SeenArchive before;
    SeenArchive after = RewriteKeepingData(archive, "-r -c:sN", &before);
    ASSERT_FALSE(HasFailure());
    ASSERT_EQ(after.entries.size(), composed.size());
    for (size_t i = 0; i < composed.size(); ++i) {
        EXPECT_EQ(Hex(after.entries[i].name), Hex(Utf8ToCp932(composed[i]))) << composed[i];
        EXPECT_EQ(after.entries[i].flags, before.entries[i].flags);
        EXPECT_EQ(after.entries[i].extra, before.entries[i].extra);
    }
    EXPECT_EQ(before.entries[1].flags & 0x0808, 0x0008u) << "descriptors, no UTF-8 flag";
    ExpectToolsAccept(archive);
}

TEST_F(RealToolRewrite, InfoZipUtf8NamesAreReadWithRelaxedVersionsAndStoredInShiftJis) {
    if (!HaveProgram("zip"))
        GTEST_SKIP() << "Info-ZIP zip is not installed";
    WriteInputs(dir, {Utf8Nihongo + ".txt", Utf8Data + ".csv", "plain.txt"});
    ToolRun made = RunProgram(
        {"zip", "-q", "z.zip", Utf8Nihongo + ".txt", Utf8Data + ".csv", "plain.txt"}, dir.path());
    ASSERT_EQ(made.exitCode, 0) << made.errors;
    const std::string archive = dir.File("z.zip");
    ExpectRefusedWithoutRelaxedVersions(archive, 30);
    if (HaveListFile()) {
        const std::string listing = OwnListing(archive, true);
        EXPECT_NE(listing.find("\r\n日本語.txt,"), std::string::npos) << listing;
        EXPECT_NE(listing.find("\r\nデータ.csv,"), std::string::npos) << listing;
    }

    SeenArchive before;
    SeenArchive after = RewriteKeepingData(archive, "-r -c:sN", &before);
    ASSERT_FALSE(HasFailure());
    EXPECT_EQ(Hex(after.entries[0].name), Hex(SjisNihongo + ".txt"));
    EXPECT_EQ(Hex(after.entries[1].name), Hex(SjisData + ".csv"));
    EXPECT_EQ(after.entries[2].name, "plain.txt");
    for (size_t i = 0; i < after.entries.size(); ++i) {
        EXPECT_EQ(after.entries[i].flags & 0x0800, 0u) << i;
        EXPECT_EQ(WithoutUnicodePaths(after.entries[i].extra),
                  WithoutUnicodePaths(before.entries[i].extra))
            << "UT and ux fields kept";
    }
    ExpectToolsAccept(archive);
}

}  // namespace
