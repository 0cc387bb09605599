// The run sequence of the tool: start-up, read, report, re-encode, end.
#pragma once

// Runs the tool on the arguments and ends the process with the exit code.
[[noreturn]] void RunArcpeek(int argc, char** argv);

// Fills context.order with the records in ascending order of
// localHeaderOffset, keeping the directory order of entries with equal
// offsets. The table is allocated here when absent, since only a rewrite
// needs it. Returns 0, or 17 with errno in errorDetail when it cannot be.
int SortRecordOrder(int entryCount, int* errorDetail);
