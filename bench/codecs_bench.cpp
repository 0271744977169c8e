// Encoding throughput of the mail codecs on a random and a text-like sample.
//
//   tolvar_codecs_bench DIR
//
// Writes the samples to DIR/random.bin and DIR/text.bin when they are not
// there yet (the Python peer reads the same files), then prints one line per
// codec and sample: "ours <codec> <sample> <bytes> <best seconds>".

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>

#include "mail/base64.h"
#include "mail/qpcode.h"
#include "mail/uucode.h"

namespace {

constexpr size_t kSampleBytes = 4 << 20;
constexpr int kRuns = 7;

std::string RandomSample()
{
    std::mt19937_64 engine(20240601);
    std::string s(kSampleBytes, '\0');
    for (size_t i = 0; i < s.size(); i += 8) {
        uint64_t v = engine();
        for (size_t k = 0; k < 8 && i + k < s.size(); ++k) s[i + k] = static_cast<char>(v >> (8 * k));
    }
    return s;
}

// Mail-like prose: words, punctuation, CR LF line ends at 40 to 100
// characters, now and then an "=" or an accented Latin-1 letter.
std::string TextSample()
{
    static const char* words[] = {"the",   "request", "server", "mail",  "page",   "file",  "reply", "of",
                                  "and",   "to",      "a",      "with",  "URL",    "send",  "part",  "split",
                                  "chunk", "decoded", "binary", "text",  "robot",  "fetch", "in",    "is"};
    std::mt19937 engine(7);
    std::string s;
    s.reserve(kSampleBytes + 128);
    size_t lineStart = 0;
    size_t lineWidth = 40 + engine() % 61;
    while (s.size() < kSampleBytes) {
        unsigned r = engine() % 100;
        if (r == 0) s += "caf\xe9";
        else if (r == 1) s += "a=b";
        else s += words[engine() % std::size(words)];
        s += (r % 17 == 3) ? ", " : (r % 23 == 5) ? ". " : " ";
        if (s.size() - lineStart >= lineWidth) {
            s.pop_back();
            s += "\r\n";
            lineStart = s.size();
            lineWidth = 40 + engine() % 61;
        }
    }
    s.resize(kSampleBytes);
    return s;
}

std::string Sample(const std::string& path, std::string (*make)())
{
    std::ifstream in(path, std::ios::binary);
    if (in) {
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    std::string data = make();
    std::ofstream(path, std::ios::binary).write(data.data(), static_cast<std::streamsize>(data.size()));
    return data;
}

double BestSeconds(const std::function<size_t()>& run)
{
    double best = 1e9;
    size_t sink = 0;
    for (int i = 0; i < kRuns; ++i) {
        auto start = std::chrono::steady_clock::now();
        sink += run();
        std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    if (sink == 0) std::fprintf(stderr, "nothing was encoded\n");
    return best;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s DIR\n", argv[0]);
        return 2;
    }
    std::string dir = argv[1];
    struct {
        const char* name;
        std::string data;
    } samples[] = {{"random", Sample(dir + "/random.bin", RandomSample)},
                   {"text", Sample(dir + "/text.bin", TextSample)}};
    struct {
        const char* name;
        void (*encode)(std::string_view, std::string&);
    } codecs[] = {{"base64", Base64EncodeLines}, {"qp", QPEncode}, {"uu", UUEncodeLines}};
    for (const auto& codec : codecs) {
        for (const auto& sample : samples) {
            double seconds = BestSeconds([&] {
                std::string out;
                codec.encode(sample.data, out);
                return out.size();
            });
            std::printf("ours %s %s %zu %.6f\n", codec.name, sample.name, sample.data.size(), seconds);
        }
    }
    return 0;
}
