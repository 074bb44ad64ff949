#pragma once
// The threads that carry out the service's commands: a fixed number, a bounded queue, joined
// when the service stops. A request that finds the queue full is refused at once rather than
// left waiting, so a flood cannot pile up work the projectors would take minutes to do.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace orvanta::service {

class TaskPool {
  public:
    TaskPool(std::size_t threads, std::size_t maxQueued);
    // Runs what is queued, then joins.
    ~TaskPool();
    TaskPool(const TaskPool&) = delete;
    TaskPool& operator=(const TaskPool&) = delete;

    // False when the queue is full or the pool is stopping: the task will not run.
    bool submit(std::function<void()> task);
    // Lets the queued and running tasks end, then joins the threads. Later submits fail.
    void stop();

  private:
    void loop();

    std::size_t maxQueued_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> queue_;  // guarded by mutex_
    bool stopping_ = false;                    // guarded by mutex_
    std::vector<std::thread> threads_;
};

}  // namespace orvanta::service
