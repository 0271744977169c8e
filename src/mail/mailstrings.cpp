#include "mail/mailstrings.h"

std::string MailString(int id)
{
    for (const auto* table : {&SocketStringTable(), &MessageStringTable()}) {
        auto it = table->find(id);
        if (it != table->end()) return it->second;
    }
    return {};
}
