// Progress of a long rewrite: where the rewrite moves more than about
// 256 MiB and standard error is a terminal or a console, one line there,
// rewritten in place as bytes are copied (bytes done, total, percent), and
// ended when the rewrite ends. Nothing otherwise; standard output never
// receives it.
#pragma once

#include <cstdint>

// Rewrites that move fewer bytes show nothing.
constexpr uint64_t ProgressLeastTotal = uint64_t{256} << 20;

struct ProgressLine {
    bool active;
    uint64_t total;
    int shownPercent;  // -1 before the first line
};

extern ProgressLine progressLine;

// Starts a rewrite that moves `total` bytes.
void StartProgress(uint64_t total);

void AdvanceProgress(uint64_t done);

// `done` of the total bytes are moved: the line is updated when its percent
// changes. Costs one test where no line is shown.
inline void ShowProgress(uint64_t done) {
    if (progressLine.active) [[unlikely]]
        AdvanceProgress(done);
}

// Ends the line, where one was shown, so that what follows starts a line.
void EndProgress();
