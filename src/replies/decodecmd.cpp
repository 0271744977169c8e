// tolvar decode: saved replies decoded from the command line, no display.
#include <cstdio>
#include <iostream>

#include "core/localroot.h"
#include "replies/decode.h"
#include "replies/savedmail.h"

namespace {

constexpr const char* kUsage = "Usage: tolvar decode [-o DIR] FILE|FOLDER...\n"
                               "Decodes the UUencoded and MIME files in saved mails (mbox, Maildir, .eml, text)\n"
                               "into DIR (default: the downloads folder beside the program).\n";

int Usage(const std::string& problem)
{
    std::cerr << "tolvar decode: " << problem << "\n" << kUsage;
    return 2;
}

} // namespace

int RunDecodeCommand(const std::vector<std::string>& args)
{
    std::string folder;
    std::vector<std::string> inputs;
    bool options = true;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (options && a == "--") {
            options = false;
        } else if (options && (a == "-h" || a == "--help")) {
            std::cout << kUsage;
            return 0;
        } else if (options && a == "-o") {
            if (i + 1 >= args.size() || args[i + 1].empty()) return Usage("-o needs a folder");
            folder = args[++i];
        } else if (options && a.size() > 1 && a[0] == '-') {
            return Usage("unknown option " + a);
        } else {
            inputs.push_back(a);
        }
    }
    if (inputs.empty()) return Usage("no file or folder given");
    if (folder.empty()) folder = DownloadsFolder();

    TSavedMailDecoder decoder(folder);
    for (const std::string& input : inputs) decoder.AddPath(input);
    std::vector<TDecodedFile> results = decoder.Finish();
    bool allComplete = !results.empty();
    for (const TDecodedFile& result : results) {
        std::cout << DescribeResult(result) << "\n";
        allComplete = allComplete && result.status == TUUStatus::Complete;
    }
    if (results.empty()) std::cout << "No encoded file found\n";
    std::cout.flush();
    return allComplete ? 0 : 1;
}
