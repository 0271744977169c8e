// From clipboard text to the request mail as it goes after DATA, through
// the server catalogue. Input: one byte of preferences (bits 0-1 the binary
// format, bit 2 split files, bit 3 a catalogue of the input's own), then the
// clipboard text; with bit 3 the catalogue comes first, ended by a NUL.
// A written request never holds a bare CR or LF, nor a line of a lone ".".
#include <filesystem>
#include <sstream>

#include "core/fileutil.h"
#include "core/localroot.h"
#include "fuzzsupport.h"
#include "intake/capture.h"
#include "mail/mssmtp.h"
#include "mail/msmsg.h"
#include "requests/catalogue.h"
#include "requests/compose.h"
#include "requests/prefs.h"

namespace fs = std::filesystem;

namespace {

// The shipped data files, copied once into the program folder.
const std::string& ShippedCatalogue()
{
    static const std::string text = [] {
        const std::string& folder = Sandbox().program;
        for (const auto& entry : fs::directory_iterator(TOLVAR_DATA_DIR))
            if (entry.is_regular_file()) fs::copy_file(entry.path(), folder + entry.path().filename().string());
        ::setenv("XDG_CONFIG_HOME", (Sandbox().top + "/config").c_str(), 1);
        return ReadFileString(folder + "uservers.dat");
    }();
    return text;
}

void CheckRequestText(const std::string& text, std::string_view input)
{
    size_t lineStart = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' && (i + 1 == text.size() || text[i + 1] != '\n')) FuzzFail("a bare CR in the request", input);
        if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) FuzzFail("a bare LF in the request", input);
        if (text[i] == '\n') {
            if (text.compare(lineStart, i - 1 - lineStart, ".") == 0) FuzzFail("a lone \".\" line", input);
            lineStart = i + 1;
        }
    }
    if (lineStart != text.size()) FuzzFail("the request does not end with CR LF", input);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0) return 0;
    FuzzDesktop();
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    const unsigned options = data[0];
    std::string_view rest = input.substr(1);

    std::string catalogue = ShippedCatalogue();
    if (options & 8) {
        size_t nul = rest.find('\0');
        catalogue = std::string(rest.substr(0, nul));
        rest = nul == std::string_view::npos ? std::string_view() : rest.substr(nul + 1);
    }
    // The clipboard text as capture cleans it.
    const std::string clip = CleanEdges(std::string(rest));
    WriteFileString(CatalogueFileName(), catalogue);
    DeleteFile(LocalRoot() + "DebugLog.Txt");
    DeleteFile(Sandbox().top + "/config/tolvar/TOLVAR.INI");
    Prefs() = TPrefs();
    Prefs().binaryFormat = std::min(options & 3, 2u);
    Prefs().splitFiles = options & 4;

    TForm window("frmProps");
    TComboBox ftp, binary, pages;
    try {
        LoadServerCatalogue({ftp, binary, pages}, window);
    } catch (const Exception&) {
        return 0;
    }

    if (clip.size() > TCapture::kMaxClipboardUrl || !IsSupportedUrl(clip)) return 0;
    const std::string url = NormaliseUrl(WithPathSlash(clip));
    FUZZ_CHECK(IsSupportedUrl(url) && url.size() <= clip.size() + 1, "cleaning made an unsupported or longer URL");

    TRequestSource source{pages.Text(), binary.Text(), ftp.Text(), "me@example.org", "127.0.0.1:25", ""};
    TmsMessage message;
    TmsSMTP smtp;
    try {
        if (!PrepareRequest(url, source, message, smtp)) return 0;
        std::ostringstream out;
        message.SaveToStream(out);
        CheckRequestText(out.str(), input);
    } catch (const Exception&) {
        // A missing template or a robot without an address is reported, not sent.
    }
    return 0;
}
