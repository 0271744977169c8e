#pragma once
#include <functional>
#include <string>

// Local date and time as days since 1899-12-30 with the time of day as the
// fraction: the form history times are compared and stored in.
using TDateTime = double;

TDateTime Now();
// Tests drive the clock; an empty function restores the real one.
void SetClockForTests(std::function<TDateTime()> clock);

// The locale's short date ("%x") and long time ("%X").
std::string FormatShortDate(TDateTime when);
std::string FormatLongTime(TDateTime when);
// Short date, a blank, long time: the stamp of log and history lines.
std::string DateTimeToStr(TDateTime when);

TDateTime EncodeDateTime(int year, int month, int day, int hour, int minute, int second);
constexpr double kOneSecond = 1.0 / 86400.0;
