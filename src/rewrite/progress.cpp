#include "rewrite/progress.h"

#include <algorithm>
#include <cstdio>

#include "platform/console.h"

ProgressLine progressLine{};

void StartProgress(uint64_t total) {
    progressLine = ProgressLine{};
    progressLine.shownPercent = -1;
    progressLine.total = total;
    progressLine.active = total > ProgressLeastTotal && ErrorOutputIsInteractive();
}

void AdvanceProgress(uint64_t done) {
    done = std::min(done, progressLine.total);
    const int percent = static_cast<int>(done * 100 / progressLine.total);
    if (percent == progressLine.shownPercent)
        return;
    progressLine.shownPercent = percent;
    char line[96];
    const int length = std::snprintf(line, sizeof line, "\r%llu / %llu bytes (%d%%)",
                                     static_cast<unsigned long long>(done),
                                     static_cast<unsigned long long>(progressLine.total), percent);
    if (length > 0)
        ErrorWrite(std::string_view(line, std::min<size_t>(length, sizeof line - 1)));
}

void EndProgress() {
    if (progressLine.active && progressLine.shownPercent >= 0)
        ErrorWrite("\n");
    progressLine = ProgressLine{};
}
