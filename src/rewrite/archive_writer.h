// Writes the new archive into the temporary file: the local sections, read
// from the archive in one sequential pass and copied with their new names,
// then the central directory and the end record from the plan.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/fileio.h"
#include "rewrite/rewrite_plan.h"

// `archive` is open for reading at its start, `temp` is empty. Returns 0 or
// the code of the failed step (43-62, 67-69, 75); errorDetail receives the
// system's error number where a transfer failed, 0 otherwise. Fills the
// flags, localHeaderOffset, localExtraLength and dataLength of every entry of
// the plan, and its directoryOffset, endRecordOffset and endRecord.
// Size of each of the writer's two transfer buffers.
constexpr size_t TransferBufferSize = size_t{256} << 10;

int WriteNewArchive(RewritePlan* plan, FileHandle archive, FileHandle temp, int* errorDetail);

// The 46 bytes of the central header that the new archive holds for `entry`.
void StoreNewCentralHeader(const EntryPlan& entry, uint8_t* bytes);

// The writer's input buffer, TransferBufferSize bytes, idle once the new
// archive is written: the read-back reads through it, on pages the rewrite
// has already touched.
uint8_t* IdleInputBuffer();
