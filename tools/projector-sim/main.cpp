// orvanta-projector-sim: plays one or several projectors on their command port, for tests,
// demonstrations and manual tries.  See usageText() for the switches.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <list>
#include <memory>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "ProjectorState.h"
#include "RequestParser.h"
#include "SimConfig.h"
#include "platform/Environment.h"
#include "platform/Md5.h"

namespace orvanta::sim {
namespace {

std::atomic<bool> gStop{false};
std::atomic<int> gWakeFd{-1};

void onSignal(int) {
    gStop.store(true);
    if (gWakeFd.load() >= 0) {
        const char byte = 1;
        [[maybe_unused]] const ssize_t n = ::write(gWakeFd.load(), &byte, 1);
    }
}

// Whole lines to stdout, flushed at once so that a watching test sees them immediately.
class Log {
  public:
    void line(const std::string& text) {
        std::lock_guard lock(mutex_);
        std::fputs(text.c_str(), stdout);
        std::fputc('\n', stdout);
        std::fflush(stdout);
    }

  private:
    std::mutex mutex_;
};

// Longest request we take: a PUT with the largest body its 5-digit length can announce.
constexpr std::size_t kMaxRequestBytes = 1024 + 99999;
constexpr int kMaxConnections = 64;
constexpr auto kIdleLimit = std::chrono::seconds(60);

struct Projector {
    Projector(const SimAddress& a, const SimConfig& config) : address(a), state(config) {}
    SimAddress address;
    ProjectorState state;
    int listenFd = -1;
    int accepted = 0;   // connections taken so far
    std::string label;  // "address:port" for the log
};

std::string printable(std::string_view bytes, std::size_t limit = 200) {
    std::string out;
    for (char c : bytes.substr(0, limit)) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\r') {
            out += "\\r";
        } else if (c == '\n') {
            out += "\\n";
        } else if (u < 0x20 || u >= 0x7F || c == '\\') {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        } else {
            out.push_back(c);
        }
    }
    if (bytes.size() > limit) {
        out += "...";
    }
    return out;
}

bool sendAll(int fd, std::string_view data) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        const ssize_t n = ::send(fd, data.data() + sent, data.size() - sent, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(n);
    }
    return true;
}

// Closing with a zero linger time sends a reset instead of an orderly end.
void resetAndClose(int fd) {
    linger l{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
    ::close(fd);
}

void pause(int milliseconds) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!gStop.load() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// A test that must act while a request waits for its reply (press Cancel, type a key)
// releases the reply by creating the file once it has acted: no delay to guess.
void holdUntilExists(const std::string& path) {
    while (!gStop.load() && ::access(path.c_str(), F_OK) != 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

// Appends what arrives to `buffer`.  False at the end of the stream, on an error, on stop
// or after a long silence.
bool receiveMore(int fd, std::string& buffer) {
    const auto idleEnd = std::chrono::steady_clock::now() + kIdleLimit;
    while (!gStop.load()) {
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, 100);
        if (r < 0 && errno != EINTR) {
            return false;
        }
        if (r > 0) {
            char chunk[4096];
            const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n <= 0) {
                return false;
            }
            buffer.append(chunk, static_cast<std::size_t>(n));
            return true;
        }
        if (std::chrono::steady_clock::now() > idleEnd) {
            return false;
        }
    }
    return false;
}

std::string randomChallenge() {
    // Seeded once: opening the random device for every connection's thread cost more than
    // answering the request when many projectors are asked at once.
    static std::mutex mutex;
    static std::mt19937 generator{std::random_device{}()};
    unsigned value = 0;
    {
        std::lock_guard lock(mutex);
        value = static_cast<unsigned>(generator());
    }
    char text[16];
    std::snprintf(text, sizeof text, "%08X", value);
    return text;
}

// Applies the reply switches to a reply that starts "VERB d\r\n".
std::string shapeReply(const SimConfig& config, const std::string& verb, std::string reply) {
    const auto forced = config.replyDigits.find(verb);
    if (forced != config.replyDigits.end() && reply.size() > verb.size() + 1) {
        reply[verb.size() + 1] = static_cast<char>('0' + forced->second);
    }
    if (config.garbage && !reply.empty()) {
        reply[0] = '?';
    }
    if (config.trailingByte) {
        reply.push_back('X');
    }
    return reply;
}

std::string firstLineOf(const std::string& reply) {
    return printable(reply.substr(0, reply.find("\r\n")));
}

void serveConnection(int fd, Projector& projector, const SimConfig& config, Log& log) {
    const std::string& who = projector.label;
    if (config.hangUp) {
        log.line(who + " connection closed at once (hang-up)");
        ::close(fd);
        return;
    }
    timeval sendLimit{2, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendLimit, sizeof sendLimit);

    std::string expectedDigest;
    if (config.greeting) {
        const std::string challenge = randomChallenge();
        const std::string greeting =
            config.shortGreeting ? challenge.substr(0, 5) : challenge + "\r\n";
        expectedDigest = challengeDigest(greeting, config.password);
        if (!sendAll(fd, greeting)) {
            ::close(fd);
            return;
        }
    }

    std::string buffer;
    for (;;) {
        ParsedRequest request;
        const ParseState parsed = parseRequest(buffer, request);
        if (parsed == ParseState::Incomplete) {
            if (buffer.size() > kMaxRequestBytes || !receiveMore(fd, buffer)) {
                break;
            }
            if (config.resetOnRequest) {
                log.line(who + " request arriving, connection reset");
                resetAndClose(fd);
                return;
            }
            continue;
        }
        std::string shown;
        if (request.lines.empty()) {
            shown = printable(buffer, 80);  // not even one whole line
        } else if (config.verbose) {
            std::string text;
            for (const std::string& l : request.lines) {
                text += l + "\r\n";
            }
            shown = printable(text, 400);
        } else {
            shown = printable(request.lines.front(), 80);
        }
        if (request.verb == "PUT" && parsed == ParseState::Complete) {
            shown += " +body " + std::to_string(request.body.size()) + " bytes";
        }
        std::string digestState;
        bool authorised;
        if (config.greeting) {
            digestState = request.digest.empty()             ? "no digest"
                          : request.digest == expectedDigest ? "digest ok"
                                                             : "digest wrong";
            authorised = request.digest == expectedDigest;
        } else {
            digestState = request.digest.empty() ? "no digest" : "unexpected digest";
            authorised = request.digest.empty();
        }
        const std::string head = who + " " + shown + " | " + digestState + " | ";
        if (parsed == ParseState::Malformed) {
            if (authorised && !request.verb.empty()) {
                const std::string reply = request.verb + " 9\r\n";
                log.line(head + "malformed, " + firstLineOf(reply) + ", closed");
                sendAll(fd, reply);
            } else {
                log.line(head + "malformed, closed");
            }
            break;
        }
        if (!authorised) {
            log.line(head + "closed without reply");
            break;
        }
        if (config.drop) {
            log.line(head + "dropped without reply");
            break;
        }
        std::string reply = shapeReply(config, request.verb, projector.state.answer(request));
        if (!config.garbageFor.empty() && !request.lines.empty() && !reply.empty() &&
            request.lines.front().starts_with(config.garbageFor)) {
            reply[0] = '?';
        }
        log.line(head + firstLineOf(reply));
        buffer.erase(0, request.consumed);

        if (config.replyDelayMs > 0) {
            pause(config.replyDelayMs);
        }
        if (!config.holdRepliesUntil.empty() && !request.lines.empty() &&
            request.lines.front().starts_with(config.holdFor)) {
            holdUntilExists(config.holdRepliesUntil);
        }
        if (config.closeAfter >= 0 || config.resetAfter >= 0) {
            const bool reset = config.resetAfter >= 0;
            const auto n = static_cast<std::size_t>(reset ? config.resetAfter : config.closeAfter);
            sendAll(fd, std::string_view(reply).substr(0, n));
            if (reset) {
                resetAndClose(fd);
                return;
            }
            break;
        }
        bool ok;
        if (config.splitAt >= 0 && static_cast<std::size_t>(config.splitAt) < reply.size()) {
            const auto n = static_cast<std::size_t>(config.splitAt);
            ok = sendAll(fd, std::string_view(reply).substr(0, n));
            pause(300);
            ok = ok && sendAll(fd, std::string_view(reply).substr(n));
        } else {
            ok = sendAll(fd, reply);
        }
        if (!ok) {
            break;
        }
    }
    ::close(fd);
}

// Answers DeviceSearch datagrams for every simulated projector.
void runDiscovery(std::vector<std::unique_ptr<Projector>>& projectors, Log& log) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        log.line("discovery: no socket");
        return;
    }
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(2363);
    // Bound to the group address, so that a searcher on this machine can still bind its own
    // address with port 2363.
    local.sin_addr.s_addr = inet_addr("224.0.5.128");
    if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) < 0) {
        log.line(std::string("discovery: cannot bind UDP 2363: ") + std::strerror(errno));
        ::close(fd);
        return;
    }
    bool joined = false;
    for (const auto& p : projectors) {
        ip_mreq group{};
        group.imr_multiaddr.s_addr = inet_addr("224.0.5.128");
        group.imr_interface.s_addr = htonl(p->address.address);
        joined =
            ::setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group) == 0 || joined;
    }
    if (!joined) {
        log.line(std::string("discovery: cannot join 224.0.5.128: ") + std::strerror(errno));
        ::close(fd);
        return;
    }
    log.line("discovery: answering searches on 224.0.5.128:2363");
    while (!gStop.load()) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 200) <= 0) {
            continue;
        }
        unsigned char data[1500];
        const ssize_t n = ::recv(fd, data, sizeof data, 0);
        if (n != 18 || data[0] != 0x01 || data[1] != 0x00 ||
            std::memcmp(data + 2, "DeviceSearch", 12) != 0) {
            continue;
        }
        sockaddr_in target{};
        target.sin_family = AF_INET;
        target.sin_port = htons(4001);
        std::memcpy(&target.sin_addr.s_addr, data + 14, 4);  // already most significant first
        char targetText[INET_ADDRSTRLEN] = {};
        inet_ntop(AF_INET, &target.sin_addr, targetText, sizeof targetText);
        for (const auto& proj : projectors) {
            unsigned char answer[88] = {};
            answer[0] = 0x01;
            std::memcpy(answer + 2, "DeviceAnswer", 12);
            const std::uint32_t a = proj->address.address;
            answer[14] = static_cast<unsigned char>(a >> 24);
            answer[15] = static_cast<unsigned char>(a >> 16);
            answer[16] = static_cast<unsigned char>(a >> 8);
            answer[17] = static_cast<unsigned char>(a);
            std::memcpy(answer + 18, proj->address.mac, 6);
            std::memcpy(answer + 24, proj->address.name.data(),
                        std::min<std::size_t>(64, proj->address.name.size()));
            const int out = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
            if (out < 0) {
                continue;
            }
            sockaddr_in from{};
            from.sin_family = AF_INET;
            from.sin_addr.s_addr = htonl(a);
            ::bind(out, reinterpret_cast<sockaddr*>(&from), sizeof from);
            const bool sent =
                ::sendto(out, answer, sizeof answer, 0, reinterpret_cast<sockaddr*>(&target),
                         sizeof target) == static_cast<ssize_t>(sizeof answer);
            ::close(out);
            log.line("discovery: search for " + std::string(targetText) + ", " +
                     proj->address.text + (sent ? " answered" : " could not answer"));
        }
    }
    ::close(fd);
}

int run(const SimConfig& config) {
    Log log;
    std::vector<std::unique_ptr<Projector>> projectors;
    for (const SimAddress& a : config.addresses) {
        auto p = std::make_unique<Projector>(a, config);
        p->label = a.text + ":" + std::to_string(config.port);
        p->listenFd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int one = 1;
        ::setsockopt(p->listenFd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in local{};
        local.sin_family = AF_INET;
        local.sin_port = htons(config.port);
        local.sin_addr.s_addr = htonl(a.address);
        if (p->listenFd < 0 ||
            ::bind(p->listenFd, reinterpret_cast<sockaddr*>(&local), sizeof local) < 0 ||
            ::listen(p->listenFd, 16) < 0) {
            std::fprintf(stderr, "cannot listen on %s: %s\n", p->label.c_str(),
                         std::strerror(errno));
            for (auto& q : projectors) {
                ::close(q->listenFd);
            }
            if (p->listenFd >= 0) {
                ::close(p->listenFd);
            }
            return 1;
        }
        projectors.push_back(std::move(p));
    }
    for (const auto& p : projectors) {
        log.line("listening on " + p->label);
    }

    std::thread discovery;
    if (config.discovery) {
        discovery = std::thread([&] { runDiscovery(projectors, log); });
    }

    int wake[2];
    if (::pipe2(wake, O_CLOEXEC | O_NONBLOCK) == 0) {
        gWakeFd = wake[1];
    } else {
        wake[0] = wake[1] = -1;
    }

    struct Worker {
        std::thread thread;
        std::shared_ptr<std::atomic<bool>> done;
    };
    std::list<Worker> workers;
    while (!gStop.load()) {
        std::vector<pollfd> fds;
        for (const auto& p : projectors) {
            fds.push_back({p->listenFd, POLLIN, 0});
        }
        if (wake[0] >= 0) {
            fds.push_back({wake[0], POLLIN, 0});
        }
        ::poll(fds.data(), fds.size(), 200);
        for (auto it = workers.begin(); it != workers.end();) {
            if (it->done->load()) {
                it->thread.join();
                it = workers.erase(it);
            } else {
                ++it;
            }
        }
        for (std::size_t i = 0; i < projectors.size() && !gStop.load(); ++i) {
            if (!(fds[i].revents & POLLIN)) {
                continue;
            }
            const int fd = ::accept4(projectors[i]->listenFd, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                continue;
            }
            if (config.acceptLimit >= 0 && ++projectors[i]->accepted >= config.acceptLimit) {
                // From now on the address refuses every connection.
                ::close(projectors[i]->listenFd);
                projectors[i]->listenFd = -1;
                log.line(projectors[i]->label + " command port closed");
            }
            if (static_cast<int>(workers.size()) >= kMaxConnections) {
                log.line(projectors[i]->label + " too many connections, refused");
                ::close(fd);
                continue;
            }
            auto done = std::make_shared<std::atomic<bool>>(false);
            Projector& projector = *projectors[i];
            workers.push_back({std::thread([fd, &projector, &config, &log, done] {
                                   serveConnection(fd, projector, config, log);
                                   done->store(true);
                               }),
                               done});
        }
    }
    for (const auto& p : projectors) {
        ::close(p->listenFd);
    }
    for (Worker& w : workers) {
        w.thread.join();
    }
    if (discovery.joinable()) {
        discovery.join();
    }
    gWakeFd = -1;
    if (wake[0] >= 0) {
        ::close(wake[0]);
        ::close(wake[1]);
    }
    log.line("stopped");
    return 0;
}

}  // namespace
}  // namespace orvanta::sim

int main(int argc, char** argv) {
    using namespace orvanta::sim;
    std::vector<std::string> args(argv + 1, argv + argc);
    if (args.size() == 1 && args[0] == "--version") {
        std::printf("orvanta-projector-sim %s\n", orvanta::programVersion());
        return 0;
    }
    std::string error;
    const auto config = parseArguments(args, error);
    if (!config) {
        if (error.empty()) {
            std::fputs(usageText(), stdout);
            return 0;
        }
        std::fprintf(stderr, "orvanta-projector-sim: %s (see --help)\n", error.c_str());
        return 2;
    }
    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGTERM, &action, nullptr);
    sigaction(SIGINT, &action, nullptr);
    signal(SIGPIPE, SIG_IGN);
    return run(*config);
}
