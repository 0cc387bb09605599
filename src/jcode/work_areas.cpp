#include "jcode/work_areas.h"

char narrowWork[LongWorkSize];
char16_t wideWork[LongWorkSize];
bool longTextsAllowed = false;

void AllowLongTexts(bool allow) {
    longTextsAllowed = allow;
}
