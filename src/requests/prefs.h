#pragma once
#include <string>

#include "core/clock.h"

// The process-wide values that mirror the settings and the chosen servers.
// The main window keeps them; the request composer, the tips and the tray
// read them without reaching into the window.
struct TPrefs {
    // Return format asked of servers for binary files: 0 UUencoded, 1 MIME, 2 Btoa.
    int binaryFormat = 1;
    // Kilobytes per part when binary files are split.
    int chunkSize = 60;
    // Ask servers to split binary files into chunks of chunkSize.
    bool splitFiles = false;

    int tipNumber = 0;
    bool tipsEnabled = true;
    // True while "Enabled" is set to No.
    bool enabledOff = false;

    // Caches of the selected page and binary servers' catalogue entries.
    std::string pageVerb;         // "verbPagesHttp" + " "
    std::string pageTemplate;     // "filePagesHttp"
    std::string binaryVerb;       // "verbBinaryHttp" + " "
    std::string binaryTemplate;   // "fileBinaryHttpU" or "fileBinaryHttpM", after binaryFormat

    // "DistInfo" of DistInfo.Dat, quoted by the test message.
    std::string distributionTag;
    // When the newest history line was added; 0 until then.
    TDateTime lastHistoryTime = 0;
};

TPrefs& Prefs();
