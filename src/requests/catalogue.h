#pragma once
#include <functional>
#include <string>

#include "ui/controls.h"

// The server catalogue, LocalRoot() + "uservers.dat": one section per ByMail
// robot, named by its mail address, holding its command words, template file
// names and options. The three server lists of the " Servers " page are
// filled from it once per run.

struct TServerLists {
    TComboBox& ftp;
    TComboBox& binary;
    TComboBox& pages;
};

// Takes the tray icon away (false) and puts it back (true) around the
// questions of the start; empty while there is no tray icon.
using TTrayToggle = std::function<void(bool active)>;

std::string CatalogueFileName();

// A key of a server's section as a string, "" when missing. The catalogue is
// read anew for every key (the start reads the types in one pass).
std::string ReadServerKey(const std::string& server, const std::string& key);

// The start-up step: fills the lists from the catalogue in file order, reads
// the distribution tag, chooses the servers (asking about new suggestions,
// window being the one the questions stand for) and logs "Loaded Server File".
// A missing catalogue raises EInOutError "File not found" before any list
// is touched.
void LoadServerCatalogue(const TServerLists& lists, TForm& window, const TTrayToggle& tray = {});

// Selects the last line equal to name (case counts); with none, the first line.
void SelectServerByName(TComboBox& list, const std::string& name);

// The selected page server's verb and template into the caches.
void CachePageServer(const TComboBox& pages);
// The selected binary server's verb, and its template for the binary format.
void CacheBinaryServer(const TComboBox& binary);
