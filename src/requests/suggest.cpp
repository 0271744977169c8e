#include "requests/suggest.h"

#include "core/deblog.h"
#include "core/localroot.h"
#include "core/profile.h"
#include "ui/desktop.h"

namespace {
// Puts the tray icon back however the questions end.
class TTrayAway {
public:
    TTrayAway(const TTrayToggle& tray, bool away) : tray_(away ? tray : TTrayToggle())
    {
        if (tray_) tray_(false);
    }
    ~TTrayAway()
    {
        if (tray_) tray_(true);
    }
    TTrayAway(const TTrayAway&) = delete;
    TTrayAway& operator=(const TTrayAway&) = delete;

private:
    TTrayToggle tray_;
};
} // namespace

std::string OfferSuggestion(const std::string& configured, const std::string& suggested, const std::string& label,
                            TForm& window, bool& accepted)
{
    if (configured == suggested) return configured;
    std::string text = "The " + label + " is set to " + configured + " but we believe " + suggested +
                       " is better right now.\r\n\nPress Yes to accept this change. Press No to continue using " +
                       configured;
    if (TopMessageBox(text, TMsgDlgType::mtInformation, mbYes | mbNo, window, 0) != mrYes) return configured;
    accepted = true;
    return suggested;
}

void ChooseServersAtStart(const TServerLists& lists, TForm& window, const TTrayToggle& tray)
{
    TIniFile settings(SettingsIniPath());
    TIniFile suggestions(LocalRoot() + "Suggest.Ini");
    bool used = suggestions.ReadBool("Servers", "Used", false);
    bool accepted = false;
    {
        TTrayAway trayAway(tray, !used);
        struct Choice {
            const char* key;
            const char* label;
            TComboBox& list;
            void (*cache)(const TComboBox&);
        } choices[] = {
            {"FTP", "Ftp Server", lists.ftp, nullptr},
            {"HTTPBinary", "Http Binary Server", lists.binary, CacheBinaryServer},
            {"HTTPPages", "Http Page Server", lists.pages, CachePageServer},
        };
        for (auto& c : choices) {
            std::string suggested = suggestions.ReadString("Servers", c.key, c.list.Text());
            std::string configured = settings.ReadString("Servers", c.key, suggested);
            if (!used) configured = OfferSuggestion(configured, suggested, c.label, window, accepted);
            SelectServerByName(c.list, configured);
            if (c.cache) c.cache(c.list);
        }
        try {
            suggestions.WriteBool("Servers", "Used", true);
        } catch (const std::exception& e) {
            // A program folder the user may not write to: the suggestions
            // will be offered again next time, which is no reason to stop.
            LogDebug(std::string("Suggest.Ini not marked used: ") + e.what());
        }
    }
    if (accepted) {
        settings.WriteString("Servers", "FTP", lists.ftp.Text());
        settings.WriteString("Servers", "HTTPBinary", lists.binary.Text());
        settings.WriteString("Servers", "HTTPPages", lists.pages.Text());
    }
}
