#include "report/report_texts.h"

// Every text is Shift-JIS (code page 932); its Japanese form stands beside it.
// The literals are split where a hex escape would swallow the next letter.

// clang-format off

const char* const EncodingLabel =  // 文字コード情報：
    "\x95\xB6\x8E\x9A\x83R\x81[\x83h\x8F\xEE\x95\xF1\x81" "F";
const char* const PasswordLabel =  // パスワード設定：
    "\x83p\x83X\x83\x8F\x81[\x83h\x90\xDD\x92\xE8\x81" "F";
const char* const EntryCountLabel =  // 内包ファイル数：
    "\x93\xE0\x95\xEF\x83t\x83@\x83" "C\x83\x8B\x90\x94\x81" "F";
const char* const VersionLabel =  // ZIPバージョン ：
    "ZIP\x83o\x81[\x83W\x83\x87\x83\x93 \x81" "F";
const char* const HostLabel =  // 作成OS情報    ：
    "\x8D\xEC\x90\xACOS\x8F\xEE\x95\xF1    \x81" "F";
const char* const CommentLabel =  // ファイル説明文：
    "\x83t\x83@\x83" "C\x83\x8B\x90\xE0\x96\xBE\x95\xB6\x81" "F";

// ファイル名--------------------------------------圧縮サイズ---元サイズ-----ファイル日付-------
// The columns line up with the rows: 48 bytes of name, 13 and 13 of sizes, 19 of date.
const char* const ListingHeader =
    "\x83t\x83@\x83" "C\x83\x8B\x96\xBC--------------------------------------"
    "\x88\xB3\x8Fk\x83T\x83" "C\x83Y---"
    "\x8C\xB3\x83T\x83" "C\x83Y-----"
    "\x83t\x83@\x83" "C\x83\x8B\x93\xFA\x95t-------\n";

const char* const PresentWord = "\x97L\x82\xE8";  // 有り
const char* const AbsentWord = "\x96\xB3\x82\xB5";  // 無し

const char* const ExtraFieldLabel =  // 拡張フィールド:
    "\x8Ag\x92\xA3\x83t\x83" "B\x81[\x83\x8B\x83h:";
const char* const EntryCommentLabel =  // ファイルコメント:
    "\x83t\x83@\x83" "C\x83\x8B\x83R\x83\x81\x83\x93\x83g:";

namespace {

const char* const ShiftJisName = "\x83V\x83t\x83gJIS";  // シフトJIS
const char* const Utf16LeName =  // UTF16リトルエンディアン
    "UTF16\x83\x8A\x83g\x83\x8B\x83G\x83\x93\x83" "f\x83" "B\x83" "A\x83\x93";
const char* const Utf16BeName =  // UTF16ビッグエンディアン
    "UTF16\x83r\x83" "b\x83O\x83G\x83\x93\x83" "f\x83" "B\x83" "A\x83\x93";
// clang-format on

}  // namespace

const char* EncodingDisplayName(int encoding) {
    switch (encoding) {
        case Ascii:
            return "ASCII";
        case ShiftJis:
            return ShiftJisName;
        case Euc:
            return "EUC";
        case Utf16Le:
            return Utf16LeName;
        case Utf16Be:
            return Utf16BeName;
        default:
            return "UTF8";
    }
}
