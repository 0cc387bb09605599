// Windows helpers shared by the reader's and the rewrite's file services:
// what counts as a regular file, and the identity of an open file.
#pragma once

#include <windows.h>

#include "platform/file.h"

// errno for a file with these attributes that is no regular file (EISDIR for
// a folder); 0 otherwise. A device is told by the type of its open handle.
int NotRegularError(DWORD attributes);

// True when the open handle is a file on a disk: not a device, pipe or console.
bool IsDiskFile(HANDLE handle);

// The identity of the open file (volume serial number, file index, size,
// last-write time in 100-nanosecond ticks); `known` false when the system
// gave none.
FileIdentity IdentityOfHandle(HANDLE handle, bool* known);
