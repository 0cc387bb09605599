// Archives written by real tools: python3's zipfile and Info-ZIP's zip. Each
// test skips, saying why, when the tool is not installed.
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

}  // namespace
