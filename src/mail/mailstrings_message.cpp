#include "mail/mailstrings.h"

const std::map<int, std::string>& MessageStringTable()
{
    static const std::map<int, std::string> table = {
        {57100, "The address of sender is required"},
        {57101, "At least one Recipient, CC or BCC must be entered"},
        {57102, "MailMessage property must be assigned"},
        {57106, "This is a multipart message in MIME format"},
        {57107, "Unable to retrieve headers"},
        {57108, "Missing required field: Content-Type"},
        {57109, "Cannot find closing boundary"},
        {57110, "Cannot find boundary"},
        {57111, "Error decoding the attachment"},
    };
    return table;
}
