#include <cerrno>

#include "platform/send_to.h"

// Desktops on POSIX systems have no Send-to menu.
int AddSendToEntries(const std::vector<SendToEntry>&, const std::string&, std::string* folder) {
    folder->clear();
    return ENOTSUP;
}

int RemoveSendToEntries(const std::vector<SendToEntry>&, std::string* folder) {
    folder->clear();
    return ENOTSUP;
}
