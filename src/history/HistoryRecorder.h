#pragma once
// What the pages and orvanta-cli hand to the commands as their CommandHistory: it completes
// each command's record with the time, the user, the projector's address and registered name
// and the result, and gives it to a writer (an append on the spot, or a writer thread).

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "commands/CommandContext.h"
#include "history/History.h"

namespace orvanta {

// ORVANTA_NO_HISTORY set to anything but empty or "0" turns the history off.
bool historyEnabled();

// The record of `command` on `target` ended with `outcome`, at `timeMs`.
HistoryRecord makeHistoryRecord(const ProjectorTarget& target, const CommandRecord& command,
                                const Outcome& outcome, std::string projectorName,
                                std::int64_t timeMs);
// Milliseconds since 1970-01-01 UTC.
std::int64_t historyNow();

class HistoryRecorder : public CommandHistory {
  public:
    using NameOf = std::function<std::string(std::uint32_t address)>;
    using Writer = std::function<void(const HistoryRecord& record)>;
    // Both are called on the thread that ran the command.
    HistoryRecorder(NameOf nameOf, Writer write)
        : nameOf_(std::move(nameOf)), write_(std::move(write)) {}

    void record(const ProjectorTarget& target, const CommandRecord& record,
                const Outcome& outcome) override;

  private:
    NameOf nameOf_;
    Writer write_;
};

// Keeps the records of one run of a command (the command line's, to one projector or to many)
// and writes them together when the run ends: one lock and one flush to disk for all of them
// instead of one per projector. Records may come from any thread.
class BufferedHistory : public CommandHistory {
  public:
    using NameOf = HistoryRecorder::NameOf;
    using ErrorSink = std::function<void(const std::string& problem)>;
    BufferedHistory(HistoryFile file, NameOf nameOf, ErrorSink onError = {})
        : file_(std::move(file)), nameOf_(std::move(nameOf)), onError_(std::move(onError)) {}
    // Writes what is still held.
    ~BufferedHistory() override;
    BufferedHistory(const BufferedHistory&) = delete;
    BufferedHistory& operator=(const BufferedHistory&) = delete;

    void record(const ProjectorTarget& target, const CommandRecord& record,
                const Outcome& outcome) override;
    // Writes the records held so far.
    void flush();

  private:
    HistoryFile file_;
    NameOf nameOf_;
    ErrorSink onError_;
    std::mutex mutex_;
    std::vector<HistoryRecord> held_;  // guarded by mutex_
};

// Appends records on a thread of its own, in the order given, so that whoever records never
// waits for the lock or the disk. The destructor writes what is still queued and joins.
class HistoryWriterThread {
  public:
    using ErrorSink = std::function<void(const std::string& problem)>;  // on the writer thread
    explicit HistoryWriterThread(HistoryFile file, ErrorSink onError = {});
    ~HistoryWriterThread();
    HistoryWriterThread(const HistoryWriterThread&) = delete;
    HistoryWriterThread& operator=(const HistoryWriterThread&) = delete;

    void append(HistoryRecord record);
    // Blocks until everything appended so far is on disk (tests, and the end of the program).
    void flush();

  private:
    void loop();

    HistoryFile file_;
    ErrorSink onError_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable drained_;
    std::deque<HistoryRecord> queue_;  // guarded by mutex_
    bool writing_ = false;             // guarded by mutex_
    bool stop_ = false;                // guarded by mutex_
    std::thread thread_;
};

}  // namespace orvanta
