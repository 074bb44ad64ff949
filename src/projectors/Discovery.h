#pragma once
// Finding projectors on the local network.
//
// From each local adaptor in turn we send a "DeviceSearch" datagram to the group
// 224.0.5.128, UDP port 2363, and listen on UDP port 4001 of that adaptor's address for the
// "DeviceAnswer" records projectors send back. A worker thread does the sending and
// listening and hands each 88-byte record to an event sink; the owner of the found list
// (the Discovery page, or runDiscovery below) decides on its own thread which answers become
// rows: a new address whose projector accepts a TCP connection on its command port.
//
// Search datagram (18 bytes):   0x01 0x00 "DeviceSearch" <adaptor address, MSB first>
// Answer record (88 bytes):     0x01 <any> "DeviceAnswer" <projector address, MSB first>
//                               <MAC, 6 bytes> <name, 64 bytes, ended by a zero byte or the
//                               end of the field>

#include <array>
#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "platform/EventSink.h"
#include "projectors/Adaptors.h"
#include "projectors/ProjectorRegistry.h"
#include "text/LanguageText.h"

namespace orvanta {

inline constexpr std::uint32_t kDiscoveryGroup = 0xE0000580u;  // 224.0.5.128
inline constexpr std::uint16_t kDiscoverySearchPort = 2363;
inline constexpr std::uint16_t kDiscoveryAnswerPort = 4001;
inline constexpr std::uint16_t kProjectorCommandPort = 9719;
inline constexpr int kDiscoveryTimeToLive = 10;

inline constexpr std::size_t kSearchDatagramSize = 18;
inline constexpr std::size_t kAnswerRecordSize = 88;
// Longer datagrams are cut to this length by the receive.
inline constexpr std::size_t kMaxAnswerDatagram = 1024;
// The most rows one discovery run adds to the found list.
inline constexpr std::size_t kMaxFoundPerRun = 256;
// How long the TCP probe waits for a connection before it counts as refused. The system's
// own limit would be about two minutes for a host that drops the connection attempt.
inline constexpr std::chrono::milliseconds kProbeTimeout{3000};

using SearchDatagram = std::array<std::uint8_t, kSearchDatagramSize>;
using AnswerRecord = std::array<std::uint8_t, kAnswerRecordSize>;

// The search sent from the adaptor with this address (host order).
SearchDatagram buildSearchDatagram(std::uint32_t adaptorAddress);

// The complete records of one received datagram, in order. A record starts at a 0x01 byte
// (bytes before it are skipped) and takes the 88 bytes from there; a record directly
// followed by the two bytes "WL" is dropped together with them; an incomplete record at the
// end is dropped.
std::vector<AnswerRecord> scanAnswerDatagram(std::span<const std::uint8_t> datagram);

struct DiscoveredProjector {
    std::string name;       // UTF-8, decoded from the answer's code page
    std::string mac;        // "XX-XX-XX-XX-XX-XX"
    std::uint32_t address;  // host order
};

// Nothing when bytes 2..13 are not "DeviceAnswer". The name's 8-bit text is read in
// `codePage`: sites name their projectors in their own script, so the interface language's
// code page is the best guess (932 for Japanese, 936 for Chinese, 1252 otherwise).
std::optional<DiscoveredProjector> decodeAnswerRecord(const AnswerRecord& record,
                                                      int codePage = interfaceCodePage());

// Opens a TCP connection to address:port and closes it at once. False when the connection
// is refused, fails, or is not made within `limit`.
bool probeProjector(std::uint32_t address, std::chrono::milliseconds limit = kProbeTimeout,
                    std::uint16_t port = kProjectorCommandPort);

// ---------------------------------------------------------------------------------------
// The worker.

enum class DiscoveryEventKind : std::uint32_t {
    DiscoveryAnswer = 0x5102,    // `record` holds one complete answer record
    DiscoveryFinished = 0x5103,  // the worker has ended, for whatever reason; always last
};

struct DiscoveryEvent {
    DiscoveryEventKind kind = DiscoveryEventKind::DiscoveryFinished;
    AnswerRecord record{};  // a copy, so a later answer never overwrites one not yet handled
};

// Called on the worker thread. A user interface posts the event to its own thread.
using DiscoveryEventSink = EventSink<DiscoveryEvent>;

struct DiscoveryTimings {
    // One wait for the receive socket; a listen ends after two of them have run out.
    std::chrono::milliseconds listenWait{1000};
    // Pause after each delivered answer, so that the receiving thread can keep up.
    std::chrono::milliseconds answerPause{100};
    // Poll interval while the gate address is 0.
    std::chrono::milliseconds gateWait{100};
};

struct DiscoveryJob {
    std::vector<std::uint32_t> adaptors;  // host order; only the first 15 are searched
    // The adaptor chosen when the discovery was started; while it is 0 the worker sends
    // nothing and waits for the stop flag.
    std::uint32_t gate = 0;
    DiscoveryTimings timings;
};

// The job for these adaptors, gated by the one at `selected` (or the first when `selected`
// is out of range).
DiscoveryJob makeDiscoveryJob(const std::vector<AdaptorEntry>& adaptors, std::size_t selected,
                              const DiscoveryTimings& timings = {});

// What the Discovery page searches: every adaptor of the list, in its order (loopback last),
// unless `narrowedTo` names one of them; then that one alone.
DiscoveryJob discoveryJobFor(const std::vector<AdaptorEntry>& adaptors, int narrowedTo,
                             const DiscoveryTimings& timings = {});

// Runs the worker on the calling thread until every adaptor has been searched or `stop` is
// seen. Sends one search per round, two rounds per adaptor. Ends with DiscoveryFinished.
void runDiscoveryWorker(const DiscoveryJob& job, const std::atomic<bool>& stop,
                        const DiscoveryEventSink& sink);

// The one worker thread of a discovery owner. start() ends an earlier run first (sets the
// stop flag and joins), then clears the flag and starts the new run; the destructor stops
// and joins. The earlier run's sink still receives its DiscoveryFinished; a sink that must
// tell runs apart captures its own run number. Setting the flag alone (leaving the page) is
// enough to end a run: the worker notices it within 50 ms. Call start() and stop()
// from the owner's thread, never from the sink, which runs on the worker.
// The process's discovery stop flag: set by the owner of a search (leaving the Discovery tab,
// Ctrl+C on the command line), polled by the search's worker.
std::atomic<bool>& discoveryStopFlag();

class DiscoveryRun {
  public:
    explicit DiscoveryRun(std::atomic<bool>& stop = discoveryStopFlag());
    ~DiscoveryRun();
    DiscoveryRun(const DiscoveryRun&) = delete;
    DiscoveryRun& operator=(const DiscoveryRun&) = delete;

    void start(DiscoveryJob job, DiscoveryEventSink sink);
    // Sets the stop flag and waits for the worker to end; every wait of the worker looks at
    // the flag at least every 50 ms, so this returns at once. The flag stays set.
    void stop();
    // True from start() until the worker has posted DiscoveryFinished.
    bool running() const { return running_.load(); }

  private:
    std::atomic<bool>& stop_;
    std::atomic<bool> running_{false};
    std::thread worker_;
};

// ---------------------------------------------------------------------------------------
// The found list, kept on one thread (the user-interface thread in the desktop program).

using ProjectorProbe = std::function<bool(std::uint32_t address)>;

enum class AnswerOutcome {
    Added,
    NotAnAnswer,   // bytes 2..13 are not "DeviceAnswer"
    RunFull,       // this run has added kMaxFoundPerRun rows already
    KnownAddress,  // the found list holds this address already
    ProbeRefused,  // no TCP connection on the command port
};

class FoundProjectors {
  public:
    // `probe` defaults to probeProjector with its default limit.
    explicit FoundProjectors(ProjectorProbe probe = {});

    // A new discovery run: the per-run count starts again; the rows stay.
    void startRun() { addedThisRun_ = 0; }
    // Empties the list (the "Find" button) and starts a new run.
    void clear();

    // Adds a row {name, address, authentication 1, empty password, MAC} for a new, reachable
    // projector. Probes on the calling thread.
    AnswerOutcome handleAnswer(const AnswerRecord& record);

    const std::vector<ProjectorRecord>& records() const { return records_; }

  private:
    ProjectorProbe probe_;
    std::vector<ProjectorRecord> records_;
    std::size_t addedThisRun_ = 0;
};

// A whole discovery on the calling thread, for the command line: searches from every adaptor
// (the first is the gate), probes each answer as it arrives, calls `onProjectorFound` for
// each new row and returns the rows in the order found. Clears `stop` first and ends early
// when it is set.
std::vector<ProjectorRecord> runDiscovery(
    const std::vector<AdaptorEntry>& adaptors, const DiscoveryTimings& timings,
    const std::function<void(const ProjectorRecord&)>& onProjectorFound,
    std::atomic<bool>& stop = discoveryStopFlag());

}  // namespace orvanta
