// Running the tool's own programs from another one: where they lie, and one
// run of a program that shares this process's console and standard streams.
#pragma once

#include <string>
#include <vector>

// The path of the program `name`, given without the system's suffix for
// programs, in the folder that holds the running program; empty when that
// folder cannot be found.
std::string SiblingProgram(const char* name);

// Runs the program at `path` with `arguments` (the program's name not among
// them) and waits for it to end. It writes to this process's standard output
// and error and its console, after whatever this process wrote before (which
// is flushed first). Returns its exit code, or -1 when it could not be
// started or did not end normally.
int RunProgramAndWait(const std::string& path, const std::vector<std::string>& arguments);
