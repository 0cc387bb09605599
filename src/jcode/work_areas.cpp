#include "jcode/work_areas.h"

char narrowWork[NarrowWorkSize];
char16_t wideWork[WideWorkSize];
