// The stored-message list worker against the simulator: one status word per slot, the
// failures that end the list, and the stop flag.

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <vector>

#include "commands/Operations.h"
#include "commands/StoredMessageList.h"
#include "support/SimProcess.h"
#include "support/TransferTestSupport.h"

using namespace orvanta;
using namespace orvanta::testsupport;

namespace {

struct Recorded {
    SlotListEvent event;
    int slot;
    std::string status;
};

class Recorder : public SlotListSink {
  public:
    void slotEvent(SlotListEvent event, int slot, const std::string& status) override {
        events.push_back({event, slot, status});
        if (onEvent) {
            onEvent(slot);
        }
    }
    std::vector<Recorded> events;
    std::function<void(int)> onEvent;
};

}  // namespace

TEST(StoredMessageList, ListsEverySlotWithItsStatusWord) {
    SimProcess sim({"--address", "127.0.4.80", "--password", "pw"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    const ProjectorTarget target{ipv4("127.0.4.80"), "pw"};
    ASSERT_TRUE(storeTestMessages(target, {0, 12}));
    Recorder recorder;
    std::atomic<bool> stop{false};
    runStoredMessageList(target.address, "pw", stop, recorder, quickListTimings());
    ASSERT_EQ(recorder.events.size(), 13u);
    for (int slot = 0; slot < kStoredSlotCount; ++slot) {
        const bool used = slot == 0 || slot == 12;
        EXPECT_EQ(recorder.events[slot].slot, slot);
        EXPECT_EQ(recorder.events[slot].event,
                  used ? SlotListEvent::InUse : SlotListEvent::NotUsed);
        EXPECT_EQ(recorder.events[slot].status, used ? "in use" : "not used");
    }
    EXPECT_TRUE(sim.waitForLine("INFO C | digest ok | INFO 0")) << sim.output();
    EXPECT_EQ(slotLabel(0), "Quick");
    EXPECT_EQ(slotLabel(12), "12");
}

TEST(StoredMessageList, FailuresAndTheStopFlagEndTheList) {
    struct Case {
        const char* address;
        std::vector<std::string> args;
        int stopAfter;  // slot after which the stop flag is set, -1 never
        std::size_t events;
        SlotListEvent last;
        const char* lastStatus;
    };
    const Case cases[] = {
        // A projector without greeting cannot be listed.
        {"127.0.4.81", {"--no-greeting"}, -1, 1, SlotListEvent::ConnectFailed, ""},
        {"127.0.4.82", {"--hang-up"}, -1, 1, SlotListEvent::ConnectFailed, ""},
        // A reply that is no INFO line marks the slot and goes on; a lost reply ends the list.
        {"127.0.4.83", {"--garbage"}, -1, 13, SlotListEvent::Failed, "error"},
        {"127.0.4.84", {"--drop"}, -1, 1, SlotListEvent::Failed, ""},
        {"127.0.4.85", {"--reply-digit", "INFO=3"}, -1, 13, SlotListEvent::Busy, "PROJECTOR busy"},
        {"127.0.4.86", {}, 3, 4, SlotListEvent::NotUsed, "not used"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.address);
        std::vector<std::string> args = {"--address", c.address};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SimProcess sim(args);
        ASSERT_TRUE(sim.ready()) << sim.output();
        Recorder recorder;
        std::atomic<bool> stop{false};
        recorder.onEvent = [&](int slot) {
            if (slot == c.stopAfter) {
                stop = true;
            }
        };
        runStoredMessageList(ipv4(c.address), "", stop, recorder, quickListTimings());
        ASSERT_EQ(recorder.events.size(), c.events);
        EXPECT_EQ(recorder.events.back().event, c.last);
        EXPECT_EQ(recorder.events.back().status, c.lastStatus);
        if (c.stopAfter >= 0) {
            // The last slot asked shows in the log; nothing after it was asked.
            EXPECT_TRUE(sim.waitForLine("INFO " + std::to_string(c.stopAfter) + " |"));
            EXPECT_EQ(countLines(sim, "INFO"), c.stopAfter + 1) << sim.output();
        }
    }
}
