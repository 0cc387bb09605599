// arcpeek: inspects a ZIP archive's directory, shows its names in Shift-JIS,
// and on request stores them anew in Shift-JIS or UTF-8.
#include "app/run_sequence.h"

int main(int argc, char** argv) {
    RunArcpeek(argc, argv);
}
