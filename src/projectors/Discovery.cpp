#include "projectors/Discovery.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>
#include <utility>

#include "platform/TextCodec.h"
#include "platform/WorkerPool.h"

namespace orvanta {

namespace {

constexpr std::string_view kSearchMagic = "DeviceSearch";
constexpr std::string_view kAnswerMagic = "DeviceAnswer";
constexpr std::size_t kMagicOffset = 2;
constexpr std::size_t kAddressOffset = 14;
constexpr std::size_t kMacOffset = 18;
constexpr std::size_t kNameOffset = 24;
constexpr std::size_t kNameSize = 64;
constexpr int kRoundsPerAdaptor = 2;
constexpr int kTimeoutsPerListen = 2;
// A host that keeps sending could otherwise hold one listen open for ever; real answers are a
// few datagrams per projector.
constexpr std::size_t kMaxDatagramsPerListen = 1024;

class Socket {
  public:
    Socket() = default;
    explicit Socket(int fd) : fd_(fd) {}
    ~Socket() { reset(); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    Socket(Socket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Socket& operator=(Socket&& other) noexcept {
        if (this != &other) {
            reset();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    void reset() {
        if (fd_ >= 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }

  private:
    int fd_ = -1;
};

sockaddr_in socketAddress(std::uint32_t address, std::uint16_t port) {
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_port = htons(port);
    a.sin_addr.s_addr = htonl(address);
    return a;
}

bool bindTo(int fd, std::uint32_t address, std::uint16_t port) {
    const sockaddr_in a = socketAddress(address, port);
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0;
}

void putAddress(std::uint8_t* out, std::uint32_t address) {
    out[0] = static_cast<std::uint8_t>(address >> 24);
    out[1] = static_cast<std::uint8_t>(address >> 16);
    out[2] = static_cast<std::uint8_t>(address >> 8);
    out[3] = static_cast<std::uint8_t>(address);
}

// Bound to the adaptor's address, which also makes the system send the group datagram out of
// that adaptor. Other programs on this machine may listen on the search port (a projector
// simulator does), so the port is shared.
Socket openSendSocket(std::uint32_t adaptor) {
    Socket s(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (!s) {
        return s;
    }
    const int one = 1;
    ::setsockopt(s.get(), SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    if (!bindTo(s.get(), adaptor, kDiscoverySearchPort)) {
        return Socket();
    }
    ip_mreq group{};
    group.imr_multiaddr.s_addr = htonl(kDiscoveryGroup);
    group.imr_interface.s_addr = htonl(INADDR_ANY);
    bool joined = ::setsockopt(s.get(), IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group) == 0;
    if (!joined) {
        // Without a default route (an isolated network, a host with only a link-local set-up)
        // the system cannot choose an interface by itself; the adaptor's own one will do.
        group.imr_interface.s_addr = htonl(adaptor);
        joined = ::setsockopt(s.get(), IPPROTO_IP, IP_ADD_MEMBERSHIP, &group, sizeof group) == 0;
    }
    const int ttl = kDiscoveryTimeToLive;
    if (!joined || ::setsockopt(s.get(), IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof ttl) != 0) {
        return Socket();
    }
    return s;
}

// An invalid socket when it cannot be bound: the adaptor then simply gets no answers.
Socket openReceiveSocket(std::uint32_t adaptor) {
    Socket s(::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0));
    if (s && !bindTo(s.get(), adaptor, kDiscoveryAnswerPort)) {
        s.reset();
    }
    return s;
}

// A closing window waits for the worker, so no wait may last longer than this without a look
// at the stop flag.
constexpr std::chrono::milliseconds kStopCheckInterval{50};

// False on a time-out, on a stop and on any failure, including an invalid socket.
bool waitReadable(int fd, std::chrono::milliseconds limit, const std::atomic<bool>& stop) {
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() <= 0 || stop.load()) {
            return false;
        }
        const auto slice = std::min(left, kStopCheckInterval);
        if (fd < 0) {
            std::this_thread::sleep_for(slice);
            continue;
        }
        pollfd p{fd, POLLIN, 0};
        const int r = ::poll(&p, 1, static_cast<int>(slice.count()));
        if (r > 0) {
            return (p.revents & POLLIN) != 0;
        }
        if (r < 0 && errno != EINTR) {
            return false;
        }
    }
}

// The pause after a delivered answer, cut short by a stop.
void pauseUnlessStopped(std::chrono::milliseconds pause, const std::atomic<bool>& stop) {
    const auto end = std::chrono::steady_clock::now() + pause;
    while (!stop.load() && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::min(pause, kStopCheckInterval));
    }
}

// Listens until two waits have run out. False when the stop flag ended it.
bool listenForAnswers(int fd, const DiscoveryTimings& timings, const std::atomic<bool>& stop,
                      const DiscoveryEventSink& sink) {
    int timeouts = 0;
    std::size_t datagrams = 0;
    while (timeouts < kTimeoutsPerListen && datagrams < kMaxDatagramsPerListen) {
        if (stop.load()) {
            return false;
        }
        if (!waitReadable(fd, timings.listenWait, stop)) {
            ++timeouts;
            continue;
        }
        std::uint8_t buffer[kMaxAnswerDatagram] = {};
        const ssize_t n = ::recv(fd, buffer, sizeof buffer, 0);
        if (n <= 0) {
            ++timeouts;  // a failing socket must not keep us here
            continue;
        }
        ++datagrams;
        for (const AnswerRecord& record :
             scanAnswerDatagram({buffer, static_cast<std::size_t>(n)})) {
            if (stop.load()) {
                return false;
            }
            sink(DiscoveryEvent{DiscoveryEventKind::DiscoveryAnswer, record});
            pauseUnlessStopped(timings.answerPause, stop);
        }
    }
    return true;
}

void searchFromAdaptor(std::uint32_t adaptor, const DiscoveryTimings& timings,
                       const std::atomic<bool>& stop, const DiscoveryEventSink& sink) {
    const Socket sender = openSendSocket(adaptor);
    if (!sender) {
        return;
    }
    const Socket receiver = openReceiveSocket(adaptor);
    const SearchDatagram search = buildSearchDatagram(adaptor);
    const sockaddr_in group = socketAddress(kDiscoveryGroup, kDiscoverySearchPort);
    for (int round = 0; round < kRoundsPerAdaptor; ++round) {
        const ssize_t sent = ::sendto(sender.get(), search.data(), search.size(), 0,
                                      reinterpret_cast<const sockaddr*>(&group), sizeof group);
        if (sent != static_cast<ssize_t>(search.size()) || stop.load()) {
            return;
        }
        if (!listenForAnswers(receiver.get(), timings, stop, sink)) {
            return;
        }
    }
}

}  // namespace

std::atomic<bool>& discoveryStopFlag() {
    static std::atomic<bool> stop{false};
    return stop;
}

SearchDatagram buildSearchDatagram(std::uint32_t adaptorAddress) {
    SearchDatagram d{};
    d[0] = 0x01;
    d[1] = 0x00;
    std::memcpy(d.data() + kMagicOffset, kSearchMagic.data(), kSearchMagic.size());
    putAddress(d.data() + kAddressOffset, adaptorAddress);
    return d;
}

std::vector<AnswerRecord> scanAnswerDatagram(std::span<const std::uint8_t> datagram) {
    std::vector<AnswerRecord> records;
    AnswerRecord record{};
    std::size_t d = 0;
    const std::size_t n = datagram.size();
    for (std::size_t k = 0; k < n; ++k) {
        if (d == 0 && datagram[k] != 0x01) {
            continue;
        }
        record[d++] = datagram[k];
        if (d < kAnswerRecordSize) {
            continue;
        }
        if (k + 2 < n && datagram[k + 1] == 'W' && datagram[k + 2] == 'L') {
            k += 2;
        } else {
            records.push_back(record);
        }
        record.fill(0);
        d = 0;
    }
    return records;
}

std::optional<DiscoveredProjector> decodeAnswerRecord(const AnswerRecord& record, int codePage) {
    if (std::memcmp(record.data() + kMagicOffset, kAnswerMagic.data(), kAnswerMagic.size()) != 0) {
        return std::nullopt;
    }
    const auto* nameStart = reinterpret_cast<const char*>(record.data() + kNameOffset);
    const std::size_t nameLength = ::strnlen(nameStart, kNameSize);
    std::array<std::uint8_t, 6> mac{};
    std::copy_n(record.begin() + kMacOffset, mac.size(), mac.begin());
    const std::uint8_t* a = record.data() + kAddressOffset;
    return DiscoveredProjector{
        utf16ToUtf8(decodeCodePage(codePage, std::string_view(nameStart, nameLength))),
        formatMacAddress(mac),
        std::uint32_t{a[0]} << 24 | std::uint32_t{a[1]} << 16 | std::uint32_t{a[2]} << 8 | a[3],
    };
}

bool probeProjector(std::uint32_t address, std::chrono::milliseconds limit, std::uint16_t port) {
    const Socket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!s) {
        return false;
    }
    const sockaddr_in target = socketAddress(address, port);
    if (::connect(s.get(), reinterpret_cast<const sockaddr*>(&target), sizeof target) == 0) {
        return true;
    }
    if (errno != EINPROGRESS) {
        return false;
    }
    const auto end = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            end - std::chrono::steady_clock::now());
        if (left.count() < 0) {
            return false;
        }
        pollfd p{s.get(), POLLOUT, 0};
        const int r = ::poll(&p, 1, static_cast<int>(left.count()));
        if (r < 0 && errno == EINTR) {
            continue;
        }
        if (r <= 0) {
            return false;
        }
        int error = 0;
        socklen_t size = sizeof error;
        return ::getsockopt(s.get(), SOL_SOCKET, SO_ERROR, &error, &size) == 0 && error == 0;
    }
}

DiscoveryJob makeDiscoveryJob(const std::vector<AdaptorEntry>& adaptors, std::size_t selected,
                              const DiscoveryTimings& timings) {
    DiscoveryJob job;
    job.timings = timings;
    for (std::size_t i = 0; i < adaptors.size() && i < kMaxAdaptors; ++i) {
        job.adaptors.push_back(adaptors[i].address);
    }
    if (!adaptors.empty()) {
        job.gate = adaptors[selected < adaptors.size() ? selected : 0].address;
    }
    return job;
}

DiscoveryJob discoveryJobFor(const std::vector<AdaptorEntry>& adaptors, int narrowedTo,
                             const DiscoveryTimings& timings) {
    if (narrowedTo >= 0 && static_cast<std::size_t>(narrowedTo) < adaptors.size()) {
        return makeDiscoveryJob({adaptors[static_cast<std::size_t>(narrowedTo)]}, 0, timings);
    }
    return makeDiscoveryJob(adaptors, 0, timings);
}

void runDiscoveryWorker(const DiscoveryJob& job, const std::atomic<bool>& stop,
                        const DiscoveryEventSink& sink) {
    const std::size_t count = std::min(job.adaptors.size(), kMaxAdaptors);
    std::size_t next = 0;
    while (next < count && !stop.load()) {
        if (job.gate == 0) {
            std::this_thread::sleep_for(job.timings.gateWait);
            continue;
        }
        searchFromAdaptor(job.adaptors[next++], job.timings, stop, sink);
    }
    sink(DiscoveryEvent{DiscoveryEventKind::DiscoveryFinished, {}});
}

DiscoveryRun::DiscoveryRun(std::atomic<bool>& stop) : stop_(stop) {}

DiscoveryRun::~DiscoveryRun() {
    stop();
}

void DiscoveryRun::stop() {
    stop_.store(true);
    if (worker_.joinable()) {
        worker_.join();
    }
}

void DiscoveryRun::start(DiscoveryJob job, DiscoveryEventSink sink) {
    stop();
    stop_.store(false);
    running_.store(true);
    Result<std::thread> worker = startThread([this, job = std::move(job), sink] {
        runDiscoveryWorker(job, stop_, [&](const DiscoveryEvent& event) {
            if (event.kind == DiscoveryEventKind::DiscoveryFinished) {
                running_.store(false);
            }
            if (sink) {
                sink(event);
            }
        });
    });
    if (worker) {
        worker_ = std::move(worker).value();
        return;
    }
    // No thread to search with: the search ends at once, having found nothing.
    running_.store(false);
    if (sink) {
        sink(DiscoveryEvent{});
    }
}

FoundProjectors::FoundProjectors(ProjectorProbe probe) : probe_(std::move(probe)) {
    if (!probe_) {
        probe_ = [](std::uint32_t address) { return probeProjector(address); };
    }
}

void FoundProjectors::clear() {
    records_.clear();
    addedThisRun_ = 0;
}

AnswerOutcome FoundProjectors::handleAnswer(const AnswerRecord& record) {
    const std::optional<DiscoveredProjector> answer = decodeAnswerRecord(record);
    if (!answer) {
        return AnswerOutcome::NotAnAnswer;
    }
    if (addedThisRun_ >= kMaxFoundPerRun) {
        return AnswerOutcome::RunFull;
    }
    const bool known = std::any_of(records_.begin(), records_.end(), [&](const ProjectorRecord& r) {
        return r.address == answer->address;
    });
    if (known) {
        return AnswerOutcome::KnownAddress;
    }
    if (!probe_(answer->address)) {
        return AnswerOutcome::ProbeRefused;
    }
    records_.push_back(ProjectorRecord{answer->name, answer->address, 1, "", answer->mac});
    ++addedThisRun_;
    return AnswerOutcome::Added;
}

std::vector<ProjectorRecord> runDiscovery(
    const std::vector<AdaptorEntry>& adaptors, const DiscoveryTimings& timings,
    const std::function<void(const ProjectorRecord&)>& onProjectorFound, std::atomic<bool>& stop) {
    stop.store(false);
    FoundProjectors found;
    runDiscoveryWorker(
        makeDiscoveryJob(adaptors, 0, timings), stop, [&](const DiscoveryEvent& event) {
            if (event.kind == DiscoveryEventKind::DiscoveryAnswer &&
                found.handleAnswer(event.record) == AnswerOutcome::Added && onProjectorFound) {
                onProjectorFound(found.records().back());
            }
        });
    return found.records();
}

}  // namespace orvanta
