// The run sequence of the tool: start-up, read, report, re-encode, end.
#pragma once

// Runs the tool on the arguments and ends the process with the exit code.
[[noreturn]] void RunArcpeek(int argc, char** argv);

// Puts context.order into ascending order of localHeaderOffset, keeping the
// directory order of entries with equal offsets.
void SortRecordOrder(int entryCount);
