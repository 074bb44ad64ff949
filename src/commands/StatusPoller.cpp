#include "commands/StatusPoller.h"

#include <condition_variable>
#include <mutex>
#include <thread>

namespace orvanta {
namespace {

std::atomic<int> gThreadsAlive{0};

}  // namespace

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

    void deliver(std::uint16_t code, const PollResult& result) {
        std::lock_guard lock(sinkMutex);
        if (sink && !stop.load()) {
            sink(code, result);
        }
    }

    void exchange(std::uint16_t code) {
        deliver(code, runPollExchange(target, code, stop, timings.exchange));
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
    // Detached on purpose: the loop owns its state through `run`, and whoever stops it must
    // never wait for a poll that may take twelve seconds to give up.
    std::thread([run]() mutable {
        run->loop();
        run.reset();  // the loop's state goes before the thread counts as ended
        gThreadsAlive.fetch_sub(1);
    }).detach();
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
