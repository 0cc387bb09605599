// The bytes are an archive: the whole read, then both reports (the console
// listing with its detail block into a memory sink, and the list file), once
// without -r and once with it (archives of any size, ZIP64 records, long
// texts).
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include "archive/context.h"
#include "archive/reader.h"
#include "archive/zip64_values.h"
#include "fuzz_support.h"
#include "platform/console.h"
#include "report/report.h"

namespace {

// Every held text is terminated within its length and its buffer; without
// -r a converted name fits its field.
void CheckHeldTexts(int entryCount, int relaxed) {
    FUZZ_CHECK(entryCount > 0);
    FUZZ_CHECK(std::memchr(context.commentBuffer, 0, CommentBufferSize) != nullptr);
    for (int i = 0; i < entryCount; ++i) {
        const CentralRecord& record = context.records[i];
        FUZZ_CHECK(relaxed || record.nameLength < EntryNameCapacity);
        FUZZ_CHECK(relaxed || !record.hasZip64Values);
        FUZZ_CHECK(std::memchr(record.name, 0, record.nameLength + 1u) != nullptr);
        if (const char* comment = CommentOf(&record))
            FUZZ_CHECK(std::memchr(comment, 0, record.commentLength + 1u) != nullptr);
        if (record.hasZip64Values) {
            Zip64Values values{};
            FUZZ_CHECK(ReadZip64Values(record, reinterpret_cast<const uint8_t*>(ExtraOf(&record)),
                                       record.extraLength, &values));
        }
    }
}

void ReadAndReport(const std::string& archive, const std::string& list, int relaxed) {
    ResetArchiveContext();
    context.relaxedVersions = relaxed;
    int entryCount = -1;
    int errorDetail = 0;
    int r = ReadArchiveDirectory(archive.c_str(), &entryCount, &errorDetail);
    if (r == 0) {
        CheckHeldTexts(entryCount, relaxed);
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
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string archive = ScratchFolder() + "/a.zip";
    static const std::string list = ScratchFolder() + "/list.csv";
    WriteWholeFile(archive, data, size);
    ReadAndReport(archive, list, 0);
    ReadAndReport(archive, list, 1);
    return 0;
}
