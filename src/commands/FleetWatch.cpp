#include "commands/FleetWatch.h"

#include <algorithm>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

#include "commands/StartupDisplay.h"
#include "commands/StatusWatch.h"
#include "platform/WorkerPool.h"
#include "protocol/Transfer.h"
#include "text/LanguageText.h"

namespace orvanta {
namespace {

std::atomic<int> gThreadsAlive{0};

// The number in the four characters at offset 14 of a CTRL reply, as the state query reads it.
std::uint16_t replyNumber(const Reply& reply) {
    unsigned value = 0;
    for (std::size_t i = 14; i < reply.buffer.size(); ++i) {
        const unsigned char c = reply.at(i);
        if (c < '0' || c > '9') {
            break;
        }
        value = std::min(value * 10 + (c - '0'), 100000000u);
    }
    return static_cast<std::uint16_t>(value);
}

// What the operator is told when the state query ends with `event`.
std::string stateQueryText(const TransferEvent& event) {
    TransferOutcome outcome;
    applyTransferEvent(TransferKind::CtrlStateQuery, event, outcome);
    return outcome.resultText;
}

// A follow-up on an open connection whose failure means the projector closed it (rather than
// that it stopped answering): asking again on a new connection may still get the answer.
bool connectionLost(const ExchangeResult& result) {
    const int code = errorCode(result.status);
    return code == toCode(ExchangeError::Send) || code == toCode(ExchangeError::Receive);
}

}  // namespace

std::optional<StartupDisplay> FleetStatus::startup() const {
    if (!answered || values.level < 2 || values.level == kUnreachableValue ||
        values.stateWord == -1) {
        return std::nullopt;
    }
    return decodeStartupWord(static_cast<std::uint16_t>(values.stateWord));
}

namespace {

// "ON" with what is on, or "OFF" alone.
std::string statusLineText(const StatusFields& fields) {
    return fields.secondEnabled ? fields.first + " " + fields.second : fields.first;
}

}  // namespace

FleetStatusTexts fleetStatusTexts(const FleetStatus& status) {
    FleetStatusTexts texts{
        languageText(status.answered ? Text::FleetReachableYes : Text::FleetReachableNo),
        "-",
        "-",
        "-",
        "-",
        {}};
    if (!status.answered) {
        // On one line: a line break becomes a blank, unless a blank follows it anyway.
        for (std::size_t i = 0; i < status.problem.size(); ++i) {
            const char c = status.problem[i];
            const bool blankFollows = i + 1 < status.problem.size() && status.problem[i + 1] == ' ';
            if (c == '\n' && !blankFollows) {
                texts.problem += ' ';
            } else if (c != '\n' && c != '\r') {
                texts.problem += c;
            }
        }
        return texts;
    }
    texts.level = std::to_string(status.values.level);
    if (status.messageStatus) {
        texts.message = statusLineText(messageStatusFields(*status.messageStatus));
    }
    if (status.alarmStatus) {
        texts.alarm = statusLineText(alarmStatusFields(*status.alarmStatus));
    }
    if (const auto startup = status.startup()) {
        if (!startup->on) {
            texts.startup = languageText(Text::FleetStartupNone);
        } else {
            const StartupAreaTexts area = startupAreaTexts(true, *startup);
            texts.startup = area.savedNumber + ", " + area.displayTime +
                            (area.minutes ? " " + languageText(Text::MainMinutes) : "");
        }
    }
    return texts;
}

FleetStatus pollFleetMember(const ProjectorTarget& target, const std::atomic<bool>& stop,
                            const ExchangeTimings& timings) {
    FleetStatus status;
    status.address = target.address;

    // Everything is asked over one connection, as the state query asks its follow-ups: three
    // connections per projector would cost the projector and this computer more than the
    // requests themselves.
    ExchangeRequest request;
    request.address = target.address;
    request.password = target.password;
    request.mode = ConnectMode::Bounded;
    request.verb = Verb::Ctrl;
    request.text = buildCtrlRequest(kCtrlStateQuery, 2, 0);
    request.cancel = &stop;
    CommandExchange exchange(timings);
    const ExchangeResult first = runExchangeKeepOpen(exchange, request);
    if (stoppedFor(first.status, ExchangeStop::Kind::Unreachable)) {
        status.problem = communicationErrorText(toCode(ExchangeError::Connect));
        return status;
    }
    if (!first.status) {
        status.problem =
            stateQueryText({TransferEventType::TransferFailed, errorCode(first.status)});
        return status;
    }
    if (first.code > 1) {
        status.problem = stateQueryText({TransferEventType::ReplyReceived, first.code});
        return status;
    }
    status.values.level = replyNumber(first.reply);
    auto ask = [&](std::uint16_t code, int maxDigit) -> std::optional<std::uint16_t> {
        if (!exchange.isOpen()) {
            return std::nullopt;
        }
        const ExchangeResult answer =
            followUp(exchange, first.digest, Verb::Ctrl, buildCtrlRequest(code, 2, 0),
                     kSmallReceiveSize, CancelBehaviour::NoResponse, &stop);
        if (!answer.status || answer.code > maxDigit) {
            return std::nullopt;
        }
        return replyNumber(answer.reply);
    };
    if (first.code == 0 && status.values.level > 2) {
        status.values.capabilityFlags =
            static_cast<std::int16_t>(ask(kCtrlCapabilities, 0).value_or(0xFFFF));
        const auto word = ask(kCtrlProjectorValue, 1);
        status.values.stateWord = word ? static_cast<std::int16_t>(*word) : -1;
    }
    status.answered = true;
    status.answeredAt = std::chrono::system_clock::now();

    ProjectorInfo info;
    info.values = status.values;
    status.watched = info.levelUsable() && status.values.capabilities().extendedOptions();
    if (!status.watched) {
        return status;
    }
    auto askStatus = [&](std::uint16_t code) -> std::optional<int> {
        PollResult result;
        bool asked = false;
        if (exchange.isOpen()) {
            const ExchangeResult answer =
                followUp(exchange, first.digest, Verb::Ctrl, buildCtrlRequest(code, 2, 0),
                         kSmallReceiveSize, CancelBehaviour::NoResponse, &stop);
            asked = !connectionLost(answer);
            if (answer.status) {
                result = pollResultFromReply(code, answer.reply);
            }
        }
        if (!asked && !stop.load()) {
            result = runPollExchange(target, code, stop, timings);
        }
        const PollEvent expected =
            code == kCtrlAlarmStatus ? PollEvent::AlarmStatus : PollEvent::MessageStatus;
        return result.event == expected ? std::optional<int>(result.value) : std::nullopt;
    };
    status.messageStatus = askStatus(kCtrlMessageStatus);
    status.alarmStatus = askStatus(kCtrlAlarmStatus);
    return status;
}

std::vector<FleetStatus> runFleetRound(const std::vector<ProjectorTarget>& members,
                                       const std::atomic<bool>& stop,
                                       const FleetWatchTimings& timings,
                                       const FleetSink& progress) {
    std::vector<FleetStatus> statuses(members.size());
    std::atomic<std::size_t> next{0};
    auto work = [&] {
        for (std::size_t i = next++; i < members.size(); i = next++) {
            statuses[i] = pollFleetMember(members[i], stop, timings.exchange);
            statuses[i].index = i;
            if (progress) {
                progress(statuses[i]);
            }
        }
    };
    const std::size_t count = std::min(members.size(), std::max<std::size_t>(timings.parallel, 1));
    if (count > 1) {
        WorkerPool helpers(count - 1);
        for (std::size_t w = 1; w < count; ++w) {
            // A helper that cannot start leaves its share to the others: the calling thread
            // asks every projector no helper took.
            if (!helpers.submit(work)) {
                break;
            }
        }
        work();
    } else {
        work();
    }
    return statuses;
}

// ---------------------------------------------------------------------------------------------
// The watch

struct FleetPoller::Run {
    using Clock = std::chrono::steady_clock;

    std::vector<ProjectorTarget> members;
    FleetWatchTimings timings;
    std::atomic<bool> stop{false};

    std::mutex mutex;                         // guards the schedule below
    std::condition_variable scheduleChanged;  // the scheduler waits on it
    std::condition_variable workQueued;       // the workers wait on it
    std::deque<std::size_t> queue;            // projectors due and not yet taken
    std::vector<Clock::time_point> due;       // when each projector is asked next
    std::vector<bool> asking;                 // queued or being asked
    std::vector<bool> again;                  // refreshNow() came while being asked

    std::mutex sinkMutex;
    FleetSink sink;  // emptied by requestStop(); guarded by sinkMutex

    std::atomic<int> running{0};
    // One thread per worker and one for the scheduler, each running its loop for the whole
    // watch. Declared last: destroyed first, it joins them while the rest is still there.
    std::unique_ptr<WorkerPool> pool;

    void requestStop() {
        {
            std::lock_guard lock(mutex);
            stop.store(true);
        }
        scheduleChanged.notify_all();
        workQueued.notify_all();
        std::lock_guard lock(sinkMutex);
        sink = nullptr;
    }

    void deliver(const FleetStatus& status) {
        std::lock_guard lock(sinkMutex);
        if (sink && !stop.load()) {
            sink(status);
        }
    }

    void schedule() {
        std::unique_lock lock(mutex);
        while (!stop.load()) {
            const Clock::time_point now = Clock::now();
            // Nothing due: sleep for an hour at most (the wake-ups come from the workers).
            Clock::time_point wake = now + std::chrono::hours(1);
            bool queued = false;
            for (std::size_t i = 0; i < members.size(); ++i) {
                if (asking[i]) {
                    continue;
                }
                if (due[i] <= now) {
                    asking[i] = true;
                    queue.push_back(i);
                    queued = true;
                } else {
                    wake = std::min(wake, due[i]);
                }
            }
            if (queued) {
                workQueued.notify_all();
            }
            scheduleChanged.wait_until(lock, wake);
        }
    }

    void work() {
        std::unique_lock lock(mutex);
        for (;;) {
            workQueued.wait(lock, [this] { return stop.load() || !queue.empty(); });
            if (stop.load()) {
                return;
            }
            const std::size_t i = queue.front();
            queue.pop_front();
            lock.unlock();
            FleetStatus status = pollFleetMember(members[i], stop, timings.exchange);
            status.index = i;
            deliver(status);
            lock.lock();
            asking[i] = false;
            due[i] = again[i] ? Clock::now() : Clock::now() + timings.interval;
            again[i] = false;
            scheduleChanged.notify_one();
        }
    }

    // Starts `loops` loops of `body`; false when a thread could not be had for each of them
    // (a loop queued behind the others would never run, as they end only with the watch).
    bool launch(std::size_t loops, const std::function<void()>& body) {
        for (std::size_t i = 0; i < loops; ++i) {
            running.fetch_add(1);
            gThreadsAlive.fetch_add(1);
            const Result<void> queued = pool->submit([this, body] {
                body();
                running.fetch_sub(1);
                gThreadsAlive.fetch_sub(1);
            });
            if (!queued) {
                running.fetch_sub(1);
                gThreadsAlive.fetch_sub(1);
                return false;
            }
        }
        return pool->threadCount() >= static_cast<std::size_t>(running.load());
    }

    void join() { pool.reset(); }
};

FleetPoller::FleetPoller(FleetWatchTimings timings) : timings_(timings) {}

FleetPoller::~FleetPoller() {
    stop();
    for (const auto& run : stopped_) {
        run->join();
    }
}

void FleetPoller::start(std::vector<ProjectorTarget> members, FleetSink sink) {
    stop();
    reapEnded();
    if (members.empty()) {
        return;
    }
    auto run = std::make_shared<Run>();
    run->timings = timings_;
    run->sink = std::move(sink);
    run->due.assign(members.size(), Run::Clock::now());
    run->asking.assign(members.size(), false);
    run->again.assign(members.size(), false);
    run->members = std::move(members);
    const std::size_t workers =
        std::min(run->members.size(), std::max<std::size_t>(timings_.parallel, 1));
    run->pool = std::make_unique<WorkerPool>(workers + 1);
    Run* r = run.get();
    if (!r->launch(1, [r] { r->schedule(); }) || !r->launch(workers, [r] { r->work(); })) {
        // No threads to watch with: every projector says so, once, and the watch ends.
        FleetStatus status;
        status.problem = languageText(Text::NoWorkerThread);
        for (std::size_t i = 0; i < r->members.size(); ++i) {
            status.index = i;
            status.address = r->members[i].address;
            r->deliver(status);
        }
        r->requestStop();
        stopped_.push_back(std::move(run));
        return;
    }
    run_ = std::move(run);
}

void FleetPoller::refreshNow() {
    if (!run_) {
        return;
    }
    {
        std::lock_guard lock(run_->mutex);
        const Run::Clock::time_point now = Run::Clock::now();
        for (std::size_t i = 0; i < run_->due.size(); ++i) {
            if (run_->asking[i]) {
                run_->again[i] = true;
            } else {
                run_->due[i] = now;
            }
        }
    }
    run_->scheduleChanged.notify_all();
}

void FleetPoller::stop() {
    if (!run_) {
        return;
    }
    run_->requestStop();
    stopped_.push_back(std::move(run_));
    run_.reset();
}

void FleetPoller::reapEnded() {
    for (auto it = stopped_.begin(); it != stopped_.end();) {
        if ((*it)->running.load() == 0) {
            (*it)->join();
            it = stopped_.erase(it);
        } else {
            ++it;
        }
    }
}

int FleetPoller::threadsAlive() {
    return gThreadsAlive.load();
}

}  // namespace orvanta
