// The sample archive shipped with the sources: it is what its generator
// writes, and the tool lists it as the README shows.
#include <gtest/gtest.h>

#include <string>

#include "support/tool_run.h"

namespace {

const std::string SamplePath = std::string(ARCPEEK_SOURCE_DIR) + "/samples/sample.zip";

TEST(SampleArchive, GeneratorWritesTheShippedBytes) {
    if (!HaveProgram("python3"))
        GTEST_SKIP() << "python3 is not installed";
    ScratchDir scratch;
    std::string regenerated = scratch.File("sample.zip");
    ToolRun run = RunProgram(
        {"python3", std::string(ARCPEEK_SOURCE_DIR) + "/samples/make_samples.py", regenerated});
    ASSERT_EQ(run.exitCode, 0) << run.errors;
    EXPECT_TRUE(ReadFileBytes(regenerated) == ReadFileBytes(SamplePath))
        << "samples/sample.zip is stale: run samples/make_samples.py";
}

TEST(SampleArchive, DetailedListing) {
    ToolRun run = RunArcpeek({"-a", SamplePath});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(Cp932ToUtf8(run.output),
              "\nArcpeek Ver.1.0.0.0 ( Build: 2014.02.03 )\n"
              "Copyright (C) 2014-2026 The Arcpeek developers.\n\n"
              "文字コード情報：シフトJIS\n"
              "パスワード設定：無し\n"
              "内包ファイル数：4\n"
              "ZIPバージョン ：20\n"
              "作成OS情報    ：0\n"
              "ファイル説明文：Arcpeek のサンプルアーカイブです。\n"
              "\n"
              "ファイル名--------------------------------------圧縮サイズ---元サイズ-----"
              "ファイル日付-------\n"
              "写真/                                                      0            0 "
              "2014/01/20 09:15:00\n"
              "写真/夏休み.txt                                           18           18 "
              "2013/08/14 18:30:24\n"
              "報告書.txt                                                46           46 "
              "2014/02/03 10:20:30\n"
              "readme.txt                                                25           25 "
              "2014/02/03 10:21:00\n");
}

}  // namespace
