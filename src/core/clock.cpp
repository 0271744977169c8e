#include "core/clock.h"

#include <cmath>
#include <ctime>
#include <sys/time.h>

namespace {
std::function<TDateTime()> gClock;

// Days from 1899-12-30 to 1970-01-01.
constexpr double kUnixEpochDays = 25569.0;

std::tm ToTm(TDateTime when)
{
    // Round to the nearest millisecond first so that 23:59:59.9996 does not
    // print as a second too early.
    double ms = std::round((when - kUnixEpochDays) * 86400000.0);
    auto secs = static_cast<time_t>(std::floor(ms / 1000.0));
    std::tm tm{};
    gmtime_r(&secs, &tm);
    return tm;
}

std::string Format(TDateTime when, const char* fmt)
{
    std::tm tm = ToTm(when);
    char buf[128];
    size_t n = std::strftime(buf, sizeof buf, fmt, &tm);
    return std::string(buf, n);
}
} // namespace

TDateTime Now()
{
    if (gClock) return gClock();
    timeval tv{};
    gettimeofday(&tv, nullptr);
    std::tm local{};
    time_t secs = tv.tv_sec;
    localtime_r(&secs, &local);
    double localSecs = static_cast<double>(secs + local.tm_gmtoff) + tv.tv_usec / 1e6;
    return kUnixEpochDays + localSecs / 86400.0;
}

void SetClockForTests(std::function<TDateTime()> clock) { gClock = std::move(clock); }

std::string FormatShortDate(TDateTime when) { return Format(when, "%x"); }
std::string FormatLongTime(TDateTime when) { return Format(when, "%X"); }
std::string DateTimeToStr(TDateTime when) { return FormatShortDate(when) + " " + FormatLongTime(when); }

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_sec = second;
    time_t secs = timegm(&tm);
    return kUnixEpochDays + static_cast<double>(secs) / 86400.0;
}
