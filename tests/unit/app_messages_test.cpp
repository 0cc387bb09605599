// The message texts are Shift-JIS bytes in the source; these tests read them
// back through the C library's CP932 converter and compare with the Japanese.
#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "app/messages.h"
#include "support/tool_run.h"

namespace {

TEST(Messages, FileNotFoundAndErrorLineReadAsJapanese) {
    EXPECT_EQ(Cp932ToUtf8(FileNotFoundFormat), "指定されたファイル [%s] が存在しません。\n");
    EXPECT_EQ(Cp932ToUtf8(ErrorLineFormat),
              "処理エラーが発生しました。エラーコード (%d) : (%d, %d)\n");
}

TEST(Messages, UsageLinesReadAsJapaneseAndFitTheirWidth) {
    const char* expected[UsageLineCount] = {
        "arcpeek.exe リターン",
        "       機能概要を表示し終了します。",
        nullptr,
        "arcpeek.exe -h(H) リターン",
        "       機能概要を表示し終了します。",
        nullptr,
        "arcpeek.exe zipファイル リターン",
        "       zipファイルの情報を表示し終了します。",
        nullptr,
        "arcpeek.exe -a(A) zipファイル リターン",
        "       zipファイルの詳細情報を表示し終了します。",
        nullptr,
        "arcpeek.exe -f(F):リストファイル zipファイル リターン",
        "       zipファイルの情報を指定されたファイルに出力し終了します。",
        nullptr,
        "arcpeek.exe -a(A) -f(F):リストファイル zipファイル リターン",
        "       zipファイルの詳細情報を指定されたファイルに出力し終了します。",
        nullptr,
        "arcpeek.exe -c(C):s(S) zipファイル リターン",
        "       zipファイルの文字コードをShiftJISコードに変換し終了します。",
        "       zipファイルの文字コードがShiftJISコードの場合は無処理です。",
        nullptr,
        "arcpeek.exe -c(C):u(U) zipファイル リターン",
        "       zipファイルの文字コードをUTF-8コードに変換し終了します。",
        "       zipファイルの文字コードがUTF-8コードの場合は無処理です。",
        nullptr,
        "arcpeek.exe -c(C):x(X) -b(B) zipファイル リターン",
        "       変換に指定された文字コードへの変換を行う前にzipファイルの保存します。",
        "       保存ファイル名は、\"zipファイル.back\" です。",
        nullptr,
        "arcpeek.exe -C:XN(n) オプションパラメータ zipファイル リターン",
        "       文字コード変換パラメータに続けて N or n を指定した場合、ZIPファイル",
        "       の情報の標準出力は行いません。",
        nullptr,
    };
    for (size_t i = 0; i < UsageLineCount; ++i) {
        SCOPED_TRACE("usage line " + std::to_string(i + 1));
        if (!expected[i]) {
            EXPECT_EQ(UsageLines[i], nullptr);
            continue;
        }
        ASSERT_NE(UsageLines[i], nullptr);
        EXPECT_EQ(Cp932ToUtf8(UsageLines[i]), expected[i]);
        size_t width = (i + 1 == UsageShortLine) ? UsageShortLineWidth : UsageLineWidth;
        EXPECT_LE(std::strlen(UsageLines[i]), width);
    }
}

}  // namespace
