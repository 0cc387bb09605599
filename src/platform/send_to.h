// The user's Send-to menu (送る in the context menu of Windows Explorer): its
// entries hand the files selected in Explorer to a program, as arguments.
#pragma once

#include <string>
#include <vector>

struct SendToEntry {
    const char* name;       // as the menu shows it; UTF-8
    const char* arguments;  // given to the program before the selected files
};

// Puts a shortcut for each entry into the user's Send-to folder, replacing
// one of the same name, so that the entry starts `program` with its arguments
// and then the selected files, under `program`'s own icon. Nothing is written
// outside that folder. `folder` receives the folder's path where it is known.
// Returns 0, or the system's error number; where the system has no Send-to
// menu (POSIX), ENOTSUP.
int AddSendToEntries(const std::vector<SendToEntry>& entries, const std::string& program,
                     std::string* folder);

// Removes the shortcuts of these entries from the user's Send-to folder; an
// entry that is not there is no error. Returns as AddSendToEntries does.
int RemoveSendToEntries(const std::vector<SendToEntry>& entries, std::string* folder);
