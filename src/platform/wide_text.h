// Windows only: the conversions between the UTF-8 paths and arguments the
// tool works with and the UTF-16 the system takes. Included by the Windows
// bodies of the platform services alone.
#pragma once

#include <string>
#include <string_view>

// UTF-8 to UTF-16. A surrogate written in UTF-8 form (as Utf8FromWide writes
// an unpaired one) comes back as that unit, so every name Windows can hold
// survives the way there and back; an invalid byte becomes U+FFFD.
std::wstring WideFromUtf8(std::string_view text);

// UTF-16 to UTF-8; an unpaired surrogate is written in the three-byte form.
std::string Utf8FromWide(std::wstring_view text);

// The UTF-16 path for the system's file calls. A path whose full form is
// MAX_PATH characters or longer is made absolute and given the "\\?\" form,
// in which the system takes up to 32767 characters.
std::wstring SystemPath(const char* path);

// The path in the form the native file calls take ("\??\C:\dir\name"),
// made absolute: for renames through SetFileInformationByHandle.
std::wstring NativePath(const char* path);

// Quotes one argument for a command line so that CommandLineToArgvW, and the
// C runtime's own parsing, give it back unchanged: backslashes are doubled
// only before a quote.
std::wstring QuotedArgument(const std::wstring& argument);
