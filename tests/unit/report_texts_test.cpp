// The report texts are Shift-JIS bytes in the source; these tests read them
// back through the C library's CP932 converter and compare with the Japanese.
#include "report/report_texts.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "support/tool_run.h"

namespace {

TEST(ReportTexts, DetailLabelsReadAsJapaneseWithFullWidthColons) {
    EXPECT_EQ(Cp932ToUtf8(EncodingLabel), "文字コード情報：");
    EXPECT_EQ(Cp932ToUtf8(PasswordLabel), "パスワード設定：");
    EXPECT_EQ(Cp932ToUtf8(EntryCountLabel), "内包ファイル数：");
    EXPECT_EQ(Cp932ToUtf8(VersionLabel), "ZIPバージョン ：");
    EXPECT_EQ(Cp932ToUtf8(HostLabel), "作成OS情報    ：");
    EXPECT_EQ(Cp932ToUtf8(CommentLabel), "ファイル説明文：");
    // All six labels are 16 bytes, so their values line up.
    for (const char* label :
         {EncodingLabel, PasswordLabel, EntryCountLabel, VersionLabel, HostLabel, CommentLabel}) {
        EXPECT_EQ(std::strlen(label), 16u) << Cp932ToUtf8(label);
    }
}

TEST(ReportTexts, HeaderLineMatchesTheRowColumns) {
    EXPECT_EQ(Cp932ToUtf8(ListingHeader),
              "ファイル名--------------------------------------圧縮サイズ---元サイズ-----"
              "ファイル日付-------\n");
    // 48 bytes of name, 12 + 1 and 12 + 1 of sizes, 19 of date, then "\n".
    std::string header = ListingHeader;
    EXPECT_EQ(header.size(), 48u + 13u + 13u + 19u + 1u);
    EXPECT_EQ(header.substr(0, 48), std::string("\x83t\x83@\x83"
                                                "C\x83\x8B\x96\xBC") +
                                        std::string(38, '-'));
}

TEST(ReportTexts, WordsAndListFileLabels) {
    EXPECT_EQ(Cp932ToUtf8(PresentWord), "有り");
    EXPECT_EQ(Cp932ToUtf8(AbsentWord), "無し");
    EXPECT_EQ(Cp932ToUtf8(ExtraFieldLabel), "拡張フィールド:");
    EXPECT_EQ(Cp932ToUtf8(EntryCommentLabel), "ファイルコメント:");
}

TEST(ReportTexts, EncodingNamesIncludingUnknownValues) {
    EXPECT_EQ(Cp932ToUtf8(EncodingDisplayName(0)), "ASCII");
    EXPECT_EQ(Cp932ToUtf8(EncodingDisplayName(1)), "シフトJIS");
    EXPECT_EQ(Cp932ToUtf8(EncodingDisplayName(2)), "EUC");
    EXPECT_EQ(Cp932ToUtf8(EncodingDisplayName(3)), "UTF16リトルエンディアン");
    EXPECT_EQ(Cp932ToUtf8(EncodingDisplayName(4)), "UTF16ビッグエンディアン");
    EXPECT_EQ(Cp932ToUtf8(EncodingDisplayName(5)), "UTF8");
    EXPECT_STREQ(EncodingDisplayName(6), "UTF8");
    EXPECT_STREQ(EncodingDisplayName(-1), "UTF8");
}

}  // namespace
