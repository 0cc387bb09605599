// arcpeek: inspects a ZIP archive's directory, shows its names in Shift-JIS,
// and on request stores them anew in Shift-JIS or UTF-8.
#include <string>
#include <vector>

#include "app/run_sequence.h"
#include "platform/console.h"

int main(int argc, char** argv) {
    std::vector<std::string> arguments = ProgramArguments(argc, argv);
    std::vector<char*> pointers;
    for (std::string& argument : arguments)
        pointers.push_back(argument.data());
    pointers.push_back(nullptr);
    RunArcpeek(static_cast<int>(arguments.size()), pointers.data());
}
