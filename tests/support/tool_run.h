// Runs the built arcpeek binary and captures what it printed, and gives each
// test a scratch folder of its own.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

struct ToolRun {
    int exitCode = -1;      // -1 when the process did not exit normally
    std::string output;     // standard output, byte for byte
    std::string errors;     // standard error
    bool timedOut = false;  // killed when its time ran out
};

// Runs arcpeek with `args` in `workDir` (the current folder when empty).
// Standard input is /dev/null; standard output is a pipe.
ToolRun RunArcpeek(const std::vector<std::string>& args, const std::string& workDir = "");

// The same, killed if it has not ended within `seconds`.
ToolRun RunArcpeekWithin(int seconds, const std::vector<std::string>& args);

// When ARCPEEK_COLLECT_ARCHIVES names a folder, copies every archive among
// `args` (an existing file, relative to `workDir`) into it, named after its
// contents, so that the builds of other platforms can be run on the same
// archives. RunArcpeek calls it.
void CollectArchives(const std::vector<std::string>& args, const std::string& workDir);

// Runs any program found on PATH the same way, in the locale C.UTF-8 whatever
// the caller's (an "env LC_ALL=..." in front still decides); exitCode 127 if
// it is missing.
ToolRun RunProgram(const std::vector<std::string>& argv, const std::string& workDir = "");

// True when `program` is found on PATH.
bool HaveProgram(const std::string& program);

// A scratch folder that is removed with everything in it when it goes away.
class ScratchDir {
public:
    ScratchDir();
    ~ScratchDir();
    ScratchDir(const ScratchDir&) = delete;
    ScratchDir& operator=(const ScratchDir&) = delete;

    const std::string& path() const {
        return path_;
    }
    // path() + "/" + name
    std::string File(const std::string& name) const;
    // Writes `bytes` to File(name) and returns that path.
    std::string Write(const std::string& name, const std::string& bytes) const;
    // The names in the folder, sorted.
    std::vector<std::string> List() const;

private:
    std::string path_;
};

// The file system path for a UTF-8 path: on Windows in UTF-16, and in the
// long form where it exceeds MAX_PATH, as the tool itself opens it.
std::filesystem::path FsPath(const std::string& utf8);

// Writes big.zip into `scratch`: one stored entry `name` of `dataSize` bytes
// over a hole; with `zip64` in ZIP64 records, else modulo 2^32. Returns its path.
std::string WriteSparseArchive(const ScratchDir& scratch, uint64_t dataSize, bool zip64,
                               const std::string& name = "video.mp4", uint16_t flags = 0);

// Reads a whole file; empty when it cannot be read.
std::string ReadFileBytes(const std::string& path);

// Formats bytes as "41 82 A0" for failure messages.
std::string Hex(const std::string& bytes);

// Reads Shift-JIS (code page 932) bytes as UTF-8 through the C library's
// converter, so that expectations can be written in Japanese. An invalid
// sequence is marked in the result with its bytes in hex.
std::string Cp932ToUtf8(const std::string& bytes);

// The banner that starts every report, usage text and error output.
extern const char* const ExpectedBanner;

// Writes UTF-8 text as Shift-JIS (code page 932) bytes, for building names.
std::string Utf8ToCp932(const std::string& utf8);
