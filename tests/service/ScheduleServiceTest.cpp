// The schedule fired by the real orvanta-service: killed with SIGKILL while a firing's
// message is going out and started again, it does not send that message a second time.
// Simulated projectors on 127.0.131.x.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <thread>

#include "history/History.h"
#include "schedule/ScheduleRunner.h"
#include "schedule/ScheduleStore.h"
#include "service/ServiceTestSupport.h"

namespace orvanta {
namespace {

using testsupport::countLines;
using testsupport::ServiceRig;
using testsupport::SimProcess;

// Waits until the history holds a record for which `match` is true.
template <typename Match>
bool waitForHistory(const std::string& folder, Match match) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (std::chrono::steady_clock::now() < end) {
        const auto read = HistoryFile(historyPath(folder)).read();
        if (read) {
            for (const HistoryRecord& r : read.value().records) {
                if (match(r)) {
                    return true;
                }
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return false;
}

TEST(ScheduleService, KilledDuringAFiringItDoesNotFireItAgain) {
    // The projector takes the message and then keeps saving it: the firing is still going
    // out when the service is killed.
    SimProcess sim({"--address", "127.0.131.2", "--password", "pw", "--save-polls", "100000"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    ServiceRig rig("schedule-kill");
    ASSERT_TRUE(rig.registerProjector("127.0.131.2"));
    ScheduleEntry bell;
    bell.name = "Bell";
    bell.when.repeat = Repeat::Once;
    const LocalClock::Wall soon = LocalClock::wall(ScheduleRunner::systemNow() + 1);
    bell.when.date = soon.day;
    bell.when.time = {soon.seconds / 3600, soon.seconds / 60 % 60, soon.seconds % 60};
    bell.action.kind = ScheduleActionKind::SendFile;
    bell.action.file = "Welcome.ovx";
    bell.action.slot = 2;
    bell.target.kind = ScheduleTarget::Kind::Projectors;
    bell.target.projectors = {"127.0.131.2"};
    ASSERT_TRUE(addScheduleEntry(rig.folders().program(), bell));

    ASSERT_TRUE(rig.start()) << rig.process().output();
    ASSERT_TRUE(sim.waitForLine("PUT", std::chrono::seconds(30))) << sim.output();
    ::kill(rig.process().pid(), SIGKILL);

    ASSERT_TRUE(rig.start()) << rig.process().output();
    EXPECT_TRUE(waitForHistory(rig.folders().program(), [](const HistoryRecord& r) {
        return r.command == "schedule" && r.result == "interrupted" && r.source == "schedule: Bell";
    }));
    // The restarted service has looked at the clock past the firing (its ledger says so).
    const Instant due = LocalClock().instant(bell.when.date, bell.when.time);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (parseLedger(readWholeFile(ledgerPath(rig.folders().program())).valueOr("")).checked <
           due) {
        ASSERT_LT(std::chrono::steady_clock::now(), end) << rig.process().output();
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(countLines(sim, "PUT"), 1u) << sim.output();
}

}  // namespace
}  // namespace orvanta
