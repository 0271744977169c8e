#pragma once
#include <cstdint>
#include <memory>
#include <string>

// One host name look-up on a worker thread, so a slow name server never
// freezes the user interface: the caller waits for Fd() to become readable
// through the mail pump. Dropping the object before the look-up ends abandons
// it; the worker finishes on its own and frees what it shares.
class THostLookup {
public:
    // Starts the look-up; raises std::system_error when no thread can start.
    explicit THostLookup(const std::string& host);
    ~THostLookup();
    THostLookup(const THostLookup&) = delete;
    THostLookup& operator=(const THostLookup&) = delete;

    // Readable once the look-up has ended.
    int Fd() const;
    bool Done() const;
    // Valid once Done(): 0 or a Windows sockets code (11001 host not found),
    // and the first IPv4 address in network byte order.
    int Error() const;
    uint32_t Address() const;

    struct TShared;

private:
    std::shared_ptr<TShared> shared_;
};
