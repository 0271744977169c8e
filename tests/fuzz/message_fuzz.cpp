// The message reader on any mail text: headers, UU blocks, MIME parts and
// their codecs. Whatever the text, the reader either fills the message or
// raises one of its own errors; the attachments it finds save into the
// folder they are given and nowhere else.
#include <filesystem>
#include <sstream>

#include "fuzzsupport.h"
#include "mail/msdecoder.h"
#include "mail/msmsg.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    static const std::string target = Sandbox().program + "out";
    TmsMessage message;
    std::istringstream stream{std::string(input)};
    try {
        message.LoadFromStream(stream);
    } catch (const Exception&) {
        // Header failures reach the caller by design.
    }

    size_t decoded = 0;
    for (int i = 0; i < message.Attachments().Count(); ++i) {
        const TmsAttItem& item = message.Attachments().Items(i);
        decoded += item.Data().size();
        FUZZ_CHECK(item.FileName().find_first_of("/\\") == std::string::npos, "an attachment name holds a folder");
    }
    // A few bytes of UU can stand for many: what decoding may produce is
    // bounded like the text it reads.
    if (FindingFixed("uu-cap")) FUZZ_CHECK(decoded <= kMaxMessageSize, "decoded output beyond the message size limit");

    // Saving what came out, with the names the mail gave, stays in the folder.
    if (message.Attachments().Count() == 0) return 0;
    std::filesystem::create_directories(target);
    for (int i = 0; i < message.Attachments().Count(); ++i) {
        try {
            message.SaveAttachment(i, target);
        } catch (const Exception&) {
        }
    }
    CheckNothingOutside({"program/out/"}, input);
    ResetProgramFolder({});
    return 0;
}
