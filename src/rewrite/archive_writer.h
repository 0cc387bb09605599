// Writes the new archive into the temporary file: the local sections, read
// from the archive in one sequential pass and copied with their new names,
// then the central directory and the end record from the plan.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/fileio.h"
#include "rewrite/rewrite_plan.h"

// `archive` is open for reading at its start, `temp` is empty. Returns 0 or
// the code of the failed step (43-62, 67-69, 72, 75); errorDetail receives the
// system's error number where a transfer failed, 0 otherwise. Fills the
// flags, localHeaderOffset, localExtraLength and dataLength of every entry of
// the plan, and its directoryOffset, endRecordOffset and endRecord, and
// with -r its zip64EndOffset and zip64Records where ZIP64 end records are
// written (more than 65,535 entries, or a directory offset or size beyond
// 32 bits).
// Size of each of the writer's two transfer buffers.
constexpr size_t TransferBufferSize = size_t{256} << 10;

int WriteNewArchive(RewritePlan* plan, FileHandle archive, FileHandle temp, int* errorDetail);

// Room for the longest 0x0001 field the writer stores: its 4-byte head, two
// sizes and an offset of 8 bytes, a disk number of 4.
constexpr size_t NewZip64FieldRoom = 4 + 3 * 8 + 4;

// The central 0x0001 field that the new archive holds for `entry`, written
// afresh: the sizes that the entry's header marks with 0xFFFFFFFF, its local
// header offset where that lies beyond largestPlainOffset, its disk number
// where marked with 0xFFFF, each only then. Stores the field into `bytes`
// (NewZip64FieldRoom) and returns its length, 0 when the entry needs none.
size_t StoreNewZip64Field(const CentralRecord& record, const EntryPlan& entry, uint8_t* bytes);

// The length of the entry's new central extra field: its 0x0001 field, then
// the planned rest.
size_t NewCentralExtraLength(const CentralRecord& record, const EntryPlan& entry);

// The version needed to extract that the new central header holds: at
// least 45 where it has a 0x0001 field of `zip64FieldLength` bytes, else as read.
uint16_t NewNeededVersion(const CentralRecord& record, size_t zip64FieldLength);

// The lengths that a data descriptor the writer copies may have: 12 bytes
// (CRC-32 and two 4-byte sizes), 16 with its signature in front, and with -r
// also 20 and 24 (two 8-byte sizes, ZIP64).
bool IsCopiedDescriptorLength(uint64_t length);

// How a 64-bit offset or size stands in a 32-bit field: as it is, or
// 0xFFFFFFFF beyond largestPlainOffset.
uint32_t StoredOffset(uint64_t offset);

// The 46 bytes of the central header that the new archive holds for `entry`,
// whose 0x0001 field is `zip64FieldLength` bytes long.
void StoreNewCentralHeader(const CentralRecord& record, const EntryPlan& entry,
                           size_t zip64FieldLength, uint8_t* bytes);

// The writer's input buffer, TransferBufferSize bytes, idle once the new
// archive is written: the read-back reads through it, on pages the rewrite
// has already touched.
uint8_t* IdleInputBuffer();
