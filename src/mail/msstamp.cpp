#include "mail/msstamp.h"

#include <atomic>
#include <cctype>
#include <cstdio>
#include <random>

std::string MailDate(std::time_t when)
{
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm t{};
    localtime_r(&when, &t);
    long offset = t.tm_gmtoff / 60;
    char sign = offset < 0 ? '-' : '+';
    if (offset < 0) offset = -offset;
    char text[64];
    std::snprintf(text, sizeof text, "%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld", days[t.tm_wday % 7], t.tm_mday,
                  months[t.tm_mon % 12], t.tm_year + 1900, t.tm_hour, t.tm_min, t.tm_sec, sign, offset / 60,
                  offset % 60);
    return text;
}

std::string NewMessageId(const std::string& senderAddress)
{
    static std::mt19937_64 engine = [] {
        std::random_device device;
        std::seed_seq seed{device(), device(), device(), device()};
        return std::mt19937_64(seed);
    }();
    // The counter keeps two mails of one second apart even if the random
    // numbers ever met.
    static std::atomic<unsigned> counter{0};
    auto at = senderAddress.rfind('@');
    std::string domain;
    // Only what a domain may hold, so no address can bend the header.
    if (at != std::string::npos)
        for (char c : senderAddress.substr(at + 1))
            if (std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '-') domain += c;
    if (domain.empty()) domain = "localhost";
    char text[96];
    std::snprintf(text, sizeof text, "%llx.%x.%016llx", static_cast<unsigned long long>(std::time(nullptr)),
                  counter++, static_cast<unsigned long long>(engine()));
    return "<" + std::string(text) + "@" + domain + ">";
}
