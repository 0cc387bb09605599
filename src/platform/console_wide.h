// Windows only: the console's side of the terminal conversion. Included by
// the Windows bodies of the platform services alone.
#pragma once

#include <string>
#include <string_view>

#include "platform/console_charset.h"

// Appends the Shift-JIS `bytes` as UTF-16 for WriteConsoleW, with the rules
// of TranscodeForTerminal: a lead byte at the end is held for the next
// piece, and bytes that form no character become "?". The transcoder needs
// no converter for it; zero-initialised is ready.
void TranscodeToUtf16(TerminalTranscoder* transcoder, std::string_view bytes, std::wstring* out);
