// The two roads by which reply text reaches the disk. Input: one byte
// choosing the road (even: the UUDecoder wizard, odd: an update file), then
// the clipboard texts, one after another, separated by NULs. Whatever the
// texts, files appear only in the folder the road writes to: downloads/ for
// the wizard, the program folder for an update, and never the program itself.
#include <filesystem>
#include <memory>

#include "core/fileutil.h"
#include "core/localroot.h"
#include "fuzzsupport.h"
#include "mail/msmsg.h"
#include "replies/decode.h"
#include "replies/update.h"

namespace {

void RunWizard(const std::vector<std::string>& parts, TFuzzDesktop& desk)
{
    std::unique_ptr<TfrmDecode> wizard;
    for (const std::string& part : parts) {
        // A wizard that closed is gone; the next text goes to a new one.
        if (!wizard || !wizard->Visible()) {
            wizard = std::make_unique<TfrmDecode>();
            wizard->Show();
        }
        desk.clipboard = part;
        try {
            wizard->btnNextClick();
        } catch (const std::exception&) {
            // The program reports it and carries on; so does the wizard.
        }
        FUZZ_CHECK(!FileExists(DecoderScratchFile()), "the scratch file outlived a step");
    }
}

void RunUpdate(const std::vector<std::string>& parts)
{
    int restarts = 0;
    for (const std::string& part : parts) {
        try {
            ProcessUpdateFile(part, [&] { ++restarts; });
        } catch (const std::exception&) {
        }
        FUZZ_CHECK(!FileExists(DecoderScratchFile()), "the scratch file outlived an update");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    TFuzzDesktop& desk = FuzzDesktop();
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const std::string& program = Sandbox().program;
    std::vector<std::string> parts = SplitInput(input.substr(1), std::string_view("\0", 1));
    if (data[0] & 1) {
        RunUpdate(parts);
        CheckNothingOutside({"program/"}, input);
        FUZZ_CHECK(!FileExists(program + "tolvar"), "an update replaced the program");
    } else {
        RunWizard(parts, desk);
        CheckNothingOutside({"program/downloads/", "program/DebugLog.Txt"}, input);
    }
    ResetProgramFolder({});
    return 0;
}
