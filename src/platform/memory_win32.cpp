#include <cstdlib>

#include "platform/memory.h"

// Windows gives large pages only to processes that hold the "Lock pages in
// memory" privilege (SeLockMemoryPrivilege), which ordinary users lack, and
// such memory cannot be freed with free. Tables take ordinary pages.
void* AllocateTable(size_t bytes, TableUse use) {
    (void)use;
    return std::malloc(bytes);
}

void AdviseLargePages(void* block, size_t filledBytes) {
    (void)block;
    (void)filledBytes;
}
