#include "commands/StatusWatch.h"

#include <condition_variable>
#include <mutex>

#include "platform/WorkerPool.h"
#include "text/LanguageText.h"

namespace orvanta {
namespace {

std::atomic<int> gThreadsAlive{0};

PollResult pollExchange(const ProjectorTarget& target, std::uint16_t code,
                        const std::atomic<bool>& stop, const ExchangeTimings& timings) {
    CommandExchange exchange(timings);
    ExchangeStatus status = exchange.open(target.address, ConnectMode::Bounded);
    if (!status) {
        const bool noSocket = errorCode(status) == toCode(ExchangeError::Socket);
        return {PollEvent::Error, noSocket ? errorCode(status) : 0};
    }
    std::string digest;
    status = exchange.readGreeting(target.password, kSmallReceiveSize, digest);
    if (!status) {
        return {PollEvent::Error, errorCode(status)};
    }
    status = exchange.sendRequest(digest, buildCtrlRequest(code, 2, 0));
    if (!status) {
        return {PollEvent::Error, toCode(ExchangeError::Send)};
    }
    status = exchange.waitReply(CancelBehaviour::NoResponse, &stop);
    if (!status) {
        return {PollEvent::Error, toCode(ExchangeError::NoResponse)};
    }
    Reply reply;
    status = exchange.receiveReply(kSmallReceiveSize, reply);
    exchange.close();
    if (!status) {
        return {PollEvent::Error, toCode(ExchangeError::Receive)};
    }
    return pollResultFromReply(code, reply);
}

PollResult classifyReply(std::uint16_t code, const Reply& reply) {
    const std::string_view head = std::string_view(reply.buffer).substr(0, 8);
    if (head == "CTRL 0\r\n") {
        // The value is the number in the four characters at offsets 14 to 17.
        int value = 0;
        for (std::size_t i = 14; i < 18; ++i) {
            const unsigned char c = reply.at(i);
            if (c < '0' || c > '9') {
                break;
            }
            value = value * 10 + (c - '0');
        }
        return {code == kCtrlAlarmStatus ? PollEvent::AlarmStatus : PollEvent::MessageStatus,
                value};
    }
    static constexpr struct {
        const char* line;
        PollEvent event;
    } kReplies[] = {
        {"CTRL 1\r\n", PollEvent::Reply1}, {"CTRL 2\r\n", PollEvent::Reply2},
        {"CTRL 3\r\n", PollEvent::Reply3}, {"CTRL 8\r\n", PollEvent::Reply8},
        {"CTRL 9\r\n", PollEvent::Reply9},
    };
    for (const auto& r : kReplies) {
        if (head == r.line) {
            return {r.event, 0};
        }
    }
    return {PollEvent::Error, 0};
}

}  // namespace

PollResult runPollExchange(const ProjectorTarget& target, std::uint16_t code,
                           const std::atomic<bool>& stop, const ExchangeTimings& timings) {
    PollResult result = pollExchange(target, code, stop, timings);
    result.code = code;
    return result;
}

PollResult pollResultFromReply(std::uint16_t code, const Reply& reply) {
    PollResult result = classifyReply(code, reply);
    result.code = code;
    return result;
}

// ---------------------------------------------------------------------------------------------
// Status fields

StatusFields messageStatusFields(int value) {
    StatusFields f;
    const int slot = value >> 8;
    f.second = slot != 0 ? formatText(Text::MessageSlotNumber, {slot})
                         : languageText(Text::MessageSlotQuick);
    f.firstEnabled = true;
    if ((value & 1) != 0) {
        f.first = languageText(Text::MessageOn);
        f.secondEnabled = true;
    } else {
        f.first = languageText(Text::MessageOff);
        f.second = languageText(Text::MessageSlotNone);
    }
    return f;
}

StatusFields alarmStatusFields(int value) {
    StatusFields f;
    const int sound = value >> 8;
    f.second = sound != 0 ? formatText(Text::AlarmSoundNumber, {sound})
                          : languageText(Text::AlarmSoundNumberNone);
    f.firstEnabled = true;
    if ((value & 0x7F) != 0) {
        f.first = languageText(Text::AlarmOn);
        f.secondEnabled = true;
        f.muteEnabled = true;
    } else {
        f.first = languageText(Text::AlarmOff);
        f.second = languageText(Text::AlarmSoundNumberUnknown);
    }
    return f;
}

std::optional<StatusFields> statusFieldsAfterPoll(const PollResult& result) {
    switch (result.event) {
        case PollEvent::MessageStatus:
            return messageStatusFields(result.value);
        case PollEvent::AlarmStatus:
            return alarmStatusFields(result.value);
        case PollEvent::Reply8:
            return std::nullopt;
        case PollEvent::Reply1:
        case PollEvent::Reply2:
        case PollEvent::Reply3:
        case PollEvent::Reply9:
        case PollEvent::Error:
            break;
    }
    return StatusFields{};
}

// ---------------------------------------------------------------------------------------------
// The loop

struct StatusPoller::Run {
    ProjectorTarget target;
    StatusPollTimings timings;
    std::atomic<bool> stop{false};
    std::mutex sinkMutex;
    StatusPollSink sink;  // emptied by stop(); guarded by sinkMutex
    std::mutex pauseMutex;
    std::condition_variable pauseEnd;

    void requestStop() {
        {
            std::lock_guard lock(pauseMutex);
            stop.store(true);
        }
        pauseEnd.notify_all();
        std::lock_guard lock(sinkMutex);
        sink = nullptr;
    }

    void deliver(const PollResult& result) {
        std::lock_guard lock(sinkMutex);
        if (sink && !stop.load()) {
            sink(result);
        }
    }

    void exchange(std::uint16_t code) {
        deliver(runPollExchange(target, code, stop, timings.exchange));
    }

    void loop() {
        for (;;) {
            exchange(kCtrlMessageStatus);
            if (stop.load()) {
                return;
            }
            exchange(kCtrlAlarmStatus);
            // The pause between rounds ends at once when the loop is stopped.
            std::unique_lock lock(pauseMutex);
            if (pauseEnd.wait_for(lock, timings.pause * timings.pauses,
                                  [this] { return stop.load(); })) {
                return;
            }
        }
    }
};

StatusPoller::StatusPoller(StatusPollTimings timings) : timings_(timings) {}

StatusPoller::~StatusPoller() {
    stop();
}

void StatusPoller::start(const ProjectorTarget& target, StatusPollSink sink) {
    stop();
    auto run = std::make_shared<Run>();
    run->target = target;
    run->timings = timings_;
    run->sink = std::move(sink);
    run_ = run;
    gThreadsAlive.fetch_add(1);
    // On the shared pool: the loop owns its state through `run`, and whoever stops it never
    // waits for a poll that may take twelve seconds to give up; the pool joins it at exit.
    const Result<void> queued = WorkerPool::shared().submit([run]() mutable {
        run->loop();
        run.reset();  // the loop's state goes before the loop counts as ended
        gThreadsAlive.fetch_sub(1);
    });
    if (!queued) {
        gThreadsAlive.fetch_sub(1);
        // No thread to poll on: the lines show what a failed poll shows.
        run->deliver({PollEvent::Error, 0, kCtrlMessageStatus});
        run->deliver({PollEvent::Error, 0, kCtrlAlarmStatus});
    }
}

void StatusPoller::stop() {
    if (!run_) {
        return;
    }
    run_->requestStop();
    run_.reset();
}

int StatusPoller::threadsAlive() {
    return gThreadsAlive.load();
}

}  // namespace orvanta
