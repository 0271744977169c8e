#pragma once
#include <map>
#include <string>

// The mail transport's numbered messages: 57000-57014 for the socket layer,
// 57100-57118 for messages, SMTP and decoding, and the sockets error texts
// under their Windows sockets codes. Unknown numbers give "".
std::string MailString(int id);

// Each half of the library keeps its own part of the table.
const std::map<int, std::string>& SocketStringTable();
const std::map<int, std::string>& MessageStringTable();
