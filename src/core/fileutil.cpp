#include "core/fileutil.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "core/error.h"
#include "core/exception.h"

std::string SysErrorMessage(int err) { return std::strerror(err); }

bool FileExists(const std::string& path)
{
    struct stat st{};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

bool DeleteFile(const std::string& path) { return ::unlink(path.c_str()) == 0; }

std::string ReadFileString(const std::string& path)
{
    FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) {
        if (errno == ENOENT) return {};
        throw EInOutError(SysErrorMessage(errno));
    }
    std::string data;
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) data.append(buf, n);
    bool failed = std::ferror(f) != 0;
    int err = errno;
    std::fclose(f);
    if (failed) throw EInOutError(SysErrorMessage(err ? err : EIO));
    return data;
}

void WriteFileString(const std::string& path, const std::string& text)
{
    int step = 0;
    FILE* f = nullptr;
    try {
        step = 1;
        f = std::fopen(path.c_str(), "wb");
        if (!f) throw EInOutError(SysErrorMessage(errno));
        step = 2;
        if (std::fwrite(text.data(), 1, text.size(), f) != text.size() || std::fflush(f) != 0)
            throw EInOutError(SysErrorMessage(errno ? errno : EIO));
        step = 3;
        FILE* closing = f;
        f = nullptr;
        if (std::fclose(closing) != 0) throw EInOutError(SysErrorMessage(errno));
    } catch (const std::exception& e) {
        if (f) std::fclose(f);
        ReportError("WriteFileString-" + std::to_string(step) + ": " + path, e.what());
    }
}

void TrimFileToSize(const std::string& path, long long maxLength)
{
    if (!FileExists(path)) return;
    std::string data = ReadFileString(path);
    auto length = static_cast<long long>(data.size());
    if (length <= maxLength) return;
    long long keep = maxLength + 1;
    WriteFileString(path, data.substr(static_cast<size_t>(length - keep)));
}

void TrimFileToSizeCosmetic(const std::string& path, long long maxLength)
{
    try {
        TrimFileToSize(path, maxLength);
        if (!FileExists(path)) return;
        // The kept tail may begin mid-line; nothing reads the log but people,
        // and a whole first line is not worth a second rewrite.
        WriteFileString(path, ReadFileString(path));
    } catch (const std::exception& e) {
        ReportError("TrimFileToSizeCosmetic: " + path, e.what());
    }
}

namespace {
// Writes all of text to fd; errno of the failure, 0 when all went.
int WriteAll(int fd, const std::string& text)
{
    size_t done = 0;
    while (done < text.size()) {
        ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno != EINTR) return errno;
        if (n > 0) done += static_cast<size_t>(n);
    }
    return 0;
}

// A link is followed: the file it names is replaced and the link stays (a
// settings file kept elsewhere and linked in must not become a copy).
std::string FollowLink(const std::string& path)
{
    std::error_code ec;
    if (!std::filesystem::is_symlink(path, ec)) return path;
    std::string target = std::filesystem::weakly_canonical(path, ec).string();
    return ec ? path : target;
}

std::string FolderOf(const std::string& path)
{
    auto slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, slash + 1);
}
} // namespace

std::string WriteTempFileBeside(const std::string& linkOrPath, const std::string& text)
{
    static unsigned counter = 0;
    const std::string path = FollowLink(linkOrPath);
    auto slash = path.rfind('/');
    std::string folder = slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    // Hidden and unique, so it can never be taken for, or clobber, a file of
    // that folder (a saved attachment may well be called "x.new").
    std::string temp;
    int fd = -1;
    for (int attempt = 0; fd < 0 && attempt < 100; ++attempt) {
        temp = folder + "." + name + "." + std::to_string(::getpid()) + "-" + std::to_string(++counter) + ".tmp";
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) break;
    }
    if (fd < 0) throw EInOutError(SysErrorMessage(errno));
    struct stat old{};
    int err = 0;
    if (::stat(path.c_str(), &old) == 0 && S_ISREG(old.st_mode) && ::fchmod(fd, old.st_mode & 07777) != 0) err = errno;
    if (err == 0) err = WriteAll(fd, text);
    if (err == 0 && ::fsync(fd) != 0) err = errno;
    if (::close(fd) != 0 && err == 0) err = errno;
    if (err != 0) {
        ::unlink(temp.c_str());
        throw EInOutError(SysErrorMessage(err));
    }
    return temp;
}

void MoveTempFileOver(const std::string& temp, const std::string& linkOrPath)
{
    const std::string path = FollowLink(linkOrPath);
    if (::rename(temp.c_str(), path.c_str()) != 0) {
        int err = errno;
        ::unlink(temp.c_str());
        throw EInOutError(SysErrorMessage(err));
    }
    // The rename itself is on disk only once the folder is.
    int dir = ::open(FolderOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
}

void ReplaceFileContents(const std::string& path, const std::string& text)
{
    MoveTempFileOver(WriteTempFileBeside(path, text), path);
}

bool WriteFileAtomic(const std::string& path, const std::string& text)
{
    try {
        ReplaceFileContents(path, text);
        return true;
    } catch (const std::exception& e) {
        ReportError("WriteFileAtomic: " + path, e.what());
        return false;
    }
}
