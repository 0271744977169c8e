#pragma once
#include <regex>
#include <string>

// Every sent mail carries a Date: and a Message-ID: line that differ from
// mail to mail. Tests that compare whole mails compare them without those
// two lines, after checking that the header holds each exactly once and in
// its proper form; a missing, doubled or malformed line is left in its place
// as "!bad Date" or "!bad Message-ID", so the comparison fails and shows it.
inline std::string WithoutStamp(const std::string& mail)
{
    static const std::regex date(
        "Date: (Mon|Tue|Wed|Thu|Fri|Sat|Sun), [0-3][0-9] (Jan|Feb|Mar|Apr|May|Jun|Jul|Aug|Sep|Oct|Nov|Dec) "
        "[0-9]{4} [0-2][0-9]:[0-5][0-9]:[0-6][0-9] [-+][0-9]{4}\r\n");
    static const std::regex id("Message-ID: <[0-9a-f]+\\.[0-9a-f]+\\.[0-9a-f]{16}@[A-Za-z0-9.-]+>\r\n");
    size_t end = mail.find("\r\n\r\n");
    // A leading line break lets the first header be found like the others.
    std::string head = "\n" + mail.substr(0, end == std::string::npos ? mail.size() : end + 2);
    std::string rest = end == std::string::npos ? std::string() : mail.substr(end + 2);
    for (const auto& [pattern, name] : {std::pair{&date, "Date"}, std::pair{&id, "Message-ID"}}) {
        std::string start = "\n" + std::string(name) + ": ";
        size_t at = head.find(start);
        bool once = at != std::string::npos && head.find(start, at + 1) == std::string::npos;
        std::smatch m;
        std::string from = once ? head.substr(at + 1) : std::string();
        if (once && std::regex_search(from, m, *pattern, std::regex_constants::match_continuous))
            head.erase(at + 1, static_cast<size_t>(m.length(0)));
        else
            head += "!bad " + std::string(name) + "\r\n";
    }
    head.erase(0, 1);
    return head + rest;
}
