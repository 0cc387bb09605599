// The tool's own message texts, as Shift-JIS bytes.
#pragma once

#include <cstddef>

// "指定されたファイル [%s] が存在しません。\n", with the path.
extern const char* const FileNotFoundFormat;

// "処理エラーが発生しました。エラーコード (%d) : (%d, %d)\n": the result code,
// madeByVersion and errorDetail.
extern const char* const ErrorLineFormat;

// "-r を指定すると、このアーカイブを読むことができます。\n": shown on a console
// after the error line of a refusal that -r lifts.
extern const char* const RelaxedSwitchHint;
// "\n何かキーを押すとウィンドウを閉じます。": ends a run in a console window
// that was opened for it alone.
extern const char* const CloseWindowPrompt;

constexpr size_t UsageLineCount = 34;
constexpr size_t UsageLineWidth = 78;       // every line is padded to this width
constexpr size_t UsageShortLine = 29;       // except this one (1-based) ...
constexpr size_t UsageShortLineWidth = 76;  // ... which is padded to this width

// The usage text without trailing spaces; null for lines of spaces only.
extern const char* const UsageLines[UsageLineCount];
