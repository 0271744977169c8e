#include "core/localroot.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

#ifndef TOLVAR_DATA_FROM_BIN
#define TOLVAR_DATA_FROM_BIN "../share/tolvar"
#endif

namespace fs = std::filesystem;

namespace {
std::string gLocalRoot;
std::string gInstalledData;

std::string WithSlash(std::string folder)
{
    if (folder.empty() || folder.back() != '/') folder += '/';
    return folder;
}

std::string HomeFolder()
{
    const char* home = std::getenv("HOME");
    if (home && *home) return home;
    const passwd* pw = ::getpwuid(::getuid());
    return pw && pw->pw_dir ? pw->pw_dir : "";
}

// Copies what the target lacks, folder by folder; never overwrites.
void SeedMissing(const fs::path& from, const fs::path& to, std::string& failures)
{
    std::error_code ec;
    fs::create_directories(to, ec);
    for (fs::directory_iterator it(from, ec), end; !ec && it != end; it.increment(ec)) {
        fs::path target = to / it->path().filename();
        std::error_code one;
        if (it->is_directory(one)) {
            SeedMissing(it->path(), target, failures);
        } else if (!fs::exists(target, one)) {
            fs::copy_file(it->path(), target, fs::copy_options::skip_existing, one);
            if (one) failures += target.string() + "\n";
        }
    }
    if (ec) failures += from.string() + "\n";
}
} // namespace

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
    auto exe = fs::read_symlink("/proc/self/exe", ec);
    return ec ? std::string() : exe.string();
}

std::string ExecutableFolder()
{
    std::string exe = ExecutablePath();
    return exe.empty() ? "./" : FolderOfPath(exe);
}

std::string UserDataFolder()
{
    const char* xdg = std::getenv("XDG_DATA_HOME");
    std::string base = xdg && xdg[0] == '/' ? xdg : HomeFolder() + "/.local/share";
    while (base.size() > 1 && base.back() == '/') base.pop_back();
    return base + "/tolvar/";
}

TProgramFolder ChooseProgramFolder(const std::string& exeFolder)
{
    std::string folder = WithSlash(exeFolder);
    std::error_code ec;
    fs::path data = fs::weakly_canonical(fs::path(folder) / TOLVAR_DATA_FROM_BIN, ec);
    // Only a folder this user can write to is a program folder; a copy in a
    // system folder (or one made read-only) is an installed one.
    if (::access(folder.c_str(), W_OK) == 0 || ec || !fs::is_directory(data, ec)) return {folder, "", ""};
    TProgramFolder result{UserDataFolder(), WithSlash(data.string()), ""};
    SeedMissing(data, result.localRoot, result.seedFailures);
    fs::create_directories(result.localRoot + "downloads", ec);
    return result;
}

TProgramFolder SetUpLocalRoot()
{
    TProgramFolder chosen = ChooseProgramFolder(ExecutableFolder());
    gLocalRoot = chosen.localRoot;
    gInstalledData = chosen.installedData;
    return chosen;
}

std::string ProgramFile() { return gInstalledData.empty() ? gLocalRoot + "tolvar" : ExecutablePath(); }

std::string HelpFolder() { return (gInstalledData.empty() ? gLocalRoot : gInstalledData) + "help/"; }
