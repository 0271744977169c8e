// Work on hostile input must grow with its size, not with its square: the
// encoded-word decoder on a header of unclosed words, and reading the types
// of a catalogue of many sections as the start does. Prints, for each input
// doubling in size, the best time of five runs and its ratio to the one
// before: about 2 is linear, about 4 quadratic.
//
//   tolvar_hostile_bench

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>

#include "core/profile.h"
#include "mail/msdecoder.h"

namespace {

double BestSeconds(const std::function<void()>& work)
{
    double best = 1e9;
    for (int run = 0; run < 5; ++run) {
        auto start = std::chrono::steady_clock::now();
        work();
        best = std::min(best, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    return best;
}

void Series(const char* name, const std::function<std::string(int)>& input,
            const std::function<void(const std::string&)>& work)
{
    double previous = 0;
    for (int n = 8000; n <= 128000; n *= 2) {
        const std::string text = input(n);
        double seconds = BestSeconds([&] { work(text); });
        std::printf("%-14s %8zu bytes %10.6f s  x%.1f\n", name, text.size(), seconds,
                    previous ? seconds / previous : 0.0);
        previous = seconds;
    }
}

} // namespace

int main()
{
    Series(
        "encoded words",
        [](int n) {
            std::string value;
            for (int i = 0; i < n; ++i)
                value += "=?a?Q?x";
            return value;
        },
        [](const std::string& value) { DecodeEncodedWords(value); });
    Series(
        "catalogue",
        [](int n) {
            std::string text;
            for (int i = 0; i < n / 8; ++i)
                text += "[s" + std::to_string(i) + "@x.example]\r\nType=" + std::to_string(i % 4) + "\r\n";
            return text;
        },
        [](const std::string& text) {
            const TMemIniFile catalogue(text);
            long types = 0;
            for (const auto& section : catalogue.ReadSections())
                types += catalogue.ReadInteger(section, "Type", -1);
            if (types < 0) std::printf("?\n");
        });
    return 0;
}
