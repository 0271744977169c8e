#include "mail/mailstrings.h"

const std::map<int, std::string>& SocketStringTable()
{
    static const std::map<int, std::string> table = {
    };
    return table;
}
