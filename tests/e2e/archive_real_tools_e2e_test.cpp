// Archives written by real tools: python3's zipfile, 7-Zip and Info-ZIP's zip.
// Each test skips, saying why, when the tool is not installed.
#include <gtest/gtest.h>

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

// Archives with ZIP64 records, as python's zipfile (a ZIP64 local field
// forced on one entry, more than 65,535 entries) and then 7-Zip (the same
// archive updated by 7zz, which writes every record anew) write them: -r
// lists every entry with the sizes that python sees. So does an Info-ZIP
// stream (ZIP64 local field, 24-byte descriptor), as unzip -Z sees it.
TEST(RealToolArchives, ArchivesWithZip64RecordsAreListedWithRelaxedChecks) {
    if (!HaveProgram("python3") || !HaveProgram("7zz") || !HaveProgram("zip"))
        GTEST_SKIP() << "python3, 7zz or Info-ZIP zip is not installed";
    ScratchDir scratch;
    const std::string archive = scratch.File("many.zip");
    ToolRun made = RunProgram({"python3", "-c",
                               "import zipfile,sys\n"
                               "with zipfile.ZipFile(sys.argv[1], 'w') as z:\n"
                               "    with z.open('big.bin', 'w', force_zip64=True) as f:\n"
                               "        f.write(b'x' * 70000)\n"
                               "    for i in range(65540): z.writestr('f%05d' % i, '')\n",
                               archive});
    ASSERT_EQ(made.exitCode, 0) << made.errors;
    const std::string list = scratch.File("list.csv");
    auto expectListed = [&](const std::string& path, const std::string& count,
                            const std::vector<std::string>& rows) {
        ToolRun run = RunArcpeek({"-r", "-a", "-f:" + list, path});
        ASSERT_EQ(run.exitCode, 0) << run.output;
        const std::string listed = ReadFileBytes(list);
        for (const std::string& row : rows)
            EXPECT_NE(listed.find("\r\n" + row), std::string::npos) << row;
        EXPECT_NE(listed.find(count + "\r\n"), std::string::npos) << "the entry count " << count;
    };
    EXPECT_EQ(RunArcpeek({archive}).exitCode, 84) << "without -r, as always";
    expectListed(archive, "65541", {"big.bin,70000,70000,", "f00000,0,0,", "f65539,0,0,"});
    scratch.Write("added.txt", "added");
    made = RunProgram({"7zz", "a", "-tzip", "-mx0", archive, "added.txt"}, scratch.path());
    ASSERT_EQ(made.exitCode, 0) << made.output << made.errors;
    expectListed(archive, "65542", {"big.bin,70000,70000,", "f65539,0,0,", "added.txt,5,5,"});

    made = RunProgram({"sh", "-c", "head -c 70000 /dev/zero | zip -q - - | cat > s.zip"},
                      scratch.path());
    ASSERT_EQ(made.exitCode, 0) << made.errors;
    ToolRun seen = RunProgram({"unzip", "-Z", "-l", scratch.File("s.zip")});
    ASSERT_NE(seen.output.find(" 70000 "), std::string::npos) << seen.output;
    expectListed(scratch.File("s.zip"), "1", {"-,"});
    EXPECT_NE(ReadFileBytes(list).find(",70000,20"), std::string::npos) << "its size, its date";
}

}  // namespace
