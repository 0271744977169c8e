#include "mail/msheaders.h"

#include "core/strutil.h"

namespace {

bool IsContinuation(const std::string& line) { return !line.empty() && (line[0] == ' ' || line[0] == '\t'); }

} // namespace

void RemoveHeader(TmsHeaders& headers, const std::string& name)
{
    for (size_t i = 0; i < headers.size(); ++i) {
        const std::string& line = headers[i];
        auto colon = line.find(':');
        if (IsContinuation(line) || colon == std::string::npos) continue;
        if (!SameText(Trim(line.substr(0, colon)), name)) continue;
        size_t end = i + 1;
        while (end < headers.size() && IsContinuation(headers[end])) ++end;
        headers.erase(headers.begin() + static_cast<std::ptrdiff_t>(i), headers.begin() + static_cast<std::ptrdiff_t>(end));
        return;
    }
}
