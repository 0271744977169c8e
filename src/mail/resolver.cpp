#include "mail/resolver.h"

#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <fcntl.h>

#include <cerrno>
#include <condition_variable>
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

using TJob = std::shared_ptr<THostLookup::TShared>;

void Finish(const TJob& job, const std::string& host)
{
    int error = 0;
    uint32_t address = 0;
    Resolve(host, error, address);
    std::lock_guard<std::mutex> guard(job->lock);
    job->error = error;
    job->address = address;
    job->done = true;
    char wake = 1;
    ssize_t written = ::write(job->pipe[1], &wake, 1);
    (void)written;  // the pipe is empty, so one byte always fits
}

// A thread made and ended for every send cost more than the look-up itself
// (a name from /etc/hosts). One worker stays for the next look-up; one that
// finds it busy (a slow name server) gets a thread of its own, so no look-up
// ever waits behind another.
class TLookupWorker {
public:
    // False when the worker is busy.
    bool Take(const TJob& job, const std::string& host)
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (job_) return false;
        if (!started_) {
            std::thread([this] { Run(); }).detach();
            started_ = true;
        }
        job_ = job;
        host_ = host;
        wake_.notify_one();
        return true;
    }

private:
    void Run()
    {
        std::unique_lock<std::mutex> guard(lock_);
        for (;;) {
            wake_.wait(guard, [this] { return job_ != nullptr; });
            TJob job = job_;
            std::string host = host_;
            guard.unlock();
            Finish(job, host);
            job.reset();
            guard.lock();
            job_.reset();
        }
    }

    std::mutex lock_;
    std::condition_variable wake_;
    TJob job_;
    std::string host_;
    bool started_ = false;
};

TLookupWorker& Worker()
{
    // Never destroyed: the detached worker may still wait on it at exit.
    static auto* worker = new TLookupWorker;
    return *worker;
}
}  // namespace

THostLookup::THostLookup(const std::string& host) : shared_(std::make_shared<TShared>())
{
    if (::pipe2(shared_->pipe, O_CLOEXEC | O_NONBLOCK) < 0)
        throw std::system_error(errno, std::generic_category(), "pipe2");
    if (Worker().Take(shared_, host)) return;
    std::thread([shared = shared_, host] { Finish(shared, host); }).detach();
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
