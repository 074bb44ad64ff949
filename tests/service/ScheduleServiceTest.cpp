// The schedule fired by the real orvanta-service: killed with SIGKILL while a firing's
// message is going out and started again, it does not send that message a second time.
// Simulated projectors on 127.0.131.x.

#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

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

TEST(ScheduleService, TheApiReadsAndChangesTheScheduleWithTheRightToken) {
    ServiceRig rig("schedule-api");
    const std::string reader = rig.addToken("panel", "read");
    const std::string sender = rig.addToken("bells", "send");
    ASSERT_FALSE(reader.empty());
    ASSERT_TRUE(rig.start()) << rig.process().output();
    const std::string bell =
        R"({"add": {"name": "Bell", "when": {"repeat": "weekdays", "weekdays": ["mon", "fri"],)"
        R"( "time": "08:00"}, "action": {"kind": "show", "slot": 3},)"
        R"( "target": {"group": "Hall A"}}})";
    struct Step {
        const char* what;
        std::string body;  // empty: GET
        std::string token;
        int status;
        std::string expected;  // a part of the answer
    };
    const std::vector<Step> steps = {
        {"a change needs the right to send", bell, reader, 403, "send"},
        {"an entry is added", bell, sender, 200, "\"name\":\"Bell\""},
        {"the same name twice is refused", bell, sender, 409, "already"},
        {"a wrong entry is refused by its field",
         R"({"add": {"name": "X", "when": {"repeat": "daily", "time": "25:00"},)"
         R"( "action": {"kind": "mute"}, "target": {"allRegistered": true}}})",
         sender, 400, "when.time"},
        {"paused", R"({"pause": true})", sender, 200, "\"paused\":true"},
        {"read with the next firings", "", reader, 200, "\"entry\":\"Bell\""},
        {"removed", R"({"remove": "Bell"})", sender, 200, "\"entries\":[]"},
        {"an unknown change", R"({"explode": 1})", sender, 400, "one change"},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        const auto answer = s.body.empty() ? rig.get("/v1/schedule", s.token)
                                           : rig.post("/v1/schedule", s.body, s.token);
        EXPECT_EQ(answer.status, s.status) << answer.body;
        EXPECT_NE(answer.body.find(s.expected), std::string::npos) << answer.body;
    }
    EXPECT_TRUE(readSchedule(rig.folders().program()).value().paused);
}

}  // namespace
}  // namespace orvanta
