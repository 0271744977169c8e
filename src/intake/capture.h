#pragma once
#include <string>

// Clipboard text Tolvar takes as a URL: one line that begins, in any case,
// with "http://", "ftp://", "news:" or "gopher://". No trimming: a leading
// blank is not a URL.
bool IsSupportedUrl(const std::string& text);
// Cleans an "http://" URL: an embedded "ftp://" target wins, then a second
// "http://", else the "#" part is cut. Other schemes come back unchanged.
std::string NormaliseUrl(const std::string& url);
