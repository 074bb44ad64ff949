#pragma once
// Transfers: one worker thread runs one kind of exchange with a projector, reports its
// progress as events, and writes what it read into the record of its kind.  The owner (the
// status dialog in the desktop program, a blocking runner in tests and on the command line)
// turns the events into the outcome the caller reads: the status line, a result code, a
// result text and success or failure.
//
// Threads: the worker writes only its own record and the two flags of its TransferFlags, and
// it has written the record before it reports its final event.  The owner reads the record
// only after that event and never starts another run of the same job before the worker of the
// previous run has ended (TransferJob joins it).

#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <thread>

#include "protocol/CommandExchange.h"

namespace orvanta {

enum class TransferKind : std::uint8_t {
    Put = 0,             // PUT of a message                 (MessageTransferRecord)
    Text = 1,            // TEXT: read a stored message back  (MessageTransferRecord)
    Ctrl = 2,            // CTRL returning a status character (ControlRecord)
    Info = 3,            // INFO of a slot                    (InfoRecord)
    Stat = 4,            // STAT polling while a save runs    (InfoRecord)
    Cancel = 5,          // CANCEL                            (MessageTransferRecord)
    CtrlRead = 6,        // CTRL returning a number, bounded connect (ControlRecord)
    CtrlStateQuery = 7,  // CTRL 0F01 with its follow-ups, bounded connect (ControlRecord)
};

// The wire word of the kind's verb ("PUT", ..., "CTRL" for every CTRL kind).
std::string_view transferVerbWord(TransferKind kind);

inline constexpr std::size_t kMessageHeaderBytes = 32;
inline constexpr std::size_t kTransferBodyBytes = 4500;
// PUT bodies shorter than this count as complete even when a cancel was asked for.
inline constexpr std::int32_t kCancelCarryOverLength = 500;
// STAT rounds of "still saving" after which the poll gives up with error 11.
inline constexpr int kStatMaxBusyRounds = 21;
// The value a CtrlRead or CtrlStateQuery reports for a projector that does not accept the
// connection in time.
inline constexpr std::uint16_t kUnreachableValue = 0xF000;

struct MessageTransferRecord {
    // PUT: body length.  TEXT: in, the stored length reported by INFO; out, the length of
    // the message read back.
    std::int32_t length = 0;
    std::array<std::uint8_t, kMessageHeaderBytes> header{};
    // PUT sends the first `length` bytes; TEXT overwrites it with the message read back.
    std::array<std::uint8_t, kTransferBodyBytes> body{};
    std::uint32_t address = 0;    // IPv4, host order
    std::uint8_t slot = 0;        // Save-ID
    std::int32_t infoLength = 0;  // TEXT: reply length measured by the preceding INFO
    std::string password;         // UTF-8
};

struct ControlRecord {
    std::uint16_t code = 0;
    std::uint8_t count = 0;   // parameter count, the request's second line
    std::uint16_t value = 0;  // in: the parameter when count is 1; out: what the projector said
    std::uint32_t address = 0;
    std::string password;
    std::int16_t extra1 = -1;  // CtrlStateQuery follow-ups; -1 when not asked or not answered
    std::int16_t extra2 = -1;
};

struct InfoRecord {
    std::array<char, 64> headerHex{};  // INFO: the stored header as hexadecimal characters
    // In: the slot asked for.  Out (INFO): the reply's byte that names the slot, a character.
    std::uint8_t slot = 0;
    std::int32_t messageLength = 0;
    std::uint32_t address = 0;
    std::int32_t replyLength = 0;
    std::string password;
    char saveStatus = 0;  // STAT: last save status character

    // headerHex up to its first zero byte.
    std::string_view headerHexText() const;
};

// Flags shared between the user-interface thread and the workers.  cancelRequested is set by
// the operator; cancelPending carries a cancel pressed during a long PUT over to the STAT
// poll that follows it.
struct TransferFlags {
    std::atomic<bool> cancelRequested{false};
    std::atomic<bool> cancelPending{false};
    // The operator asked to stop the whole command (Ctrl+C on the command line). Unlike
    // cancelRequested, a run start does not clear it, so a cancel that falls between two
    // runs of a sequence is not lost.
    std::atomic<bool> stopRequested{false};
    // Set by a PUT whose cancel was set aside because the short message was already whole on
    // the projector; cleared when the next PUT starts. The send tells the operator so.
    std::atomic<bool> cancelOverruled{false};

    bool cancelAsked() const { return cancelRequested.load() || stopRequested.load(); }
};
// The pair the whole program shares.
TransferFlags& processTransferFlags();

struct TransferTimings {
    ExchangeTimings exchange;
    // Pause between two STAT rounds while the projector is still saving.  Shortened by tests
    // only; the projector expects the default.
    std::chrono::milliseconds statInterval{500};
};

// What a worker reports.  Order: TransferStarted, any number of SaveStatus (STAT only), then
// exactly one final event (TransferFailed, ReplyReceived, TransferCancelled,
// ProjectorUnreachable) - except that a STAT poll ends after the SaveStatus that ends the run.
enum class TransferEventType {
    TransferStarted,
    TransferFailed,  // value: exchange error code (11..23)
    ReplyReceived,   // value: reply digit
    SaveStatus,      // value: the status character
    TransferCancelled,
    ProjectorUnreachable,
};

struct TransferEvent {
    TransferEventType type = TransferEventType::TransferStarted;
    int value = 0;
    friend bool operator==(const TransferEvent&, const TransferEvent&) = default;
};

// Where a worker reports to.  post is called on the worker thread; an implementation hands
// the event over to its owner's thread keeping the order.
class TransferEventSink {
  public:
    virtual ~TransferEventSink() = default;
    virtual void post(const TransferEvent& event) = 0;
};

enum class TransferEnd { Running, Success, Failure };

// What the owner makes of the events (the status dialog's fields besides the records).  A
// job keeps it across runs: a text left "unchanged" by an event is the previous run's.
struct TransferOutcome {
    std::int32_t resultCode = 0;
    std::string resultText;
    char saveStatus = 0;
    std::string statusLine;
    TransferEnd end = TransferEnd::Running;

    bool succeeded() const { return end == TransferEnd::Success; }
    // The modal run's return value: 1 success, 2 failure.
    int dialogResult() const { return end == TransferEnd::Success ? 1 : 2; }
};

// Applies one event of a `kind` run to `outcome` and returns how the run stands afterwards.
// Pure: the same for the dialog and the blocking runner.
TransferEnd applyTransferEvent(TransferKind kind, const TransferEvent& event,
                               TransferOutcome& outcome);

// Reply readers, pure functions of the received bytes. An INFO reply's stored header, slot
// character and lengths into `record`.
void readInfoReply(const Reply& reply, InfoRecord& record);
// The message of a whole TEXT reply into record.body and record.length; false when its
// Length runs past the reply or the body.
bool readTextReply(std::string_view reply, MessageTransferRecord& record);

// The error text shown for a failed exchange: "Communication error", "\n : " and the text
// of the code.
std::string communicationErrorText(int code);

// Runs the worker of `kind` on the calling thread, start to final event, on the record that
// the kind uses.
void runTransferWorker(TransferKind kind, MessageTransferRecord& message, ControlRecord& control,
                       InfoRecord& info, TransferFlags& flags, const TransferTimings& timings,
                       TransferEventSink& sink);

// One "status dialog object" without the window: the records, the outcome and at most one
// worker thread.  Not copyable; waits for a running worker when destroyed.
class TransferJob {
  public:
    explicit TransferJob(TransferFlags& flags = processTransferFlags(),
                         TransferTimings timings = {});
    ~TransferJob();
    TransferJob(const TransferJob&) = delete;
    TransferJob& operator=(const TransferJob&) = delete;

    // Caller's inputs (and the worker's outputs after the run).
    MessageTransferRecord message;
    ControlRecord control;
    InfoRecord info;
    // Ctrl only: run without showing anything.
    bool hidden = false;

    TransferOutcome outcome;

    // Starts a run of `kind`: waits for the previous run's worker, clears the flags as a run
    // start does (cancelRequested always, cancelPending except for Stat and Cancel) and starts
    // the worker thread, which reports to `sink`.
    void start(TransferKind kind, TransferEventSink& sink);
    // Applies an event of the current run on the owner's thread.  True once the run has
    // ended; events after the end are ignored.  A control exchange that the operator's
    // cancel cut short still ends with error 17, but its result text says it was cancelled.
    bool handle(const TransferEvent& event);
    // Waits for the current worker (it ends right after its final event).
    void join();

    TransferKind kind() const { return kind_; }
    bool ended() const { return outcome.end != TransferEnd::Running; }
    TransferFlags& flags() const { return flags_; }
    const TransferTimings& timings() const { return timings_; }
    void setTimings(const TransferTimings& timings) { timings_ = timings; }

  private:
    TransferFlags& flags_;
    TransferTimings timings_;
    TransferKind kind_ = TransferKind::Put;
    std::thread worker_;
};

// How the command operations run a transfer: the status dialog in the desktop program, a
// plain blocking run in tests and on the command line.  run returns 1 for success and 2 for
// failure; the outcome and the records are in the job afterwards.
class TransferRunner {
  public:
    explicit TransferRunner(TransferFlags& flags = processTransferFlags(),
                            TransferTimings timings = {})
        : flags_(flags), timings_(timings) {}
    virtual ~TransferRunner() = default;

    virtual int run(TransferJob& job, TransferKind kind) = 0;

    // Jobs made for this runner use these.
    TransferFlags& flags() const { return flags_; }
    const TransferTimings& timings() const { return timings_; }

  private:
    TransferFlags& flags_;
    TransferTimings timings_;
};

// Runs the worker on its own thread and waits on the calling thread for its events.
class BlockingTransferRunner : public TransferRunner {
  public:
    using TransferRunner::TransferRunner;
    // Called on the running thread for every event after it was applied (tests press Cancel
    // here; the command line prints progress).
    using Observer = std::function<void(TransferJob& job, const TransferEvent& event)>;
    void setObserver(Observer observer) { observer_ = std::move(observer); }

    int run(TransferJob& job, TransferKind kind) override;

  private:
    Observer observer_;
};

}  // namespace orvanta
