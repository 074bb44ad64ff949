#pragma once
// Keeps the Edit tab's unsaved message in the recovery file: a few seconds after the last
// change the page's message is taken (on the GUI thread, a copy) and written by a thread of
// the keeper's own, so that typing never waits for the disk. When the page holds nothing
// unsaved any more (saved, opened, new, discarded) the file is removed. writeNow writes at
// once on the calling thread, for the end of the session and SIGTERM.

#include <QObject>
#include <QTimer>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "message/RecoveryFile.h"

namespace orvanta {

class DraftKeeper : public QObject {
    Q_OBJECT
  public:
    // `snapshot` answers the page's message, or nothing when it holds no unsaved work.
    using Snapshot = std::function<std::optional<Draft>()>;
    DraftKeeper(std::string path, Snapshot snapshot, QObject* parent = nullptr);
    // Finishes the write or removal under way; later ones asked for are done first.
    ~DraftKeeper() override;

    const std::string& path() const { return path_; }
    static constexpr int kDefaultDelayMs = 2000;
    void setDelay(int ms) { timer_.setInterval(ms); }

    // The message changed: it is kept once no change has followed for the delay.
    void changed();
    // Nothing unsaved remains: the file goes (after any write still under way).
    void discard();
    // Takes the message and writes (or removes) the file before returning.
    Result<> writeNow();
    // Blocks until the writer thread has nothing left to do (tests, the end of the program).
    void waitIdle();

    // While a draft left by an earlier run waits for the operator's answer, nothing but the
    // answer touches the file: changes, discards and writeNow (a signal) leave it alone.
    void hold();
    // The answer came. `restoredFrom` (when the operator took the draft back) is the file it
    // came from: the page's message is written at once, and that file, when it is not this
    // keeper's own, goes only once the message is safely in this one.
    void release(std::optional<std::string> restoredFrom);
    bool held() const { return held_; }

  signals:
    // A write failed (on the GUI thread): the text says why. Told once until a write works.
    // An older draft that the failed write should have replaced is removed (where the
    // folder lets it), so that it is never offered as the latest.
    void writeFailed(const QString& problem);
    // A write worked again after one failed.
    void writeRecovered();

  private:
    struct Job {
        std::uint64_t sequence = 0;
        std::optional<Draft> draft;  // nothing: remove the file
        std::string removeAfter;     // a restored draft's file, removed once this is written
        bool restored = false;       // the first write of a restored draft
    };
    void takeSnapshot();
    void queue(std::optional<Draft> draft);
    void loop();
    Result<> perform(const Job& job);

    std::string path_;
    Snapshot snapshot_;
    QTimer timer_;
    bool held_ = false;  // GUI thread only

    std::mutex mutex_;
    std::condition_variable wake_;
    std::condition_variable idle_;
    std::optional<Job> next_;     // guarded by mutex_: only the latest matters
    bool busy_ = false;           // guarded by mutex_
    bool stop_ = false;           // guarded by mutex_
    std::uint64_t sequence_ = 0;  // guarded by mutex_
    // Disk work, from the thread or writeNow, one at a time and never older after newer.
    std::mutex diskMutex_;
    std::uint64_t doneSequence_ = 0;  // guarded by diskMutex_
    bool failedLast_ = false;         // guarded by diskMutex_
    std::thread thread_;
};

}  // namespace orvanta
