#pragma once
// One command to many projectors at once: the desktop program's many-projector dialog and
// every orvanta-cli command given more than one projector run it.
//
// Each projector is a row with a transfer flag set, runner, prompt and projector information
// of its own. The run's own worker pool (platform/WorkerPool.h, at most maxParallel threads)
// takes the rows in order; a projector that fails or hangs holds up only its own worker. A row
// no thread can be started for fails with the program's text, as a projector that cannot be
// reached does. Each row reports what it is doing and how it
// ended through the event sink (on the worker's thread). cancel() ends every row not yet
// finished: rows not started end at once, running ones are cancelled as a single command is
// (a message already sent is told to drop what it got). retryFailed() runs only the rows that
// did not complete.
//
// Questions the command asks the same way of every projector (unsupported characters, a
// title too long, Clear's "Are you sure?") are asked once, before the fan-out, through the
// caller's prompt (rehearse*); the rows take the answers from the AnswerBook. A question no
// rehearsal asked concerns one projector: it is not put to the operator but ends that row
// with its text.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "commands/CommandContext.h"
#include "commands/SendCommand.h"
#include "platform/EventSink.h"
#include "platform/WorkerPool.h"

namespace orvanta {

struct ManyProjectorTarget {
    ProjectorTarget target;
    std::string name;  // the registered name, may be empty
    // A group member that is no longer registered: its row fails at once and says so.
    bool missing = false;
};

// What a row is doing, then how it ended.
enum class RowStage {
    Waiting,      // not started yet
    Connecting,   // the first exchange (state query, error status)
    Controlling,  // a control command or check
    Sending,      // the PUT
    Saving,       // the save wait
    Cancelling,   // telling the projector to drop what it got
    Complete,
    Failed,
    Cancelled,
};
bool rowFinished(RowStage stage);
// The row's stage in the program's words ("Now Sending...", "Complete", ...).
std::string rowStageText(RowStage stage);

struct ManyProjectorEvent {
    enum class Kind { Row, Finished };
    Kind kind = Kind::Row;
    std::size_t row = 0;
    RowStage stage = RowStage::Waiting;
    std::string text;  // the end text of a finished row (the program's words)
};

// The answers the operator gave once for the whole run, by question text.
class AnswerBook {
  public:
    std::optional<PromptAnswer> find(const std::string& question) const;
    void add(const std::string& question, PromptAnswer answer);
    std::size_t size() const;

  private:
    mutable std::mutex mutex_;
    std::map<std::string, PromptAnswer> answers_;
};

// The work for one projector, run on a worker thread with the row's own context.
using ManyProjectorOperation = std::function<Outcome(const CommandContext&)>;

struct ManyProjectorRunOptions {
    std::size_t maxParallel = 64;
    TransferTimings timings;
    // Answers asked before the fan-out; may be null (no question was asked).
    std::shared_ptr<const AnswerBook> answers;
    // Every question is answered Yes/OK (orvanta-cli --yes).
    bool answerYes = false;
    // Where every row's command is recorded (it must take records from several threads at
    // once); none when null.
    CommandHistory* history = nullptr;
};

// The most projectors a many-projector run talks to at the same time.
inline constexpr std::size_t kMaxParallelProjectors = 64;

class ManyProjectorRun {
  public:
    ManyProjectorRun(std::vector<ManyProjectorTarget> targets, ManyProjectorOperation operation,
                     EventSink<ManyProjectorEvent> sink, ManyProjectorRunOptions options = {});
    // Cancels what still runs and joins the workers.
    ~ManyProjectorRun();
    ManyProjectorRun(const ManyProjectorRun&) = delete;
    ManyProjectorRun& operator=(const ManyProjectorRun&) = delete;

    // Starts every row that has not completed and returns at once. Nothing when running.
    void start();
    // Runs the rows that failed or were cancelled again; false when running or none did.
    bool retryFailed();
    // Ends every row not yet finished.
    void cancel();
    // Blocks until the run has ended (the command line; never the GUI thread).
    void wait();
    bool running() const;

    struct Summary {
        std::size_t total = 0;
        std::size_t complete = 0;
        std::size_t failed = 0;  // failed or cancelled
    };
    Summary summary() const;
    std::size_t size() const { return rows_.size(); }
    const ManyProjectorTarget& target(std::size_t row) const;
    RowStage stage(std::size_t row) const;
    std::string text(std::size_t row) const;
    // How many times the operation ran for this row (tests: nothing is sent twice).
    int attempts(std::size_t row) const;

  private:
    struct Row;
    void runRow(std::size_t index);
    void rowEnded();
    void finishRow(std::size_t index, RowStage stage, std::string text);
    void report(const ManyProjectorEvent& event);

    std::vector<std::unique_ptr<Row>> rows_;
    ManyProjectorOperation operation_;
    EventSink<ManyProjectorEvent> sink_;
    ManyProjectorRunOptions options_;
    mutable std::mutex mutex_;    // guards the rows' stage and text, unfinished_ and running_
    std::size_t unfinished_ = 0;  // rows of the current pass not ended yet
    bool running_ = false;
    // Declared last: destroyed first, it runs the rows still queued (they end as cancelled)
    // and joins its threads while the rest of the run is still there.
    std::unique_ptr<WorkerPool> pool_;
};

// A summary line: "38 of 40 complete, 2 failed".
std::string manyProjectorSummaryText(const ManyProjectorRun::Summary& summary);

// ---------------------------------------------------------------------------------------------
// The commands a many-projector run carries out

// What the Edit page's Send runs for each projector: the state query, the checks, `message`
// encoded with `settings` and this projector's capabilities, the PUT, and the startup display
// for `slot` when `startupMinutes` is given; "    Complete." at the end.
Outcome sendMessageInManyProjectorRun(const CommandContext& context, const Message& message,
                                      EncodeSettings settings, std::uint8_t slot,
                                      std::optional<int> startupMinutes);
// The same when the message depends on the projector (RowMessage).
Outcome sendMessageInManyProjectorRun(const CommandContext& context,
                                      const RowMessageFor& messageFor, EncodeSettings settings,
                                      std::uint8_t slot, std::optional<int> startupMinutes);
// The questions of encoding `message` with `settings`, asked once as rehearseSend asks them.
std::shared_ptr<AnswerBook> rehearseMessage(const Message& message, const EncodeSettings& settings,
                                            std::uint8_t slot, Prompt& prompt);

// Asks the questions of sending `file` once, through `prompt`, for every kind of projector
// (with and without the extended options and wide characters), without talking to any.
// Nothing when the operator called the send off.
std::shared_ptr<AnswerBook> rehearseSend(const SendFile& file, const SendRequest& request,
                                         Prompt& prompt);
// The same for an operation whose questions do not depend on the projector: it is run once
// against no projector, its questions going to `prompt`. Nothing when called off.
std::shared_ptr<AnswerBook> rehearse(const ManyProjectorOperation& operation, Prompt& prompt);

}  // namespace orvanta
