#include "requests/prefs.h"

TPrefs& Prefs()
{
    static TPrefs prefs;
    return prefs;
}
