#include "platform/fileio_fault.h"

#include <cerrno>

namespace {

struct FaultSeam {
    unsigned operations;
    long failAt;
    int error;
    long count;
    unsigned failedKind;
};

FaultSeam seam;
void (*observer)(FileOperation kind) = nullptr;

}  // namespace

FaultOutcome CheckFault(FileOperation op, int* error) {
    if (observer != nullptr)
        observer(op);
    if ((seam.operations & op) == 0)
        return NoFault;
    ++seam.count;
    if (seam.failAt == 0 || seam.count != seam.failAt)
        return NoFault;
    seam.failedKind = op;
    if (seam.error != ShortTransfer) {
        *error = seam.error;
        return FailNow;
    }
    // Operations that move no bytes cannot end short: they fail with EIO.
    bool transfers = op == FileOpRead || op == FileOpWrite || op == FileOpCopy;
    *error = transfers ? ShortTransfer : EIO;
    return transfers ? TransferPart : FailNow;
}

void ArmFileFault(unsigned operations, long k, int error) {
    seam = FaultSeam{operations, k, error, 0, 0};
}

void DisarmFileFault() {
    seam = FaultSeam{0, 0, 0, 0, 0};
}

long FileFaultCount() {
    return seam.count;
}

unsigned InjectedFaultKind() {
    return seam.failedKind;
}

void ObserveFileOperations(void (*watch)(FileOperation kind)) {
    observer = watch;
}
