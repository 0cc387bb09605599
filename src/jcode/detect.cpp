#include "jcode/detect.h"

// Placeholder until the detector lands: every non-ASCII text reads as Shift-JIS.
int DetectEncoding(const uint8_t*, int32_t, int) {
    return ShiftJisText;
}
