// The bytes are an archive: the whole read, then both reports (the console
// listing with its detail block into a memory sink, and the list file).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "archive/context.h"
#include "archive/reader.h"
#include "fuzz_support.h"
#include "platform/console.h"
#include "report/report.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string archive = ScratchFolder() + "/a.zip";
    static const std::string list = ScratchFolder() + "/list.csv";
    WriteWholeFile(archive, data, size);

    ResetArchiveContext();
    context.relaxedVersions = 1;  // the strict versions only refuse more
    int entryCount = -1;
    int errorDetail = 0;
    int r = ReadArchiveDirectory(archive.c_str(), &entryCount, &errorDetail);
    if (r == 0) {
        FUZZ_CHECK(entryCount > 0);
        // Every held text is terminated within its length and its buffer.
        FUZZ_CHECK(std::memchr(context.commentBuffer, 0, CommentBufferSize) != nullptr);
        for (int i = 0; i < entryCount; ++i) {
            const CentralRecord& record = context.records[i];
            FUZZ_CHECK(context.entries[i].nameLength == record.nameLength);
            FUZZ_CHECK(record.nameLength < EntryNameCapacity);
            FUZZ_CHECK(std::memchr(record.name, 0, record.nameLength + 1u) != nullptr);
            if (record.comment)
                FUZZ_CHECK(std::memchr(record.comment, 0, record.commentLength + 1u) != nullptr);
        }
        std::string sink;
        RedirectConsoleOutput(&sink);
        context.showDetails = 1;
        PrintReport(entryCount);
        RedirectConsoleOutput(nullptr);
        FUZZ_CHECK(!sink.empty());

        context.archivePath = archive;
        context.listPath = list;
        FUZZ_CHECK(WriteListFile(entryCount, &errorDetail) == 0);
    }
    ResetArchiveContext();
    return 0;
}
