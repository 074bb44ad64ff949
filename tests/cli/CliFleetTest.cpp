// orvanta-cli status for many projectors (the fleet table and its JSON) and orvanta-cli groups,
// against simulated projectors that answer, refuse or are not there.

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "cli/CliTestSupport.h"
#include "projectors/ProjectorGroups.h"
#include "projectors/ProjectorRegistry.h"
#include "support/SimProcess.h"
#include "text/LanguageText.h"

namespace orvanta {
namespace {

using testsupport::CliFolders;
using testsupport::CliOutcome;
using testsupport::describe;
using testsupport::ipv4;
using testsupport::SimProcess;

void registerAs(const CliFolders& folders, const char* address, const char* name,
                const char* password) {
    ProjectorRecord r;
    r.address = ipv4(address);
    r.name = name;
    r.authentication = 1;
    r.password = password;
    r.mac = "-----";
    ASSERT_TRUE(registerProjector(folders.program(), r).ok());
}

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        out.push_back(line);
    }
    return out;
}

// The blank-separated words of a table line.
std::vector<std::string> words(const std::string& line) {
    std::vector<std::string> out;
    std::istringstream in(line);
    for (std::string w; in >> w;) {
        out.push_back(w);
    }
    return out;
}

}  // namespace

TEST(CliStatus, TheFleetTableAndItsJsonForEveryRegisteredProjectorOrAGroup) {
    CliFolders folders("fleet");
    SimProcess good({"--address", "127.0.95.2", "--password", "pw"});
    SimProcess busy({"--address", "127.0.95.3", "--busy"});
    ASSERT_TRUE(good.ready() && busy.ready()) << good.output() << busy.output();
    registerAs(folders, "127.0.95.2", "Hall", "pw");
    registerAs(folders, "127.0.95.3", "", "");
    registerAs(folders, "127.0.95.4", "Foyer", "");  // nothing listens there
    registerAs(folders, "127.0.95.5", "", "");
    const std::string program = folders.program();
    ASSERT_TRUE(createGroup(program, "Hall A").ok());
    ASSERT_TRUE(addToGroup(program, "Hall A", ipv4("127.0.95.5")).ok());
    ASSERT_TRUE(addToGroup(program, "Hall A", ipv4("127.0.95.2")).ok());
    ASSERT_TRUE(unregisterProjector(program, ipv4("127.0.95.5")).ok());
    ASSERT_TRUE(createGroup(program, "Good").ok());
    ASSERT_TRUE(addToGroup(program, "Good", ipv4("127.0.95.2")).ok());

    const std::vector<std::string> all = {"status", "--all-registered"};
    const CliOutcome table = folders.run(all);
    EXPECT_EQ(table.status, 1) << describe(all, table);
    const std::vector<std::string> rows = lines(table.out);
    ASSERT_EQ(rows.size(), 4u) << describe(all, table);
    EXPECT_EQ(words(rows[0]).front(), "IP");  // the header
    // Address, name, reachable, message, alarm, startup, level, time; or the reason.
    const std::vector<std::string> goodWords = words(rows[1]);
    ASSERT_EQ(goodWords.size(), 8u) << rows[1];
    EXPECT_EQ(std::vector<std::string>(goodWords.begin(), goodWords.end() - 1),
              (std::vector<std::string>{"127.0.95.2", "Hall", "Yes", "OFF", "OFF", "None", "4"}));
    EXPECT_EQ(rows[2].substr(0, 10), "127.0.95.3");
    EXPECT_NE(rows[2].find("  No  "), std::string::npos) << rows[2];
    EXPECT_TRUE(rows[2].ends_with("Projector Busy.")) << rows[2];
    EXPECT_NE(rows[3].find("Foyer"), std::string::npos) << rows[3];
    EXPECT_TRUE(rows[3].ends_with("Communication error : [Connection error]")) << rows[3];

    const std::vector<std::string> group = {"status", "--group", "Hall A", "--json"};
    const CliOutcome json = folders.run(group);
    EXPECT_EQ(json.status, 1) << describe(group, json);
    const std::vector<std::string> objects = lines(json.out);
    ASSERT_EQ(objects.size(), 4u) << describe(group, json);
    EXPECT_EQ(objects[0], "[");
    // The missing member is not asked; the group's order is kept.
    EXPECT_EQ(objects[1],
              "{\"address\":\"127.0.95.5\",\"name\":null,\"registered\":false,\"reachable\":false,"
              "\"problem\":\"" +
                  languageText(Text::ProjectorNoLongerRegistered) +
                  "\",\"level\":null,\"capabilities\":null,\"message\":null,\"alarm\":null,"
                  "\"startup\":null,\"answered\":null},");
    const std::string answered =
        "{\"address\":\"127.0.95.2\",\"name\":\"Hall\",\"registered\":true,\"reachable\":true,"
        "\"problem\":null,\"level\":4,\"capabilities\":7,\"message\":{\"on\":false,\"slot\":null},"
        "\"alarm\":{\"on\":false,\"sound\":null},\"startup\":{\"on\":false},\"answered\":\"20";
    EXPECT_EQ(objects[2].substr(0, answered.size()), answered) << objects[2];
    EXPECT_TRUE(objects[2].ends_with("Z\"}")) << objects[2];
    EXPECT_EQ(objects[3], "]");

    // Every projector answering is a success.
    const std::vector<std::string> goodOnly = {"status", "--group", "Good"};
    const CliOutcome ok = folders.run(goodOnly);
    EXPECT_EQ(ok.status, 0) << describe(goodOnly, ok);
    EXPECT_EQ(lines(ok.out).size(), 2u) << describe(goodOnly, ok);
}

TEST(CliGroups, MakeChangeListAndDeleteGroups) {
    CliFolders folders("groups");
    registerAs(folders, "127.0.95.10", "Hall", "");
    registerAs(folders, "127.0.95.11", "", "");
    struct Step {
        std::vector<std::string> args;
        int status;
        std::string out;
        std::string err;  // contained in standard error
    };
    const std::string missing = languageText(Text::GroupNeedsRegistered);
    const Step steps[] = {
        {{"groups", "add", "Hall A", "127.0.95.10", "127.0.95.11"}, 0, "", ""},
        {{"groups", "add", "Hall A"}, 1, "", languageText(Text::GroupSameName)},
        {{"groups", "add", "Hall A", "127.0.95.99"}, 1, "", "127.0.95.99: " + missing},
        {{"groups", "add", " Hall"}, 1, "", languageText(Text::GroupBadName)},
        {{"groups", "list"}, 0, "Hall A\n  127.0.95.10  Hall\n  127.0.95.11  -\n", ""},
        {{"groups", "remove", "Hall A", "127.0.95.11"}, 0, "", ""},
        {{"groups", "remove", "Hall A", "127.0.95.11"}, 1, "", languageText(Text::GroupNotMember)},
        {{"groups", "rename", "Hall A", "Hall B"}, 0, "", ""},
        // Without --yes the question is answered No.
        {{"groups", "delete", "Hall B"}, 1, "", languageText(Text::GroupsDeleteQuestion)},
        {{"groups", "list"}, 0, "Hall B\n  127.0.95.10  Hall\n", ""},
        {{"--yes", "groups", "delete", "Hall B"}, 0, "", ""},
        {{"groups", "delete", "Hall B", "--yes"}, 1, "", languageText(Text::GroupNotFound)},
        {{"groups", "list"}, 0, "", ""},
        {{"groups", "add", "X", "not-an-address"}, 2, "", "not an IPv4 address"},
        {{"groups", "rename", "X"}, 2, "", "wrong number of arguments"},
        {{"groups", "sort"}, 2, "", "unknown action"},
    };
    for (const Step& s : steps) {
        const CliOutcome o = folders.run(s.args);
        EXPECT_EQ(o.status, s.status) << describe(s.args, o);
        EXPECT_EQ(o.out, s.out) << describe(s.args, o);
        EXPECT_NE(o.err.find(s.err), std::string::npos) << describe(s.args, o);
    }
}

}  // namespace orvanta
