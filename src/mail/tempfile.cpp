#include "mail/tempfile.h"

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <unistd.h>

#include "core/exception.h"

namespace {

std::string MakeTempFile()
{
    std::error_code ec;
    auto folder = std::filesystem::temp_directory_path(ec);
    if (ec) folder = "/tmp";
    std::string name = (folder / "msXXXXXX").string();
    int fd = ::mkstemp(name.data());
    if (fd < 0) throw EInOutError(SysErrorMessage(errno) + ": " + name);
    ::close(fd);
    return name;
}

} // namespace

TTempFileStream::TTempFileStream() : path_(MakeTempFile())
{
    // mkstemp made it empty. Opening it with truncation would make ext4 (its
    // auto_da_alloc) start writing it to disk at close, for a file deleted
    // right after: ~0.3 ms per mail sent.
    open(path_, std::ios::in | std::ios::out | std::ios::binary);
    if (!is_open()) {
        int err = errno;
        ::unlink(path_.c_str());
        throw EInOutError(SysErrorMessage(err) + ": " + path_);
    }
}

TTempFileStream::~TTempFileStream()
{
    close();
    ::unlink(path_.c_str());
}

std::int64_t TTempFileStream::Size()
{
    flush();
    std::error_code ec;
    auto size = std::filesystem::file_size(path_, ec);
    return ec ? 0 : static_cast<std::int64_t>(size);
}

void TTempFileStream::Rewind()
{
    flush();
    clear();
    seekg(0);
    seekp(0);
}

std::string TTempFileStream::ReadAll()
{
    Rewind();
    std::string data(static_cast<size_t>(Size()), '\0');
    read(data.data(), static_cast<std::streamsize>(data.size()));
    data.resize(static_cast<size_t>(gcount()));
    return data;
}
