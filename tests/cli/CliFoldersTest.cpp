// orvanta-cli as its own process: where it looks for a message file, and what it leaves on disk
// when it is only asked for help or its version.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "cli/CliTestSupport.h"

namespace orvanta {
namespace {

namespace fs = std::filesystem;
using testsupport::CliFolders;
using testsupport::CliOutcome;
using testsupport::CliProcess;

Message plainMessage(std::u16string_view body) {
    Message m;
    m.title = RichText(u"T", 0xFFFFFF, 0xC0C0C0);
    m.body = RichText(body, 0xFFFFFF, 0xC0C0C0);
    return m;
}

// A bare name is found in MessageData/ with or without its ".ovx"; a name found nowhere is
// reported with every place it was looked for, before any projector is asked.
TEST(CliFiles, BareNamesComeFromMessageDataAndMissingOnesNameWhereTheyWereLookedFor) {
    CliFolders folders("lookup");
    ASSERT_TRUE(
        testsupport::writeMessageFile(folders.messageData("Welcome.ovx"), plainMessage(u"Hello")));
    const std::string data = folders.program() + "MessageData/";
    const CliOutcome full = folders.run({"encode", "Welcome.ovx"});
    ASSERT_EQ(full.status, 0) << full.err;
    const CliOutcome bare = folders.run({"encode", "Welcome"});
    EXPECT_EQ(bare.status, 0) << bare.err;
    EXPECT_EQ(bare.out, full.out);

    const std::string nowhere = "127.0.40.250";  // nothing listens there
    struct Case {
        std::vector<std::string> args;
        std::vector<std::string> tried;
    } cases[] = {
        {{"send", "Farewell", "--projector", nowhere},
         {"Farewell", data + "Farewell", "Farewell.ovx", data + "Farewell.ovx"}},
        {{"encode", "Farewell.ovx"}, {"Farewell.ovx", data + "Farewell.ovx"}},
        {{"encode", "notes.txt"}, {"notes.txt", data + "notes.txt"}},
        {{"encode", "sub/Farewell"}, {"sub/Farewell", "sub/Farewell.ovx"}},
    };
    for (const Case& c : cases) {
        const CliOutcome o = folders.run(c.args);
        EXPECT_EQ(o.status, 1) << c.args[1];
        std::string expected =
            c.args[1] + ": No message file of this name was found. Looked for:\n";
        for (const std::string& place : c.tried) {
            expected += "  " + place + "\n";
        }
        EXPECT_EQ(o.err, expected);
        EXPECT_EQ(o.out, "");
    }
}

// An installed orvanta-cli (a copy with share/orvanta beside its bin/) run by a user who has
// no data folder yet: help and the version are answered without making one; the first command
// makes it and copies the example message into it.
TEST(CliFolders, HelpAndVersionLeaveTheUsersDataFolderUnmade) {
    CliFolders folders("installed");
    const fs::path bin = folders.path("usr/bin");
    const fs::path shared = bin / ORVANTA_TEST_DATA_FROM_BIN;
    fs::create_directories(bin);
    fs::create_directories(shared / "MessageData");
    fs::copy_file(CliProcess::programPath(), bin / "orvanta-cli");
    ASSERT_TRUE(testsupport::writeMessageFile((shared / "MessageData" / "Welcome.ovx").string(),
                                              plainMessage(u"Hello")));
    const std::map<std::string, std::string> env = {{"LC_ALL", "C"},
                                                    {"LANG", "C"},
                                                    {"HOME", folders.path("home")},
                                                    {"XDG_DATA_HOME", folders.path("xdg")},
                                                    {"XDG_CONFIG_HOME", folders.config()},
                                                    {"ORVANTA_PROGRAM_FOLDER", ""}};
    const fs::path user = fs::path(folders.path("xdg")) / "orvanta";
    const std::string program = (bin / "orvanta-cli").string();

    struct Case {
        std::vector<std::string> args;
        int status;
    } cases[] = {
        {{"--version"}, 0},
        {{"--help"}, 0},
        {{"-h"}, 0},
        {{"help"}, 0},
        {{"--help-all"}, 0},
        {{"send", "--help"}, 0},
        {{"render", "-h"}, 0},
        {{"--yes", "--version"}, 0},
        {{}, 2},
        {{"no-such-command"}, 2},
    };
    for (const Case& c : cases) {
        CliProcess cli(c.args, env, program);
        const CliOutcome o = cli.wait();
        EXPECT_EQ(o.status, c.status) << (c.args.empty() ? "" : c.args[0]) << "\n" << o.err;
        EXPECT_FALSE(fs::exists(user)) << (c.args.empty() ? "" : c.args[0]);
        EXPECT_FALSE(fs::exists(folders.path("home/.local"))) << (c.args.empty() ? "" : c.args[0]);
    }

    CliProcess list({"projectors", "list"}, env, program);
    const CliOutcome o = list.wait();
    EXPECT_EQ(o.status, 0) << o.err;
    EXPECT_TRUE(fs::exists(user / "MessageData" / "Welcome.ovx"));
}

}  // namespace
}  // namespace orvanta
