// The run sequence of the tool: start-up, read, report, re-encode, end.
#pragma once

// Runs the tool on the arguments and ends the process with the exit code.
[[noreturn]] void RunArcpeek(int argc, char** argv);

// Read, report and re-encode on the switches already in the context: the
// part of the run after the command line. Returns the exit code; the tables
// stay allocated until FreeArchiveTables.
int RunArchiveStages();

// Puts context.order into ascending order of localHeaderOffset, keeping the
// directory order of entries with equal offsets.
void SortRecordOrder(int entryCount);
