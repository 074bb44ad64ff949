#pragma once
// A bounded pool of worker threads: the one way the core runs work off its caller's thread
// (the many-projector run, the watches, and any later service or scheduler).
//
// Contract:
// - At most `maxThreads` threads run at once. A thread is started only when a task arrives and
//   every thread the pool has is busy; beyond the bound a task waits in order for a free one.
// - The pool owns its threads: none is detached. The destructor runs every task already queued,
//   waits for those under way and joins every thread. Owners stop their long tasks first
//   (a stop flag the task checks); the destructor does not interrupt anything.
// - submit() never throws. When no thread can be started and none of the pool's threads could
//   take the task later, the task is not queued and submit() fails with the reason; callers turn
//   that into their own report (a failed row, a watch that says it cannot run), never a crash.
// - A task must not throw; one that does ends the program, as an escaping exception would on
//   a thread of its own.
//
//   WorkerPool pool(8);
//   if (Result<void> queued = pool.submit([&] { work(); }); !queued) { report(queued.error()); }
//
// shared() is the process's pool for work that belongs to no owner with a pool of its own; it
// lives until the program exits and is joined then.

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/Result.h"

namespace orvanta {

// Starts a thread of its own for one of the few long-lived loops that have one (a file writer,
// a transfer, the discovery search); the caller owns and joins it. Fails, rather than throwing,
// when the system has no thread to give, so that the caller reports it as the failure of that
// work.
Result<std::thread> startThread(std::function<void()> body);

class WorkerPool {
  public:
    using Task = std::function<void()>;
    // How a thread is started; the default is std::thread. It may throw std::system_error when
    // the system has no thread to give (tests use that to play a system out of threads).
    using ThreadStarter = std::function<std::thread(std::function<void()>)>;

    explicit WorkerPool(std::size_t maxThreads, ThreadStarter starter = {});
    ~WorkerPool();
    WorkerPool(const WorkerPool&) = delete;
    WorkerPool& operator=(const WorkerPool&) = delete;

    // Queues `task` to run on one of the pool's threads. Fails when no thread can run it.
    Result<void> submit(Task task);
    // Blocks until no task is queued or running (command-line callers and tests; never the GUI
    // thread).
    void waitIdle();

    std::size_t maxThreads() const { return maxThreads_; }
    // Threads started and not yet joined.
    std::size_t threadCount() const;

    // The threads the shared pool may start: enough for every projector of a full registry to
    // be asked at once by the watches, with room for the program's other background work.
    static constexpr std::size_t kSharedThreads = 160;
    static WorkerPool& shared();

  private:
    void work();

    const std::size_t maxThreads_;
    ThreadStarter starter_;
    mutable std::mutex mutex_;
    std::condition_variable queued_;  // a task arrived, or the pool is ending
    std::condition_variable idle_;    // the last running task ended with nothing queued
    std::deque<Task> tasks_;
    std::vector<std::thread> threads_;
    std::size_t busy_ = 0;  // threads running a task
    bool ending_ = false;
};

}  // namespace orvanta
