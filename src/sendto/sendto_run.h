// arcpeek-sendto, the program behind the Send-to entries: it hands each
// archive it is given to arcpeek, one run each, and sums the runs up; and it
// puts the entries into the user's Send-to menu and takes them out again.
#pragma once

#include <string>
#include <vector>

// The exit codes of arcpeek-sendto.
enum SendToExit : int {
    SendToAllDone = 0,     // every run succeeded; the menu was changed
    SendToSomeFailed = 1,  // some run failed, or the menu could not be changed
    SendToBadUsage = 2,    // no mode, an unknown one, or no archive
};

// Runs on the command-line arguments (the program's name first):
//   --list | --sjis | --utf8 ARCHIVE...   runs arcpeek on each archive
//   --install | --remove                  changes the Send-to menu
// Writes what it does to the console; returns a SendToExit.
int RunSendTo(const std::vector<std::string>& arguments);
