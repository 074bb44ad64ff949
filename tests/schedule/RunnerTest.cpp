// The firing loop against a clock the test sets: late within the grace time, missed beyond
// it, a clock that goes back, pause, and a restart in the middle of a firing.

#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "platform/AtomicFile.h"
#include "schedule/ScheduleRunner.h"
#include "schedule/ScheduleStore.h"
#include "schedule/ZoneScope.h"

namespace orvanta {
namespace {

class Folder {
  public:
    Folder() {
        path_ =
            (std::filesystem::temp_directory_path() /
             ("orvanta-schedule-" + std::to_string(::getpid()) + "-" + std::to_string(counter_++)))
                .string() +
            "/";
        std::filesystem::remove_all(path_);
        std::filesystem::create_directories(path_);
    }
    ~Folder() { std::filesystem::remove_all(path_); }
    const std::string& path() const { return path_; }

  private:
    static inline int counter_ = 0;
    std::string path_;
};

// Keeps what it is given; ends a firing at once unless told to leave it running.
class RecordingFirer : public ScheduleFirer {
  public:
    bool endFirings = true;
    std::vector<std::string> events;  // "fire NAME TIME", "missed NAME TIME", ...

    void fire(const ScheduleEntry& entry, Instant due, Done done) override {
        events.push_back("fire " + entry.name + " " + formatLocalTime(due).substr(11, 8));
        if (endFirings) {
            done(true, "1 of 1 complete");
        }
    }
    void note(const std::string& entry, Instant due, FiringState state,
              const std::string&) override {
        if (state != FiringState::Done) {
            events.push_back(std::string(firingStateName(state)) + " " + entry + " " +
                             formatLocalTime(due).substr(11, 8));
        }
    }
};

struct Step {
    const char* clock;        // local time the clock shows, or "restart"
    const char* change = "";  // "pause", "resume" before this step's tick
};

struct Case {
    const char* name;
    int grace;
    std::vector<Step> steps;
    std::vector<std::string> expected;
};

ScheduleEntry dailyAt(const char* name, const char* time) {
    ScheduleEntry e;
    e.name = name;
    e.when.repeat = Repeat::Daily;
    e.when.time = *parseTimeOfDay(time);
    e.action.kind = ScheduleActionKind::Mute;
    return e;
}

TEST(ScheduleRunner, FiresOnceLateWithinTheGraceAndRecordsTheRestAsMissed) {
    const ZoneScope zone("Europe/Berlin");
    const std::vector<Case> cases = {
        {"on time",
         300,
         {{"2026-12-08 07:59:59"}, {"2026-12-08 08:00:00"}, {"2026-12-08 08:00:01"}},
         {"fire bell 08:00:00"}},
        {"a jump forward within the grace fires late",
         300,
         {{"2026-12-08 07:59:00"}, {"2026-12-08 08:04:59"}},
         {"fire bell 08:00:00"}},
        {"a jump forward past the grace is missed",
         300,
         {{"2026-12-08 07:59:00"}, {"2026-12-08 08:05:01"}},
         {"missed bell 08:00:00"}},
        {"no grace at all",
         0,
         {{"2026-12-08 07:59:59"}, {"2026-12-08 08:00:01"}},
         {"missed bell 08:00:00"}},
        {"a clock that goes back does not fire again",
         300,
         {{"2026-12-08 08:00:00"},
          {"2026-12-08 07:30:00"},
          {"2026-12-08 07:59:59"},
          {"2026-12-08 08:00:00"},
          {"2026-12-08 08:00:30"}},
         {"fire bell 08:00:00"}},
        {"while paused nothing fires, and nothing is owed after",
         300,
         {{"2026-12-08 07:59:00", "pause"},
          {"2026-12-08 08:00:00"},
          {"2026-12-08 08:01:00", "resume"}},
         {}},
        {"a restart finds a firing that went out",
         300,
         {{"2026-12-08 08:00:00"}, {"restart"}, {"2026-12-08 08:00:20"}},
         {"fire bell 08:00:00"}},
        {"a restart catches up within the grace",
         300,
         {{"2026-12-08 07:58:00"}, {"restart"}, {"2026-12-08 08:03:00"}},
         {"fire bell 08:00:00"}},
        {"a restart after a long stop records what was missed",
         300,
         {{"2026-12-07 07:58:00"}, {"restart"}, {"2026-12-08 09:00:00"}},
         {"missed bell 08:00:00", "missed bell 08:00:00"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Folder folder;
        ASSERT_TRUE(addScheduleEntry(folder.path(), dailyAt("bell", "08:00")));
        ASSERT_TRUE(setGraceSeconds(folder.path(), c.grace));
        RecordingFirer firer;
        Instant now = 0;
        std::optional<ScheduleRunner> runner;
        runner.emplace(folder.path(), firer, [&now] { return now; });
        ASSERT_TRUE(runner->open());
        for (const Step& s : c.steps) {
            if (std::string(s.clock) == "restart") {
                runner.reset();
                runner.emplace(folder.path(), firer, [&now] { return now; });
                ASSERT_TRUE(runner->open());
                continue;
            }
            if (std::string(s.change) == "pause" || std::string(s.change) == "resume") {
                ASSERT_TRUE(pauseSchedule(folder.path(), std::string(s.change) == "pause"));
            }
            now = *parseLocalTime(s.clock);
            runner->tick();
        }
        EXPECT_EQ(firer.events, c.expected);
    }
}

TEST(ScheduleRunner, AFiringKilledHalfWayIsNotFiredAgain) {
    Folder folder;
    ASSERT_TRUE(addScheduleEntry(folder.path(), dailyAt("bell", "08:00")));
    RecordingFirer firer;
    firer.endFirings = false;  // the service dies while the commands go out
    Instant now = *parseLocalTime("2026-12-08 07:59:59");
    {
        ScheduleRunner runner(folder.path(), firer, [&now] { return now; });
        ASSERT_TRUE(runner.open());
        runner.tick();
        now += 1;
        runner.tick();
        // Written down before it went out.
        const FiringLedger onDisk =
            parseLedger(readWholeFile(ledgerPath(folder.path())).valueOr(""));
        ASSERT_EQ(onDisk.firings.size(), 1u);
        EXPECT_EQ(onDisk.firings[0].state, FiringState::Started);
        // A second service on the same folder would fire it again: it is refused.
        ScheduleRunner second(folder.path(), firer, [&now] { return now; });
        EXPECT_FALSE(second.open());
    }
    firer.endFirings = true;
    ScheduleRunner restarted(folder.path(), firer, [&now] { return now; });
    ASSERT_TRUE(restarted.open());
    now += 10;
    restarted.tick();
    EXPECT_EQ(firer.events,
              (std::vector<std::string>{"fire bell 08:00:00", "interrupted bell 08:00:00"}));
}

TEST(ScheduleStore, ChangesKeepEveryWriterAndNeverReplaceADamagedFile) {
    Folder folder;
    // Writers at once, as the window, the command line and the service are.
    std::vector<std::thread> writers;
    for (int i = 0; i < 8; ++i) {
        writers.emplace_back([&folder, i] {
            EXPECT_TRUE(addScheduleEntry(folder.path(),
                                         dailyAt(("e" + std::to_string(i)).c_str(), "08:00")));
        });
    }
    for (std::thread& t : writers) {
        t.join();
    }
    Result<Schedule> read = readSchedule(folder.path());
    ASSERT_TRUE(read) << read.error();
    EXPECT_EQ(read.value().entries.size(), 8u);

    const std::string damaged =
        R"({"entries": [{"name": "x", "when": 3, "action": {"kind": "mute"},)"
        R"( "target": {"allRegistered": true}}]})";
    ASSERT_TRUE(writeFileAtomically(schedulePath(folder.path()), damaged));
    const Result<> change = pauseSchedule(folder.path(), true);
    EXPECT_FALSE(change);
    EXPECT_NE(change.error().find("when"), std::string::npos) << change.error();
    EXPECT_EQ(readWholeFile(schedulePath(folder.path())).valueOr(""), damaged);
}

}  // namespace
}  // namespace orvanta
