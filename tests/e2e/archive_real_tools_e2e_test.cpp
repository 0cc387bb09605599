// Archives written by real tools: python3's zipfile, 7-Zip and Info-ZIP's zip.
// Each test skips, saying why, when the tool is not installed.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "support/tool_run.h"
#include "support/zip_builder.h"

namespace {

TEST(RealToolArchives, PythonZipfileArchiveIsRead) {
    if (!HaveProgram("python3"))
        GTEST_SKIP() << "python3 is not installed";
    ScratchDir scratch;
    const std::string archive = scratch.File("py.zip");
    ToolRun made =
        RunProgram({"python3", "-c",
                    "import zipfile,sys\n"
                    "with zipfile.ZipFile(sys.argv[1], 'w', zipfile.ZIP_DEFLATED) as z:\n"
                    "    z.writestr('alpha.txt', 'a' * 5000)\n"
                    "    z.writestr('dir/beta.bin', bytes(range(256)))\n"
                    "    z.comment = b'made by python'\n",
                    archive});
    ASSERT_EQ(made.exitCode, 0) << made.errors;
    const std::string list = scratch.File("list.txt");
    ToolRun run = RunArcpeek({"-f:" + list, archive});
    EXPECT_EQ(run.exitCode, 0) << run.output;
    EXPECT_EQ(run.output, "") << "a list file replaces the console report";
}

TEST(RealToolArchives, InfoZipArchiveIsRefusedForItsVersionUntilPatched) {
    if (!HaveProgram("zip"))
        GTEST_SKIP() << "Info-ZIP zip is not installed";
    ScratchDir scratch;
    scratch.Write("one.txt", std::string(3000, 'x'));
    scratch.Write("two.txt", "two");
    ToolRun made = RunProgram({"zip", "-q", "-X", "out.zip", "one.txt", "two.txt"}, scratch.path());
    ASSERT_EQ(made.exitCode, 0) << made.errors;
    const std::string archive = scratch.File("out.zip");
    std::string bytes = ReadFileBytes(archive);
    std::vector<size_t> madeBy = MadeByOffsets(bytes);
    ASSERT_EQ(madeBy.size(), 2u);
    ASSERT_EQ(static_cast<unsigned char>(bytes[madeBy[0]]), 30) << "zip on Unix writes 30";

    ToolRun refused = RunArcpeek({archive});
    EXPECT_EQ(refused.exitCode, 92);
    EXPECT_NE(refused.output.find(" : (30, 0)\n"), std::string::npos) << refused.output;

    for (size_t offset : madeBy)
        bytes[offset] = 20;
    scratch.Write("out.zip", bytes);
    ToolRun read = RunArcpeek({"-f:" + scratch.File("list.txt"), archive});
    EXPECT_EQ(read.exitCode, 0) << read.output;
}

// The lines of a list file (CR LF), the detail block's included.
std::vector<std::string> ListLines(const std::string& list) {
    std::vector<std::string> lines;
    for (size_t at = 0, end; (end = list.find("\r\n", at)) != std::string::npos; at = end + 2)
        lines.push_back(list.substr(at, end - at));
    return lines;
}

// Archives with ZIP64 records, as python's zipfile (a ZIP64 local field
// forced on one entry, more than 65,535 entries) and then 7-Zip (the same
// archive updated by 7zz, which writes every record anew) write them: -r
// lists every entry with the sizes that python sees.
TEST(RealToolArchives, ArchivesWithZip64RecordsAreListedWithRelaxedChecks) {
    if (!HaveProgram("python3"))
        GTEST_SKIP() << "python3 is not installed";
    ScratchDir scratch;
    const std::string archive = scratch.File("many.zip");
    ToolRun made = RunProgram({"python3", "-c",
                               "import zipfile,sys\n"
                               "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                               "    with z.open('big.bin', 'w', force_zip64=True) as f:\n"
                               "        f.write(b'x' * 70000)\n"
                               "    for i in range(65540): z.writestr('f%05d' % i, '')\n"
                               "print(len(z.infolist()))\n",
                               archive});
    ASSERT_EQ(made.exitCode, 0) << made.errors;
    ASSERT_EQ(made.output, "65541\n");
    const std::string list = scratch.File("list.csv");
    auto expectListed = [&](const char* maker, size_t entries) {
        EXPECT_EQ(RunArcpeek({archive}).exitCode, 84) << maker << ": without -r, as always";
        ToolRun run = RunArcpeek({"-r", "-a", "-f:" + list, archive});
        ASSERT_EQ(run.exitCode, 0) << maker << run.output;
        std::vector<std::string> lines = ListLines(ReadFileBytes(list));
        ASSERT_EQ(lines.size(), 7 + entries) << maker;
        EXPECT_NE(lines[2].find(std::to_string(entries)), std::string::npos) << maker << lines[2];
        for (const char* entry : {"big.bin,70000,70000,", "f00000,0,0,", "f65539,0,0,"}) {
            auto at = std::find_if(lines.begin(), lines.end(), [entry](const std::string& line) {
                return line.rfind(entry, 0) == 0;
            });
            EXPECT_NE(at, lines.end()) << maker << ": " << entry;
        }
    };
    expectListed("python", 65541);
    if (!HaveProgram("7zz"))
        GTEST_SKIP() << "7zz is not installed";
    scratch.Write("added.txt", "added");
    made = RunProgram({"7zz", "a", "-tzip", "-mx0", archive, "added.txt"}, scratch.path());
    ASSERT_EQ(made.exitCode, 0) << made.output << made.errors;
    expectListed("7zz", 65542);
}

// Info-ZIP's zip writing to a pipe from standard input gives the entry a
// ZIP64 local field and a 24-byte data descriptor; -r lists it as unzip -Z.
TEST(RealToolArchives, InfoZipStreamIsListedWithRelaxedChecks) {
    if (!HaveProgram("zip") || !HaveProgram("unzip"))
        GTEST_SKIP() << "Info-ZIP zip or unzip is not installed";
    ScratchDir scratch;
    ToolRun made = RunProgram({"sh", "-c", "head -c 70000 /dev/zero | zip -q - - | cat > s.zip"},
                              scratch.path());
    ASSERT_EQ(made.exitCode, 0) << made.errors;
    const std::string archive = scratch.File("s.zip");
    ToolRun seen = RunProgram({"unzip", "-Z", "-l", archive});
    ASSERT_NE(seen.output.find(" 70000 "), std::string::npos) << seen.output;
    const std::string list = scratch.File("list.csv");
    ToolRun run = RunArcpeek({"-r", "-f:" + list, archive});
    ASSERT_EQ(run.exitCode, 0) << run.output;
    const std::string line = ReadFileBytes(list);
    EXPECT_EQ(line.substr(0, 2), "-,") << line;
    EXPECT_NE(line.find(",70000,"), std::string::npos) << line;
}

}  // namespace
