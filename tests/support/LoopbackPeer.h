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

class LoopbackPeer {
  public:
    explicit LoopbackPeer(const char* address, std::string reply = "CTRL 0\r\nValue:0\r\n")
        : reply_(std::move(reply)) {
        fd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int one = 1;
        ::setsockopt(fd_, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(kProjectorPort);
        a.sin_addr.s_addr = htonl(ipv4(address));
        ok_ = ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 && ::listen(fd_, 64) == 0;
        thread_ = std::thread([this] { serve(); });
    }
    ~LoopbackPeer() {
        stop_ = true;
        thread_.join();
        ::close(fd_);
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
