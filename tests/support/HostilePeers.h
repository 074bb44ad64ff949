#pragma once
// Projectors that misbehave in ways the simulator cannot play, on port 9719 of a loopback
// address of the test's own.
//
//   UnansweredAddress: takes no connection at all. Its listener's accept queue is filled by
//   one connection and never served, so Linux drops every further SYN, as a switched-off
//   projector's address does; until makeRoom() serves that one, and the address answers.
//   TricklePeer: accepts every connection, reads the request and answers `head`, then one
//   byte every `pause` until the connection or the peer ends.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "protocol/CommandExchange.h"
#include "support/LoopbackPeer.h"
#include "support/SimProcess.h"

namespace orvanta::testsupport {

class UnansweredAddress {
  public:
    explicit UnansweredAddress(const char* address) : listener_(listenOn(address, 0)) {
        ok_ = listener_ >= 0 && filler_.open(ipv4(address), ConnectMode::Bounded).ok();
    }
    ~UnansweredAddress() {
        filler_.close();
        if (listener_ >= 0) {
            ::close(listener_);
        }
    }
    UnansweredAddress(const UnansweredAddress&) = delete;
    UnansweredAddress& operator=(const UnansweredAddress&) = delete;
    bool ok() const { return ok_; }
    // Serves the filling connection: the kernel takes the next try of a connect that waits.
    void makeRoom() {
        const int taken = ::accept(listener_, nullptr, nullptr);
        if (taken >= 0) {
            ::close(taken);
        }
    }

  private:
    int listener_ = -1;
    CommandExchange filler_;
    bool ok_ = false;
};

// Whether a connection to port 9719 of `address` (host order) is sent and not yet taken, as
// the kernel lists its sockets.
inline bool connectPending(std::uint32_t address) {
    char wanted[16];
    std::snprintf(wanted, sizeof wanted, "%08X:%04X", htonl(address), kProjectorPort);
    std::ifstream table("/proc/net/tcp");
    std::string line;
    std::getline(table, line);  // the column names
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (remote == wanted && state == "02") {  // SYN_SENT
            return true;
        }
    }
    return false;
}

class TricklePeer {
  public:
    TricklePeer(const char* address, std::string head, std::chrono::milliseconds pause)
        : head_(std::move(head)), pause_(pause), listener_(listenOn(address, 16)) {
        if (listener_ >= 0) {
            thread_ = std::thread([this] { serve(); });
        }
    }
    ~TricklePeer() {
        stop_ = true;
        if (thread_.joinable()) {
            thread_.join();
        }
        if (listener_ >= 0) {
            ::close(listener_);
        }
    }
    TricklePeer(const TricklePeer&) = delete;
    TricklePeer& operator=(const TricklePeer&) = delete;
    bool ok() const { return listener_ >= 0; }

  private:
    void serve() {
        while (!stop_) {
            pollfd p{listener_, POLLIN, 0};
            if (::poll(&p, 1, 20) <= 0) {
                continue;
            }
            const int c = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (c < 0) {
                continue;
            }
            char request[1024];
            pollfd r{c, POLLIN, 0};
            if (::poll(&r, 1, 2000) > 0 && ::recv(c, request, sizeof request, 0) > 0 &&
                ::send(c, head_.data(), head_.size(), MSG_NOSIGNAL) > 0) {
                while (!stop_ && ::send(c, "x", 1, MSG_NOSIGNAL) == 1) {
                    std::this_thread::sleep_for(pause_);
                }
            }
            ::close(c);
        }
    }

    std::string head_;
    std::chrono::milliseconds pause_;
    int listener_ = -1;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

}  // namespace orvanta::testsupport
