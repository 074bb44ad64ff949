#include "history/HistoryRecorder.h"

#include <chrono>
#include <cstdlib>
#include <iterator>
#include <string_view>
#include <vector>

#include "platform/WorkerPool.h"
#include "projectors/ProjectorRegistry.h"
#include "text/LanguageText.h"

namespace orvanta {
namespace {

std::string trimmed(std::string text) {
    const std::size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) {
        return {};
    }
    const std::size_t last = text.find_last_not_of(" \t\r\n");
    return text.substr(first, last - first + 1);
}

}  // namespace

bool historyEnabled() {
    const char* off = std::getenv("ORVANTA_NO_HISTORY");
    return off == nullptr || *off == '\0' || std::string_view(off) == "0";
}

std::int64_t historyNow() {
    using namespace std::chrono;
    return duration_cast<milliseconds>(system_clock::now().time_since_epoch()).count();
}

HistoryRecord makeHistoryRecord(const ProjectorTarget& target, const CommandRecord& command,
                                const Outcome& outcome, std::string projectorName,
                                std::int64_t timeMs) {
    HistoryRecord r;
    r.time = timeMs;
    r.user = currentUserName();
    r.address = formatAddress(target.address);
    r.projector = std::move(projectorName);
    r.command = command.command;
    r.slot = command.slot;
    r.detail = command.detail;
    switch (outcome.kind) {
        case Outcome::Kind::Done:
            r.result = "done";
            r.text = trimmed(outcome.text.empty() ? languageText(Text::Complete) : outcome.text);
            break;
        case Outcome::Kind::Failed:
            r.result = "failed";
            r.text = trimmed(outcome.text);
            break;
        case Outcome::Kind::Cancelled:
            r.result = "cancelled";
            r.text = trimmed(outcome.text);
            break;
    }
    r.title = command.title;
    r.templateName = command.templateName;
    r.templateValues = command.templateValues;
    r.message = command.message;
    r.source = command.source;
    return r;
}

void HistoryRecorder::record(const ProjectorTarget& target, const CommandRecord& record,
                             const Outcome& outcome) {
    write_(makeHistoryRecord(target, record, outcome,
                             nameOf_ ? nameOf_(target.address) : std::string(), historyNow()));
}

BufferedHistory::~BufferedHistory() {
    flush();
}

void BufferedHistory::record(const ProjectorTarget& target, const CommandRecord& record,
                             const Outcome& outcome) {
    HistoryRecord complete = makeHistoryRecord(
        target, record, outcome, nameOf_ ? nameOf_(target.address) : std::string(), historyNow());
    std::lock_guard<std::mutex> lock(mutex_);
    held_.push_back(std::move(complete));
}

void BufferedHistory::flush() {
    std::vector<HistoryRecord> records;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        records.swap(held_);
    }
    if (records.empty()) {
        return;
    }
    if (const Result<> appended = file_.append(records); !appended && onError_) {
        onError_(appended.error());
    }
}

HistoryWriterThread::HistoryWriterThread(HistoryFile file, ErrorSink onError)
    : file_(std::move(file)), onError_(std::move(onError)) {
    Result<std::thread> started = startThread([this] { loop(); });
    if (started) {
        thread_ = std::move(started).value();
        return;
    }
    // Without a writer the records are not kept; whoever listens is told once, here.
    stop_ = true;
    if (onError_) {
        onError_(started.error());
    }
}

HistoryWriterThread::~HistoryWriterThread() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) {
        thread_.join();
    }
}

void HistoryWriterThread::append(HistoryRecord record) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stop_) {
            return;  // no writer thread (told at construction)
        }
        queue_.push_back(std::move(record));
    }
    wake_.notify_all();
}

void HistoryWriterThread::flush() {
    std::unique_lock<std::mutex> lock(mutex_);
    drained_.wait(lock, [this] { return queue_.empty() && !writing_; });
}

void HistoryWriterThread::loop() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || !queue_.empty(); });
        if (queue_.empty()) {
            return;  // stopped, and everything is written
        }
        // Whatever has come in meanwhile goes in one write: a send to many projectors ends
        // with many records at once.
        std::vector<HistoryRecord> next(std::make_move_iterator(queue_.begin()),
                                        std::make_move_iterator(queue_.end()));
        queue_.clear();
        writing_ = true;
        lock.unlock();
        const Result<> appended = file_.append(next);
        if (!appended && onError_) {
            onError_(appended.error());
        }
        lock.lock();
        writing_ = false;
        drained_.notify_all();
    }
}

}  // namespace orvanta
