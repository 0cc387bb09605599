// Memory for the large per-entry tables. A table of many megabytes that is
// filled at once costs a page fault for every 4 KiB it touches, and on a
// virtual machine each fault costs microseconds: for 65,000 entries the
// faults take longer than the work. Where the system offers large pages on
// request (transparent huge pages on Linux), tables can be backed by them.
#pragma once

#include <cstddef>

// What a table is to favour.
enum TableUse : int {
    // Memory first: small pages, so that the table takes only the memory it
    // fills, as with std::malloc.
    TableMemoryFirst = 0,
    // Speed first: large pages throughout a table of at least one large page,
    // the last one whole however far the table is filled. Filled from its
    // start, it takes at most one large page more than it fills.
    TableSpeedFirst = 1,
};

// Allocates `bytes` for a table that will be used as `use` says, to be freed
// with std::free and grown with std::realloc; null when out of memory. Where
// the system has no large pages, this is std::malloc.
void* AllocateTable(size_t bytes, TableUse use);

// Advises large pages for the whole large pages within the first
// `filledBytes` of `block`, a table that has grown (by std::realloc) and will
// be filled from its start. Nothing happens where the system has no such
// pages.
void AdviseLargePages(void* block, size_t filledBytes);
