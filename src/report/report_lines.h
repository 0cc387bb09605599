// The lines of the reports, built in memory: the detail block, the rows of
// the console listing and the lines of the list file. Names and comments are
// copied unchanged, whatever bytes they hold; they are never used as formats.
#pragma once

#include <cstddef>
#include <string>

#include "archive/context.h"

// Room for the date text of any EntryInfo, with its zero byte. The reader's
// values always give 19 characters; wider field values are printed whole.
constexpr size_t DateTextCapacity = 32;

// "YYYY/MM/DD hh:mm:ss" from the entry's date and time fields.
void FormatEntryDate(const EntryInfo& entry, char (&text)[DateTextCapacity]);

// Appends the six lines of the detail block and an empty line, each ended by
// `lineEnd` ("\n" on the console, "\r\n" in the list file).
void AppendDetailBlock(std::string* out, int entryCount, const char* lineEnd);

// Appends one row of the console listing: the name padded to 48 bytes (a
// longer name is kept whole), both sizes grouped by thousands in 12 columns,
// and the date.
void AppendListingRow(std::string* out, const CentralRecord& record, const EntryInfo& entry);

// Appends one comma-separated line of the list file, ended by CR LF. The sizes
// are printed as signed 32-bit numbers, or with -r as the unsigned values they
// are (64-bit where the entry's ZIP64 field holds them).
void AppendListFileLine(std::string* out, const CentralRecord& record, const EntryInfo& entry);
