#pragma once
#include <string>

#include "requests/catalogue.h"

// Server suggestions, LocalRoot() + "Suggest.Ini" [Servers]: the servers the
// makers recommend now. A start applies a fresh file once, asking where the
// user chose otherwise, then marks it "Used".

// Chooses the selected server of each list (FTP, binary, pages) from
// TOLVAR.INI and the suggestions, and caches the binary and page servers.
void ChooseServersAtStart(const TServerLists& lists, TForm& window, const TTrayToggle& tray = {});

// The configured name, or the suggested one when they differ and the user
// says Yes to switching (accepted is then set).
std::string OfferSuggestion(const std::string& configured, const std::string& suggested, const std::string& label,
                            TForm& window, bool& accepted);
