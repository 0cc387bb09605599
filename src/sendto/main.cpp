// arcpeek-sendto: runs arcpeek on every archive handed over by a Send-to
// entry, and installs or removes those entries.
#include <string>
#include <vector>

#include "app/messages.h"
#include "platform/console.h"
#include "sendto/sendto_run.h"

int main(int argc, char** argv) {
    SelectJapaneseLocale();
    int code = RunSendTo(ProgramArguments(argc, argv));
    HoldOwnConsoleWindow(CloseWindowPrompt);
    EndProcess(code);
}
