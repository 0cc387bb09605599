// The messages of arcpeek-sendto, as Shift-JIS bytes; each one's Japanese
// form stands beside its definition.
#pragma once

// "変換 %d 件、変換不要 %d 件、失敗 %d 件": converted, needed nothing, failed.
extern const char* const ConvertSummaryFormat;
// "表示 %d 件、失敗 %d 件": listed, failed.
extern const char* const ListSummaryFormat;
// " (エラーコード %s)": the exit codes of the failed runs, in order.
extern const char* const FailureCodesFormat;
// "arcpeek を実行できませんでした: ", followed by the program's path: it
// could not be started, or did not end by itself.
extern const char* const CannotRunText;
// "アーカイブが指定されていません。..." with a hint at the Send-to menu.
extern const char* const NoArchiveText;
// "「送る」メニューに登録しました: ", followed by the folder.
extern const char* const InstalledText;
// "「送る」メニューから削除しました: ", followed by the folder.
extern const char* const RemovedText;
// "「送る」メニューを変更できませんでした。エラーコード (%d)\n"
extern const char* const MenuFailedFormat;
// The usage text, two lines.
extern const char* const SendToUsageText;
