#include "ui/edit/DraftKeeper.h"

#include "platform/WorkerPool.h"
#include "ui/common/PostToGui.h"
#include "ui/common/UiText.h"

namespace orvanta {

DraftKeeper::DraftKeeper(std::string path, Snapshot snapshot, QObject* parent)
    : QObject(parent), path_(std::move(path)), snapshot_(std::move(snapshot)) {
    timer_.setSingleShot(true);
    timer_.setInterval(kDefaultDelayMs);
    connect(&timer_, &QTimer::timeout, this, &DraftKeeper::takeSnapshot);
    // Without a writer thread every change is written on the spot (small files, and the
    // message is kept all the same).
    if (Result<std::thread> started = startThread([this] { loop(); })) {
        thread_ = std::move(started).value();
    }
}

DraftKeeper::~DraftKeeper() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void DraftKeeper::changed() {
    // Only the timer restarts per keystroke: the message is taken once typing pauses.
    timer_.start();
}

void DraftKeeper::discard() {
    timer_.stop();
    queue(std::nullopt);
}

void DraftKeeper::takeSnapshot() {
    queue(snapshot_());
}

void DraftKeeper::queue(std::optional<Draft> draft) {
    Job job;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (thread_.joinable()) {
            next_ = Job{++sequence_, std::move(draft)};
        } else {
            job = Job{++sequence_, std::move(draft)};
        }
    }
    if (!thread_.joinable()) {
        (void)perform(job);  // a failure is told through writeFailed
        return;
    }
    wake_.notify_all();
}

Result<> DraftKeeper::writeNow() {
    timer_.stop();
    Job job;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        job = Job{++sequence_, snapshot_()};
        next_.reset();  // older than this one
    }
    return perform(job);
}

void DraftKeeper::waitIdle() {
    std::unique_lock<std::mutex> lock(mutex_);
    idle_.wait(lock, [this] { return !next_ && !busy_; });
}

Result<> DraftKeeper::perform(const Job& job) {
    std::lock_guard<std::mutex> disk(diskMutex_);
    if (job.sequence <= doneSequence_) {
        return {};  // a newer state is on disk already
    }
    doneSequence_ = job.sequence;
    Result<> done = job.draft ? writeDraft(path_, *job.draft) : removeDraft(path_);
    if (!done && !failedLast_) {
        postToGui(this, [this, problem = qs(done.error())] { emit writeFailed(problem); });
    }
    failedLast_ = !done.ok();
    return done;
}

void DraftKeeper::loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || next_.has_value(); });
        if (!next_) {
            return;  // stopped with nothing left to do
        }
        const Job job = std::move(*next_);
        next_.reset();
        busy_ = true;
        lock.unlock();
        (void)perform(job);
        lock.lock();
        busy_ = false;
        idle_.notify_all();
    }
}

}  // namespace orvanta
