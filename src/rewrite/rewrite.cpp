#include "rewrite/rewrite.h"

// Placeholder until the rewrite lands.
int RewriteArchiveNames(int, int*) {
    return 0;
}
int RewriteEndRecord(const char*, int*) {
    return 0;
}
