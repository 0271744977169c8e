#include "support/tempdir.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "core/localroot.h"

TTempDir::TTempDir()
{
    std::string tmpl = (std::filesystem::temp_directory_path() / "tolvar-test-XXXXXX").string();
    if (!mkdtemp(tmpl.data())) throw std::runtime_error("mkdtemp failed");
    path_ = tmpl + "/";
}

TTempDir::~TTempDir()
{
    std::error_code ec;
    std::filesystem::permissions(path_, std::filesystem::perms::owner_all,
                                 std::filesystem::perm_options::add, ec);
    std::filesystem::remove_all(path_, ec);
}

void TTempDir::Write(const std::string& name, const std::string& content) const
{
    std::ofstream f(File(name), std::ios::binary);
    f << content;
}

std::string TTempDir::Read(const std::string& name) const
{
    std::ifstream f(File(name), std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

TTempRoot::TTempRoot() { SetLocalRoot(Path()); }
TTempRoot::~TTempRoot() { SetLocalRoot(""); }
