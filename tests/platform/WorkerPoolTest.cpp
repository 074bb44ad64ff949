// The worker pool under the many-projector run, the watches and the windows' background work:
// it never runs more threads than its bound, never loses a task it accepted, reports a task no
// thread can take instead of throwing, and joins everything before it is gone.

#include "platform/WorkerPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

namespace orvanta {
namespace {

// Holds tasks until opened; counts how many are held at once.
class Gate {
  public:
    void pass() {
        std::unique_lock lock(mutex_);
        ++inside_;
        most_ = std::max(most_, inside_);
        changed_.notify_all();
        changed_.wait(lock, [this] { return open_; });
        --inside_;
    }
    void open() {
        std::lock_guard lock(mutex_);
        open_ = true;
        changed_.notify_all();
    }
    void awaitInside(int count) {
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return inside_ >= count; });
    }
    int most() {
        std::lock_guard lock(mutex_);
        return most_;
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool open_ = false;
    int inside_ = 0;
    int most_ = 0;
};

TEST(WorkerPool, RunsEveryTaskWithNoMoreThreadsThanItsBound) {
    struct Case {
        std::size_t bound;
        int tasks;
    };
    for (const Case c : {Case{1, 5}, Case{3, 3}, Case{4, 40}, Case{64, 10}}) {
        SCOPED_TRACE(c.bound);
        WorkerPool pool(c.bound);
        Gate gate;
        std::atomic<int> ran{0};
        for (int i = 0; i < c.tasks; ++i) {
            ASSERT_TRUE(pool.submit([&] {
                                gate.pass();
                                ++ran;
                            })
                            .ok());
        }
        const int parallel = std::min<int>(static_cast<int>(c.bound), c.tasks);
        gate.awaitInside(parallel);
        gate.open();
        pool.waitIdle();
        EXPECT_EQ(ran.load(), c.tasks);
        EXPECT_EQ(gate.most(), parallel);
        EXPECT_LE(pool.threadCount(), c.bound);
    }
}

TEST(WorkerPool, ATaskNoThreadCanTakeIsReportedNotThrown) {
    // How many threads the system gives before it has none left.
    struct Case {
        int threadsGiven;
        int tasks;
        int refused;
    };
    for (const Case c : {Case{0, 3, 3}, Case{1, 4, 0}, Case{2, 6, 0}}) {
        SCOPED_TRACE(c.threadsGiven);
        std::atomic<int> ran{0};
        int refused = 0;
        {
            int given = 0;
            WorkerPool pool(8, [&](std::function<void()> body) {
                if (given == c.threadsGiven) {
                    throw std::system_error(
                        std::make_error_code(std::errc::resource_unavailable_try_again));
                }
                ++given;
                return std::thread(std::move(body));
            });
            for (int i = 0; i < c.tasks; ++i) {
                const Result<void> queued = pool.submit([&] { ++ran; });
                if (!queued) {
                    ++refused;
                    EXPECT_NE(queued.error(), "");
                }
            }
        }
        EXPECT_EQ(refused, c.refused);
        EXPECT_EQ(ran.load(), c.tasks - c.refused);
    }
}

TEST(WorkerPool, DestructionRunsWhatWasQueuedAndJoins) {
    std::atomic<int> ran{0};
    std::vector<std::thread::id> threads;
    std::mutex mutex;
    {
        WorkerPool pool(2);
        for (int i = 0; i < 20; ++i) {
            ASSERT_TRUE(pool.submit([&] {
                                ++ran;
                                std::lock_guard lock(mutex);
                                threads.push_back(std::this_thread::get_id());
                            })
                            .ok());
        }
    }
    EXPECT_EQ(ran.load(), 20);
    for (const std::thread::id id : threads) {
        EXPECT_NE(id, std::this_thread::get_id());
    }
}

}  // namespace
}  // namespace orvanta
