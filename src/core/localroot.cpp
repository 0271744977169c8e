#include "core/localroot.h"

#include <filesystem>
#include <system_error>

namespace {
std::string gLocalRoot;
}

const std::string& LocalRoot() { return gLocalRoot; }

void SetLocalRoot(const std::string& folder) { gLocalRoot = folder; }

std::string FolderOfPath(const std::string& path)
{
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return path;
    return path.substr(0, slash + 1);
}

std::string ExecutablePath()
{
    std::error_code ec;
    auto exe = std::filesystem::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}

std::string ExecutableFolder()
{
    std::string exe = ExecutablePath();
    return exe.empty() ? "./" : FolderOfPath(exe);
}
