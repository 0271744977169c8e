#include "mail/resolver.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fcntl.h>

#include <cerrno>
#include <mutex>
#include <system_error>
#include <thread>

#include "mail/agwsock.h"

struct THostLookup::TShared {
    std::mutex lock;
    bool done = false;
    int error = 0;
    uint32_t address = 0;
    int pipe[2] = {-1, -1};

    ~TShared()
    {
        for (int fd : pipe)
            if (fd >= 0) ::close(fd);
    }
};

namespace {
void Resolve(const std::string& host, int& error, uint32_t& address)
{
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    int rc = ::getaddrinfo(host.c_str(), nullptr, &hints, &found);
    if (rc != 0) {
        error = WsaErrorFromResolver(rc, errno);
        return;
    }
    error = 0;
    address = reinterpret_cast<const sockaddr_in*>(found->ai_addr)->sin_addr.s_addr;
    ::freeaddrinfo(found);
}
}  // namespace

THostLookup::THostLookup(const std::string& host) : shared_(std::make_shared<TShared>())
{
    if (::pipe2(shared_->pipe, O_CLOEXEC | O_NONBLOCK) < 0)
        throw std::system_error(errno, std::generic_category(), "pipe2");
    std::thread([shared = shared_, host] {
        int error = 0;
        uint32_t address = 0;
        Resolve(host, error, address);
        std::lock_guard<std::mutex> guard(shared->lock);
        shared->error = error;
        shared->address = address;
        shared->done = true;
        char wake = 1;
        ssize_t written = ::write(shared->pipe[1], &wake, 1);
        (void)written;  // the pipe is empty, so one byte always fits
    }).detach();
}

THostLookup::~THostLookup() = default;

int THostLookup::Fd() const
{
    return shared_->pipe[0];
}

bool THostLookup::Done() const
{
    std::lock_guard<std::mutex> guard(shared_->lock);
    return shared_->done;
}

int THostLookup::Error() const
{
    std::lock_guard<std::mutex> guard(shared_->lock);
    return shared_->error;
}

uint32_t THostLookup::Address() const
{
    std::lock_guard<std::mutex> guard(shared_->lock);
    return shared_->address;
}
