#include "platform/WorkerPool.h"

#include <algorithm>
#include <string>
#include <system_error>
#include <utility>

namespace orvanta {

Result<std::thread> startThread(std::function<void()> body) {
    try {
        return std::thread(std::move(body));
    } catch (const std::system_error& e) {
        return fail(std::string("No thread could be started for the background work: ") + e.what());
    }
}

WorkerPool::WorkerPool(std::size_t maxThreads, ThreadStarter starter)
    : maxThreads_(std::max<std::size_t>(maxThreads, 1)), starter_(std::move(starter)) {
    if (!starter_) {
        starter_ = [](std::function<void()> body) { return std::thread(std::move(body)); };
    }
}

WorkerPool::~WorkerPool() {
    {
        std::lock_guard lock(mutex_);
        ending_ = true;
    }
    queued_.notify_all();
    // No thread is added once ending_ is set, so the list is stable here.
    for (std::thread& t : threads_) {
        t.join();
    }
}

Result<void> WorkerPool::submit(Task task) {
    std::unique_lock lock(mutex_);
    if (ending_) {
        return fail("The background work is ending and takes no more tasks.");
    }
    const std::size_t waiting = tasks_.size();
    const bool allBusy = busy_ + waiting >= threads_.size();
    if (allBusy && threads_.size() < maxThreads_) {
        try {
            threads_.push_back(starter_([this] { work(); }));
        } catch (const std::system_error& e) {
            if (threads_.empty()) {
                return fail(std::string("No thread could be started for the background work: ") +
                            e.what());
            }
            // The threads the pool has will take it when they come free.
        }
    }
    tasks_.push_back(std::move(task));
    lock.unlock();
    queued_.notify_one();
    return {};
}

void WorkerPool::waitIdle() {
    std::unique_lock lock(mutex_);
    idle_.wait(lock, [this] { return tasks_.empty() && busy_ == 0; });
}

std::size_t WorkerPool::threadCount() const {
    std::lock_guard lock(mutex_);
    return threads_.size();
}

void WorkerPool::work() {
    std::unique_lock lock(mutex_);
    for (;;) {
        queued_.wait(lock, [this] { return ending_ || !tasks_.empty(); });
        if (tasks_.empty()) {
            return;  // ending, and nothing left to run
        }
        Task task = std::move(tasks_.front());
        tasks_.pop_front();
        ++busy_;
        lock.unlock();
        task();
        task = nullptr;  // what the task holds goes before the pool counts it as done
        lock.lock();
        --busy_;
        if (busy_ == 0 && tasks_.empty()) {
            idle_.notify_all();
        }
    }
}

WorkerPool& WorkerPool::shared() {
    static WorkerPool pool(kSharedThreads);
    return pool;
}

}  // namespace orvanta
