#pragma once
#include <ctime>
#include <string>

// The two header values every sent mail carries, since large providers
// refuse or junk mail without them.

// when as an RFC 5322 date in local time with its offset:
// "Tue, 08 Dec 2026 07:03:17 +0100". Day and month names are English
// whatever the locale.
std::string MailDate(std::time_t when);
// A new unique "<...@domain>" identifier; the domain is the part of the
// sender's address after its last "@" ("localhost" when it has none).
std::string NewMessageId(const std::string& senderAddress);
