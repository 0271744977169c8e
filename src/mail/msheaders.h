#pragma once
#include <string>
#include <vector>

// Extra header lines of a message: each a header ("Name: value") or a
// continuation line beginning with a blank or a tab.
using TmsHeaders = std::vector<std::string>;

// Removes the first header of that name (compared without regard to case)
// together with its continuation lines; nothing when there is none.
void RemoveHeader(TmsHeaders& headers, const std::string& name);
