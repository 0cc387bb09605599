// The fault seam of the file services, shared by every platform's body: it
// counts the operations of the armed kinds and tells the body which one to
// make fail, and how.
#pragma once

#include "platform/fileio.h"

enum FaultOutcome {
    NoFault,       // carry out the operation
    FailNow,       // fail at once with the error stored
    TransferPart,  // move part of the bytes, then report a short transfer
};

// Tells the observer, if any, of an operation of kind `op`, counts it and
// tells whether it is the one to fail;
// for FailNow and TransferPart stores the error to return in `error`.
FaultOutcome CheckFault(FileOperation op, int* error);
