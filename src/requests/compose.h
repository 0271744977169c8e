#pragma once
#include <string>

class TmsMessage;
class TagSocket;

// What composition reads from the main window: the three chosen servers (the
// texts of the " Servers " lists), the user's address and SMTP server, and
// the newest history line for the fast-duplicate test.
struct TRequestSource {
    std::string pagesServer;
    std::string binaryServer;
    std::string ftpServer;
    std::string email;
    std::string smtpServer;
    std::string newestHistoryLine;
};

// Turns a URL into the request mail for the right robot in message, and
// points smtp at the user's server. False when there is nothing to send: a
// blank, carriage return or line feed in the URL, the same URL as the newest
// history line within 3 seconds ("Fast Duplicate Discarded"), or a scheme no
// robot takes.
bool PrepareRequest(const std::string& url, const TRequestSource& source, TmsMessage& message, TagSocket& smtp);
// Recipient, subject and body for the URL; false for an unknown scheme.
bool ComposeRequestMail(const std::string& url, const TRequestSource& source, TmsMessage& message);
// True when an http, https, gopher or news URL names a file that is not fetched as
// a page (its extension is not in nbinary.ext or unbinary.txt).
bool IsBinaryUrl(const std::string& url);
// The body of an FTP request: open, binary, format, split, [cd,] get or ls, quit.
std::string FtpRequestBody(const std::string& url, const std::string& ftpServer);
