#pragma once
// The cheapest possible projector: accepts on port 9719 of a loopback address, reads one
// request and answers it with a fixed reply, then closes. Benchmarks measure the bare
// connect-send-receive round trip against it, as the baseline of their ratios.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

#include "protocol/CommandExchange.h"
#include "support/SimProcess.h"

namespace orvanta::testsupport {

// The projector port of a loopback address.
inline sockaddr_in projectorPortOf(const char* address) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(kProjectorPort);
    a.sin_addr.s_addr = htonl(ipv4(address));
    return a;
}

// A socket listening on the projector port of a loopback address, or -1.
inline int listenOn(const char* address, int backlog) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    const sockaddr_in a = projectorPortOf(address);
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) != 0 ||
        ::listen(fd, backlog) != 0) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// One bare connect-send-receive round trip to `to`: the baseline of the benchmarks' ratios.
inline bool bareRoundTrip(const sockaddr_in& to, const std::string& request) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const bool sent = ::connect(fd, reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0 &&
                      ::send(fd, request.data(), request.size(), MSG_NOSIGNAL) >= 0;
    if (sent) {
        char reply[1024];
        [[maybe_unused]] const ssize_t n = ::recv(fd, reply, sizeof reply, 0);
    }
    ::close(fd);
    return sent;
}

class LoopbackPeer {
  public:
    explicit LoopbackPeer(const char* address, std::string reply = "CTRL 0\r\nValue:0\r\n")
        : reply_(std::move(reply)) {
        fd_ = listenOn(address, 64);
        ok_ = fd_ >= 0;
        thread_ = std::thread([this] { serve(); });
    }
    ~LoopbackPeer() {
        stop_ = true;
        thread_.join();
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    LoopbackPeer(const LoopbackPeer&) = delete;
    LoopbackPeer& operator=(const LoopbackPeer&) = delete;

    bool ok() const { return ok_; }

  private:
    void serve() {
        while (!stop_) {
            pollfd p{fd_, POLLIN, 0};
            if (::poll(&p, 1, 50) <= 0) {
                continue;
            }
            const int c = ::accept4(fd_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) {
                continue;
            }
            char buffer[1024];
            if (::recv(c, buffer, sizeof buffer, 0) > 0) {
                ::send(c, reply_.data(), reply_.size(), MSG_NOSIGNAL);
            }
            ::close(c);
        }
    }

    std::string reply_;
    int fd_ = -1;
    bool ok_ = false;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace orvanta::testsupport
