// Re-encoding rewrite: stores the archive anew with every name and comment in
// the target encoding, through a temporary file that replaces the archive
// only when it is complete.
#pragma once

// Rewrites the archive named by context.archivePath. Expects context.order
// sorted by localHeaderOffset. Returns 0 or a ResultCode; errorDetail receives
// the system error of the failed step.
int RewriteArchiveNames(int entryCount, int* errorDetail);

// Rewrites the end record and the archive comment of the file at `path`, a
// byte copy of the archive. Returns 0 or 31 to 35.
int RewriteEndRecord(const char* path, int* errorDetail);
