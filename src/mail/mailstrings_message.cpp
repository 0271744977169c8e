#include "mail/mailstrings.h"

const std::map<int, std::string>& MessageStringTable()
{
    static const std::map<int, std::string> table = {
    };
    return table;
}
