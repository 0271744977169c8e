#include "fuzzsupport.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "core/localroot.h"

namespace fs = std::filesystem;

void FuzzFail(const std::string& what, std::string_view input)
{
    std::fprintf(stderr, "FUZZ CHECK FAILED: %s\n", what.c_str());
    if (!input.empty()) std::fprintf(stderr, "input (%zu bytes): %.200s\n", input.size(), std::string(input).c_str());
    std::abort();
}

bool FindingFixed(const std::string& name)
{
    const char* fixed = std::getenv("TOLVAR_FUZZ_FIXED");
    if (!fixed) return false;
    std::istringstream words(fixed);
    for (std::string word; words >> word;)
        if (word == name) return true;
    return false;
}

const TSandbox& Sandbox()
{
    // Kept until the very end: the clean-up at exit still needs it.
    static const TSandbox& box = *[] {
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/tolvar-fuzz-XXXXXX";
        if (!::mkdtemp(pattern.data())) FuzzFail("cannot make the sandbox folder");
        auto* b = new TSandbox{pattern, pattern + "/program/", pattern + "/temp"};
        for (const auto& folder : {b->program, b->temp}) fs::create_directories(folder);
        ::setenv("TMPDIR", b->temp.c_str(), 1);
        SetLocalRoot(b->program);
        // The sandbox goes with the process, whichever way the run ends well.
        std::atexit([] {
            std::error_code ec;
            fs::remove_all(Sandbox().top, ec);
        });
        return b;
    }();
    return box;
}

std::vector<std::string> FilesBelow(const std::string& folder)
{
    std::vector<std::string> files;
    std::error_code ec;
    for (fs::recursive_directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec))
        if (!it->is_directory()) files.push_back(fs::relative(it->path(), folder).string());
    return files;
}

void CheckNothingOutside(const std::vector<std::string>& allowedPrefixes, std::string_view input)
{
    for (const std::string& file : FilesBelow(Sandbox().top)) {
        bool allowed = false;
        for (const auto& prefix : allowedPrefixes) allowed = allowed || file.compare(0, prefix.size(), prefix) == 0;
        if (!allowed) FuzzFail("a file was made outside the target folder: " + file, input);
    }
}

void ResetProgramFolder(const std::vector<std::string>& keep)
{
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(Sandbox().program, ec)) {
        std::string name = entry.path().filename().string();
        bool kept = false;
        for (const auto& k : keep) kept = kept || k == name;
        if (!kept) fs::remove_all(entry.path(), ec);
    }
}

std::vector<std::string> SplitInput(std::string_view input, std::string_view separator)
{
    std::vector<std::string> pieces;
    size_t from = 0;
    for (;;) {
        size_t at = input.find(separator, from);
        pieces.emplace_back(input.substr(from, at == std::string_view::npos ? std::string_view::npos : at - from));
        if (at == std::string_view::npos) return pieces;
        from = at + separator.size();
    }
}

TFuzzDesktop& FuzzDesktop()
{
    static TFuzzDesktop& desk = *[] {
        static TFuzzDesktop d;
        SetDesktop(&d);
        return &d;
    }();
    return desk;
}

int TFuzzDesktop::MessageDlg(const TMessageBox& box)
{
    ++boxes;
    for (auto [button, result] : {std::pair{mbYes, mrYes}, std::pair{mbOK, mrOk}, std::pair{mbIgnore, mrIgnore},
                                  std::pair{mbRetry, mrRetry}, std::pair{mbNo, mrNo}})
        if (box.buttons & button) return result;
    return mrCancel;
}
