#pragma once
// Running orvanta-service as a child process with a program folder of its own, and talking to
// it over real HTTP with a client of the tests' own (one request per connection).

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <filesystem>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>
#include <vector>

#include "cli/CliTestSupport.h"
#include "support/SimProcess.h"

namespace orvanta::testsupport {

struct HttpAnswer {
    int status = 0;  // 0 when no answer came
    std::string head;
    std::string body;

    nlohmann::json json() const { return nlohmann::json::parse(body, nullptr, false); }
    bool hasHeader(const std::string& line) const { return head.find(line) != std::string::npos; }
};

// A connected TCP socket to 127.0.0.1:port, from `source` (another loopback address, as
// another machine would be) when given; -1 when it could not connect.
inline int connectLoopback(unsigned port, const char* source = nullptr) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd >= 0 && source != nullptr) {
        sockaddr_in from{};
        from.sin_family = AF_INET;
        inet_pton(AF_INET, source, &from.sin_addr);
        sockaddr bound{};
        std::memcpy(&bound, &from, sizeof from);
        ::bind(fd, &bound, sizeof from);
    }
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(static_cast<std::uint16_t>(port));
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sockaddr address{};
    std::memcpy(&address, &to, sizeof to);
    if (fd < 0 || ::connect(fd, &address, sizeof to) != 0) {
        if (fd >= 0) {
            ::close(fd);
        }
        return -1;
    }
    timeval limit{60, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    return fd;
}

inline bool sendAll(int fd, const std::string& bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

// Reads until the server closes, and splits the status, head and body.
inline HttpAnswer readAnswer(int fd) {
    std::string all;
    char chunk[8192];
    for (;;) {
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0) {
            break;
        }
        all.append(chunk, static_cast<std::size_t>(n));
    }
    HttpAnswer answer;
    const std::size_t end = all.find("\r\n\r\n");
    if (all.rfind("HTTP/1.1 ", 0) != 0 || end == std::string::npos) {
        return answer;
    }
    answer.status = std::atoi(all.c_str() + 9);
    answer.head = all.substr(0, end);
    answer.body = all.substr(end + 4);
    return answer;
}

inline HttpAnswer http(unsigned port, const std::string& method, const std::string& path,
                       const std::string& body = {}, const std::vector<std::string>& headers = {},
                       const char* source = nullptr) {
    const int fd = connectLoopback(port, source);
    if (fd < 0) {
        return {};
    }
    std::string request =
        method + " " + path + " HTTP/1.1\r\nHost: 127.0.0.1\r\nConnection: close\r\n";
    for (const std::string& h : headers) {
        request += h + "\r\n";
    }
    if (method == "POST") {
        request +=
            "Content-Type: application/json\r\nContent-Length: " + std::to_string(body.size()) +
            "\r\n";
    }
    request += "\r\n" + body;
    HttpAnswer answer = sendAll(fd, request) ? readAnswer(fd) : HttpAnswer{};
    ::close(fd);
    return answer;
}

inline std::string bearer(const std::string& token) {
    return "Authorization: Bearer " + token;
}

// A program folder with the example message, registered projectors and tokens, and the
// service on a free port of 127.0.0.1.
class ServiceRig {
  public:
    explicit ServiceRig(const std::string& tag) : folders_(tag) {
        std::filesystem::copy_file(std::string(ORVANTA_TEST_BIN_DIR) + "/MessageData/Welcome.ovx",
                                   folders_.messageData("Welcome.ovx"));
    }

    ~ServiceRig() { stopService(); }
    ServiceRig(const ServiceRig&) = delete;
    ServiceRig& operator=(const ServiceRig&) = delete;

    const CliFolders& folders() const { return folders_; }

    bool registerProjector(const std::string& address, const std::string& password = "pw") {
        return folders_.run({"projectors", "add", address, "--password", password}).status == 0;
    }
    bool addGroup(const std::string& name, const std::vector<std::string>& addresses) {
        std::vector<std::string> args = {"groups", "add", name};
        args.insert(args.end(), addresses.begin(), addresses.end());
        return folders_.run(args).status == 0;
    }
    // The token, or empty when it could not be made.
    std::string addToken(const std::string& name, const std::string& rights) {
        const CliOutcome o = folders_.run({"tokens", "add", name, "--rights", rights});
        if (o.status != 0) {
            return {};
        }
        std::string out = o.out;
        while (!out.empty() && out.back() == '\n') {
            out.pop_back();
        }
        return out.substr(out.rfind('\n') + 1);
    }

    // Starts (or starts again) the service; false when it did not come up.
    bool start(const std::vector<std::string>& extra = {}) {
        std::vector<std::string> args = {"--program-folder", folders_.program(), "--listen",
                                         "127.0.0.1:0"};
        args.insert(args.end(), extra.begin(), extra.end());
        stopService();
        service_ = std::make_unique<SimProcess>(args, std::chrono::seconds(10), "orvanta-service");
        if (!service_->ready()) {
            return false;
        }
        port_ = 0;
        for (const std::string& line : service_->lines()) {
            const std::size_t at = line.find("listening on ");
            if (at != std::string::npos) {
                const std::string where =
                    line.substr(at + 13, line.find_first_of(" ,", at + 13) - at - 13);
                port_ = static_cast<unsigned>(std::atoi(where.c_str() + where.rfind(':') + 1));
            }
        }
        return port_ != 0;
    }
    SimProcess& process() { return *service_; }
    unsigned port() const { return port_; }

    HttpAnswer get(const std::string& path, const std::string& token = {}) const {
        return http(port_, "GET", path, {},
                    token.empty() ? std::vector<std::string>{} : std::vector{bearer(token)});
    }
    HttpAnswer post(const std::string& path, const std::string& body, const std::string& token,
                    std::vector<std::string> headers = {}) const {
        if (!token.empty()) {
            headers.push_back(bearer(token));
        }
        return http(port_, "POST", path, body, headers);
    }

  private:
    // A sanitizer build of the service reports into its own output, which the tests read only
    // for the lines they look for: a report there fails the test that ran the service.
    void stopService() {
        if (!service_) {
            return;
        }
        service_->stop();
        const std::string output = service_->output();
        for (const char* mark :
             {"ThreadSanitizer", "AddressSanitizer", "LeakSanitizer", "runtime error:"}) {
            if (output.find(mark) != std::string::npos) {
                ADD_FAILURE() << "orvanta-service reported a fault:\n" << output;
                break;
            }
        }
        service_.reset();
    }

    CliFolders folders_;
    std::unique_ptr<SimProcess> service_;
    unsigned port_ = 0;
};

// How many lines of the simulator's log hold `text`.
inline std::size_t countLines(const SimProcess& sim, const std::string& text) {
    std::size_t n = 0;
    for (const std::string& line : sim.lines()) {
        n += line.find(text) != std::string::npos ? 1 : 0;
    }
    return n;
}

// Waits until `count` lines hold `text` (the simulator logs a request as it answers it, so
// its line may come just after the answer), then tells whether exactly so many do.
inline bool waitForCount(const SimProcess& sim, const std::string& text, std::size_t count,
                         std::chrono::milliseconds limit = std::chrono::seconds(10)) {
    const auto end = std::chrono::steady_clock::now() + limit;
    while (countLines(sim, text) < count && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return countLines(sim, text) == count;
}

}  // namespace orvanta::testsupport
