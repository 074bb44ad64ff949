#include "service/TaskPool.h"

namespace orvanta::service {

TaskPool::TaskPool(std::size_t threads, std::size_t maxQueued) : maxQueued_(maxQueued) {
    threads_.reserve(threads);
    for (std::size_t i = 0; i < threads; ++i) {
        threads_.emplace_back([this] { loop(); });
    }
}

TaskPool::~TaskPool() {
    stop();
}

bool TaskPool::submit(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_ || queue_.size() >= maxQueued_) {
            return false;
        }
        queue_.push_back(std::move(task));
    }
    wake_.notify_one();
    return true;
}

void TaskPool::stop() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    for (std::thread& t : threads_) {
        if (t.joinable()) {
            t.join();
        }
    }
}

void TaskPool::loop() {
    for (;;) {
        std::function<void()> task;
        {
            std::unique_lock lock(mutex_);
            wake_.wait(lock, [this] { return stopping_ || !queue_.empty(); });
            if (queue_.empty()) {
                return;
            }
            task = std::move(queue_.front());
            queue_.pop_front();
        }
        task();
    }
}

}  // namespace orvanta::service
