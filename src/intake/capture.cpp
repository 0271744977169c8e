#include "intake/capture.h"

#include "core/strutil.h"

bool IsSupportedUrl(const std::string& text)
{
    if (text.find('\r') != std::string::npos) return false;
    for (const char* scheme : {"http://", "ftp://", "news:", "gopher://"})
        if (StartsWithNoCase(text, scheme)) return true;
    return false;
}

std::string NormaliseUrl(const std::string& url)
{
    if (!StartsWithNoCase(url, "http://")) return url;
    std::string lower = LowerCase(url);
    auto ftp = lower.find("ftp://");
    if (ftp != std::string::npos) return url.substr(ftp);
    int second = PosOfSecond("http://", lower);
    if (second > 0) return url.substr(static_cast<size_t>(second) - 1);
    auto hash = url.find('#');
    if (hash != std::string::npos) return url.substr(0, hash);
    return url;
}
