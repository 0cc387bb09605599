// Shared helpers of the fuzz targets: a scratch folder per process, whole-file
// reads and writes, and a check that stops the run when it fails.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// A folder of this process's own, on a memory file system where there is
// one, removed when the process ends normally.
const std::string& ScratchFolder();

// Writes `bytes` to `path`, replacing what was there.
void WriteWholeFile(const std::string& path, const uint8_t* bytes, size_t size);

// The bytes of the file at `path`; `exists` tells whether there was one.
std::string ReadWholeFile(const std::string& path, bool* exists = nullptr);

bool FileExists(const std::string& path);

// Reports `what` on standard error and aborts, which the fuzzer records as a
// crash with this input.
[[noreturn]] void FuzzFailure(const char* what);

#define FUZZ_CHECK(condition)                         \
    do {                                              \
        if (!(condition))                             \
            FuzzFailure("check failed: " #condition); \
    } while (0)
