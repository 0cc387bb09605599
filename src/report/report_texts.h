// The fixed texts of the reports, as Shift-JIS (code page 932) bytes.
#pragma once

#include "archive/context.h"

// Labels of the detail block; the value and the line end follow each.
extern const char* const EncodingLabel;    // 文字コード情報：
extern const char* const PasswordLabel;    // パスワード設定：
extern const char* const EntryCountLabel;  // 内包ファイル数：
extern const char* const VersionLabel;     // ZIPバージョン ：
extern const char* const HostLabel;        // 作成OS情報    ：
extern const char* const CommentLabel;     // ファイル説明文：

// The header line of the console listing, with its "\n".
extern const char* const ListingHeader;

extern const char* const PresentWord;  // 有り
extern const char* const AbsentWord;   // 無し

// Labels of the list file's last two columns; the yes/no word follows each.
extern const char* const ExtraFieldLabel;    // 拡張フィールド:
extern const char* const EntryCommentLabel;  // ファイルコメント:

// The printed name of an encoding; every value outside Ascii..Utf16Be reads "UTF8".
const char* EncodingDisplayName(int encoding);
