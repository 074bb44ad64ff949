// Commands that share turns (the service's API and the schedule) never talk to one projector at
// the same time, and a command waiting for its turn can still be cancelled. No projector is
// needed: the operations only note that they ran.

#include "commands/ProjectorTurns.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>

#include "support/SimProcess.h"
#include "support/WaitUntil.h"
#include "text/LanguageText.h"

using namespace orvanta;
using namespace orvanta::testsupport;

namespace {

ManyProjectorTarget target(const char* address) {
    return {{ipv4(address), ""}, address, false};
}

// Holds its projector until released, as a slow save does.
class HeldOperation {
  public:
    ManyProjectorOperation operation() {
        return [this](const CommandContext&) {
            std::unique_lock lock(mutex_);
            entered_ = true;
            changed_.notify_all();
            changed_.wait(lock, [this] { return released_; });
            return Outcome::success();
        };
    }
    bool entered() {
        std::lock_guard lock(mutex_);
        return entered_;
    }
    void release() {
        std::lock_guard lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

  private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool entered_ = false;
    bool released_ = false;
};

}  // namespace

TEST(ProjectorTurns, ASecondCommandWaitsForItsProjectorOnlyAndCanBeCancelledWhileWaiting) {
    setInterfaceLanguage(LanguageId::English);
    struct Case {
        const char* second;
        bool entersWhileFirstHolds;
    };
    for (const Case& c : {Case{"127.0.92.2", false}, Case{"127.0.92.3", true}}) {
        ProjectorTurns turns;
        HeldOperation held;
        ManyProjectorRun first({target("127.0.92.2")}, turns.inTurn(held.operation()), {});
        first.start();
        ASSERT_TRUE(test::waitUntil([&] { return held.entered(); }, std::chrono::seconds(30)));

        std::atomic<bool> secondRan{false};
        ManyProjectorRun second({target(c.second)}, turns.inTurn([&](const CommandContext&) {
            secondRan = true;
            return Outcome::success();
        }),
                                {});
        second.start();
        if (c.entersWhileFirstHolds) {
            EXPECT_TRUE(test::waitUntil([&] { return second.stage(0) == RowStage::Complete; },
                                        std::chrono::seconds(30)))
                << c.second;
        } else {
            second.cancel();
            ASSERT_TRUE(test::waitUntil([&] { return second.stage(0) == RowStage::Cancelled; },
                                        std::chrono::seconds(30)));
            EXPECT_FALSE(secondRan) << "ran while another command held " << c.second;
        }
        held.release();
        EXPECT_TRUE(test::waitUntil([&] { return first.stage(0) == RowStage::Complete; },
                                    std::chrono::seconds(30)));
    }
}
