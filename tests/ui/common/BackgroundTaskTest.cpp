// Work a window starts in the background: its result comes back on the GUI thread, and never
// to a window that is gone.

#include "ui/common/BackgroundTask.h"

#include <gtest/gtest.h>

#include <QThread>
#include <atomic>
#include <future>
#include <memory>
#include <string>

#include "support/UiTestSupport.h"

namespace orvanta {
namespace {

TEST(BackgroundTask, ResultArrivesOnTheReceiversThreadWhileItLives) {
    test::app();
    QObject receiver;
    QThread* const gui = QThread::currentThread();
    struct Case {
        std::string given;
        bool voidTask;
    };
    for (const Case& c : {Case{"slot 3", false}, Case{"", false}, Case{"", true}}) {
        SCOPED_TRACE(c.given);
        std::atomic<QThread*> workedOn{nullptr};
        QThread* deliveredOn = nullptr;
        std::string delivered = "none";
        Result<void> queued;
        if (c.voidTask) {
            queued = runInBackground(
                &receiver, [&] { workedOn = QThread::currentThread(); },
                [&] {
                    deliveredOn = QThread::currentThread();
                    delivered = "";
                });
        } else {
            queued = runInBackground(
                &receiver,
                [&, given = c.given] {
                    workedOn = QThread::currentThread();
                    return given;
                },
                [&](std::string result) {
                    deliveredOn = QThread::currentThread();
                    delivered = std::move(result);
                });
        }
        ASSERT_TRUE(queued.ok());
        ASSERT_TRUE(test::processEventsUntil([&] { return deliveredOn != nullptr; }));
        EXPECT_EQ(delivered, c.given);
        EXPECT_EQ(deliveredOn, gui);
        EXPECT_NE(workedOn.load(), gui);
    }
}

TEST(BackgroundTask, NothingReachesAReceiverThatIsGone) {
    test::app();
    // Posted before the receiver went (the call waits in the queue), and after.
    for (const bool postFirst : {true, false}) {
        SCOPED_TRACE(postFirst);
        auto receiver = std::make_unique<QObject>();
        const std::shared_ptr<ReceiverLink> link = ReceiverLink::to(receiver.get());
        bool ran = false;
        if (postFirst) {
            link->post([&] { ran = true; });
        }
        receiver.reset();
        if (!postFirst) {
            link->post([&] { ran = true; });
        }
        QCoreApplication::processEvents();
        QCoreApplication::sendPostedEvents();
        EXPECT_FALSE(ran);
    }

    // Gone while the task still works: its result is dropped on the worker.
    auto receiver = std::make_unique<QObject>();
    std::promise<void> release;
    std::shared_future<void> released = release.get_future().share();
    auto result = std::make_shared<int>(7);
    const std::weak_ptr<int> watched = result;
    bool ran = false;
    ASSERT_TRUE(runInBackground(
                    receiver.get(),
                    [released, result = std::move(result)]() mutable {
                        released.wait();
                        return std::move(result);
                    },
                    [&](const std::shared_ptr<int>&) { ran = true; })
                    .ok());
    receiver.reset();
    release.set_value();
    EXPECT_TRUE(test::processEventsUntil([&] { return watched.expired(); }));
    QCoreApplication::sendPostedEvents();
    EXPECT_FALSE(ran);
}

}  // namespace
}  // namespace orvanta
