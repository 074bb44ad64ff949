// orvanta-cli schedule: entries made, changed and listed from the command line, and the next
// firings it prints for scripts.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "cli/CliTestSupport.h"

namespace orvanta {
namespace {

using testsupport::CliFolders;
using testsupport::CliOutcome;

TEST(CliSchedule, AddChangeAndListEntriesAndTheirNextFirings) {
    CliFolders folders("schedule");
    ASSERT_TRUE(writeFileAtomically(folders.messageData("Welcome.ovx"),
                                    "placeholder, read only when it fires"));
    auto env = folders.environment();
    env["TZ"] = "America/New_York";
    auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), "schedule");
        testsupport::CliProcess p(args, env);
        return p.wait();
    };
    struct Step {
        std::vector<std::string> args;
        int status;
        std::string out;  // expected standard output; "*" for any
        std::string err;  // a part of standard error
    };
    const std::vector<Step> steps = {
        {{"add", "Morning", "--weekdays", "mon,wed,fri", "--time", "08:00", "--skip", "2026-12-16",
          "--file", "Welcome", "--slot", "3", "--display", "--group", "Hall A"},
         0,
         "",
         ""},
        {{"add", "Close", "--daily", "18:00", "--until", "2026-12-14", "--clear", "all",
          "--all-registered"},
         0,
         "",
         ""},
        {{"add", "Drill", "--at", "2099-01-02 10:30:15", "--startup", "4", "--minutes", "repeat",
          "--projector", "127.0.0.2"},
         0,
         "",
         ""},
        // Refused, and nothing is written.
        {{"add", "Morning", "--daily", "09:00", "--mute", "--all-registered"},
         1,
         "",
         "already a schedule entry called \"Morning\""},
        {{"add", "Past", "--at", "2001-01-01 00:00", "--mute", "--all-registered"},
         1,
         "",
         "has passed"},
        {{"add", "X", "--daily", "24:00", "--mute", "--all-registered"}, 2, "", "not a time"},
        {{"add", "X", "--daily", "08:00", "--mute", "--show", "1", "--all-registered"},
         2,
         "",
         "what?"},
        {{"add", "X", "--daily", "08:00", "--mute"}, 2, "", "to whom?"},
        {{"add", "X", "--daily", "08:00", "--file", "Nowhere", "--all-registered"},
         2,
         "",
         "no message file Nowhere"},
        {{"add", "X", "--weekdays", "mon,xyz", "--time", "08:00", "--mute", "--all-registered"},
         2,
         "",
         "not weekdays"},
        {{"add", "X", "--daily", "08:00", "--from", "2026-12-10", "--until", "2026-12-01", "--mute",
          "--all-registered"},
         2,
         "",
         "last day comes before the first"},
        {{"add", "X", "--daily", "08:00", "--mute", "--group", "\x1b]0;owned\x07Hall"},
         2,
         "",
         "cannot hold control characters"},
        {{"disable", "Nobody"}, 1, "", "no schedule entry called \"Nobody\""},
        {{"next", "4", "--from", "2026-12-11 08:00"},
         0,
         "2026-12-11 08:00:00 -05:00  Morning\n"
         "2026-12-11 18:00:00 -05:00  Close\n"
         "2026-12-12 18:00:00 -05:00  Close\n"
         "2026-12-13 18:00:00 -05:00  Close\n",
         ""},
        {{"disable", "Close"}, 0, "", ""},
        {{"next", "3", "--from", "2026-12-14 09:00", "--json"},
         0,
         "[\n  {\n    \"entry\": \"Morning\",\n    \"time\": \"2026-12-18T08:00:00-05:00\"\n  },\n"
         "  {\n    \"entry\": \"Morning\",\n    \"time\": \"2026-12-21T08:00:00-05:00\"\n  },\n"
         "  {\n    \"entry\": \"Morning\",\n    \"time\": \"2026-12-23T08:00:00-05:00\"\n  }\n]\n",
         ""},
        {{"pause"}, 0, "", ""},
        {{"list"},
         0,
         "The schedule is paused: nothing fires until orvanta-cli schedule resume.\n"
         "Morning: mon,wed,fri 08:00, 1 skipped; send Welcome.ovx to slot 3 and show it; to group "
         "Hall A\n"
         "Close (off): daily 18:00 until 2026-12-14; clear all; to all registered\n"
         "Drill: once 2099-01-02 10:30:15; startup 4, repeat; to 127.0.0.2\n",
         ""},
        {{"remove", "Morning"}, 0, "", ""},
        {{"resume"}, 0, "", ""},
        {{"list"},
         0,
         "Close (off): daily 18:00 until 2026-12-14; clear all; to all registered\n"
         "Drill: once 2099-01-02 10:30:15; startup 4, repeat; to 127.0.0.2\n",
         ""},
    };
    for (const Step& s : steps) {
        std::string line;
        for (const std::string& a : s.args) {
            line += " " + a;
        }
        SCOPED_TRACE("orvanta-cli schedule" + line);
        const CliOutcome o = run(s.args);
        EXPECT_EQ(o.status, s.status) << o.err;
        if (s.out != "*") {
            EXPECT_EQ(o.out, s.out);
        }
        EXPECT_NE(o.err.find(s.err), std::string::npos) << o.err;
    }
}

}  // namespace
}  // namespace orvanta
