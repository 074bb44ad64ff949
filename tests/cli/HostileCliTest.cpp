// orvanta-cli against projectors and files that misbehave: a failure is never reported as
// success, a cancel is never lost, nothing is sent that the operator did not have, and no
// command hangs. Simulated projectors live on 127.0.90.30 to 127.0.90.59.

#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "cli/CliTestSupport.h"
#include "platform/AtomicFile.h"
#include "projectors/ProjectorRegistry.h"
#include "support/HostilePeers.h"
#include "support/SimProcess.h"
#include "text/LanguageText.h"

namespace orvanta {
namespace {

using testsupport::CliFolders;
using testsupport::CliOutcome;
using testsupport::CliProcess;
using testsupport::SimProcess;

Message textMessage(std::u16string_view title, std::u16string_view body) {
    Message m;
    m.title = RichText(title, 0xFFFFFF, 0xC0C0C0);
    m.body = RichText(body, 0xFFFFFF, 0xC0C0C0);
    return m;
}

std::string all(const CliOutcome& o) {
    return "-- status " + std::to_string(o.status) + "\n-- stdout:\n" + o.out + "-- stderr:\n" +
           o.err;
}

TEST(HostileCli, ConcurrentRegistryAddsAllArrive) {
    CliFolders folders("hostile-registry");
    std::vector<std::unique_ptr<CliProcess>> adds;
    for (int i = 1; i <= 20; ++i) {
        adds.push_back(std::make_unique<CliProcess>(
            std::vector<std::string>{"projectors", "add", "10.1.0." + std::to_string(i)},
            folders.environment()));
    }
    for (auto& add : adds) {
        const CliOutcome o = add->wait();
        EXPECT_EQ(o.status, 0) << all(o);
    }
    const CliOutcome listed = folders.run({"projectors", "list"});
    EXPECT_EQ(std::count(listed.out.begin(), listed.out.end(), '\n'), 20) << listed.out;
    EXPECT_EQ(listed.out.find("0.0.0.0"), std::string::npos) << listed.out;

    // A registry that cannot be read is said to be so, not listed as empty.
    const std::string path = registryPath(folders.program());
    std::filesystem::remove(path);
    std::filesystem::create_directory(path);
    const CliOutcome unreadable = folders.run({"projectors", "list"});
    EXPECT_EQ(unreadable.status, 1);
    EXPECT_NE(unreadable.err.find(languageText(Text::RegistryUnreadable)), std::string::npos)
        << all(unreadable);
}

TEST(HostileCli, SendsThatMustNotReachTheProjector) {
    CliFolders folders("hostile-send");
    SimProcess sim({"--address", "127.0.90.30"});
    SimProcess junkQuery({"--address", "127.0.90.31", "--garbage-for", "CTRL 0F01"});
    ASSERT_TRUE(sim.ready() && junkQuery.ready()) << sim.output() << junkQuery.output();
    ASSERT_TRUE(
        testsupport::writeMessageFile(folders.messageData("ok.ovx"), textMessage(u"T", u"hello")));
    ASSERT_TRUE(testsupport::writeMessageFile(folders.messageData("empty.ovx"),
                                              textMessage(u"Only a title", u"")));
    ASSERT_TRUE(
        writeFileAtomically(folders.messageData("binary.txt"), std::string("\0\1\2x", 4)).ok());
    ASSERT_TRUE(writeFileAtomically(folders.messageData("bom.txt"),
                                    "\xFF\xFE"
                                    "A")
                    .ok());
    ASSERT_TRUE(writeFileAtomically(folders.messageData("huge.ovx"),
                                    std::string(kMaxMessageFileBytes + 1, '{'))
                    .ok());
    ::mkfifo(folders.messageData("pipe.ovx").c_str(), 0600);
    std::filesystem::create_directory(folders.messageData("folder.ovx"));

    const std::string input = languageText(Text::PleaseInputMessage);
    const struct {
        const char* file;
        const char* address;
        std::string text;
    } cases[] = {
        {"ok.ovx", "127.0.90.31", "[Unexpected error]"},
        {"empty.ovx", "127.0.90.30", input},
        {"binary.txt", "127.0.90.30", input},
        {"bom.txt", "127.0.90.30", input},
        {"huge.ovx", "127.0.90.30", languageText(Text::FileTooLarge)},
        {"pipe.ovx", "127.0.90.30", languageText(Text::NotAFile)},
        {"folder.ovx", "127.0.90.30", languageText(Text::NotAFile)},
    };
    for (const auto& c : cases) {
        const CliOutcome o = folders.run({"send", c.file, "--slot", "3", "--projector", c.address});
        EXPECT_EQ(o.status, 1) << c.file << all(o);
        EXPECT_NE((o.out + o.err).find(c.text), std::string::npos) << c.file << all(o);
    }
    EXPECT_EQ(sim.output().find("PUT"), std::string::npos) << sim.output();
    EXPECT_EQ(junkQuery.output().find("PUT"), std::string::npos) << junkQuery.output();
}

TEST(HostileCli, SettingTheStartupOnAProjectorThatStopsAcceptingFails) {
    CliFolders folders("hostile-startup");
    ASSERT_TRUE(
        testsupport::writeMessageFile(folders.messageData("ok.ovx"), textMessage(u"T", u"hello")));
    const std::string connectError = "[Connection error]";
    // Connections: state query, error status, (PUT, two STAT,) then the startup setting.
    const struct {
        const char* address;
        const char* acceptLimit;
        std::vector<std::string> args;
    } cases[] = {
        {"127.0.90.32", "2", {"startup", "--slot", "3", "--minutes", "5"}},
        {"127.0.90.33", "5", {"send", "ok.ovx", "--slot", "3", "--startup", "5"}},
    };
    for (const auto& c : cases) {
        SimProcess sim({"--address", c.address, "--accept-limit", c.acceptLimit});
        ASSERT_TRUE(sim.ready()) << sim.output();
        std::vector<std::string> args = c.args;
        args.insert(args.end(), {"--projector", c.address});
        const CliOutcome o = folders.run(args);
        EXPECT_EQ(o.status, 1) << c.address << all(o);
        EXPECT_NE((o.out + o.err).find(connectError), std::string::npos) << all(o);
    }
}

TEST(HostileCli, CtrlCBeforeOrAfterThePutIsACancel) {
    CliFolders folders("hostile-cancel");
    ASSERT_TRUE(
        testsupport::writeMessageFile(folders.messageData("ok.ovx"), textMessage(u"T", u"hello")));
    const std::vector<std::string> send = {"send", "ok.ovx", "--slot", "2"};
    const struct {
        const char* address;
        std::vector<std::string> simArgs;
        std::vector<std::string> command;
        const char* pressedAt;  // the request that is under way
        std::string text;       // what the command ends with
        bool put;               // the message went over, so a CANCEL must follow
    } cases[] = {
        {"127.0.90.34",
         {"--reply-delay", "3000"},
         send,
         "CTRL 0F01",
         "The send was cancelled.",
         false},
        {"127.0.90.35",
         {"--reply-delay", "3000"},
         send,
         "CTRL 6020",
         "The send was cancelled.",
         false},
        {"127.0.90.36", {"--save-polls", "60"}, send, "STAT 2", "Cancel complete.", true},
        {"127.0.90.40",
         {"--reply-delay", "3000"},
         {"status"},
         "CTRL 0F01",
         "The command was cancelled.",
         false},
    };
    for (const auto& c : cases) {
        std::vector<std::string> args = {"--address", c.address};
        args.insert(args.end(), c.simArgs.begin(), c.simArgs.end());
        SimProcess sim(args);
        ASSERT_TRUE(sim.ready()) << sim.output();
        std::vector<std::string> command = c.command;
        command.insert(command.end(), {"--projector", c.address});
        CliProcess cli(command, folders.environment());
        ASSERT_TRUE(sim.waitForLine(c.pressedAt, std::chrono::seconds(30))) << sim.output();
        ::kill(cli.pid(), SIGINT);
        const CliOutcome o = cli.wait();
        EXPECT_EQ(o.status, 1) << c.pressedAt << all(o);
        EXPECT_NE((o.out + o.err).find(c.text), std::string::npos) << c.pressedAt << all(o);
        if (c.put) {
            EXPECT_TRUE(sim.waitForLine("CANCEL | digest ok | CANCEL 0")) << sim.output();
        } else {
            EXPECT_EQ(sim.output().find("PUT"), std::string::npos) << sim.output();
        }
    }
}

TEST(HostileCli, SlotsFailWhenNoSlotCouldBeAskedAndNeverHang) {
    CliFolders folders("hostile-slots");
    SimProcess junk({"--address", "127.0.90.37", "--garbage"});
    // Every answer comes after the reply wait: the first slot times out, the rest are not
    // asked.
    SimProcess late({"--address", "127.0.90.38", "--reply-delay", "13000"});
    ASSERT_TRUE(junk.ready() && late.ready()) << junk.output() << late.output();
    const struct {
        const char* address;
        const char* text;
    } cases[] = {
        {"127.0.90.37", "[Unexpected error]"},
        {"127.0.90.38", "Communication error"},
    };
    for (const auto& c : cases) {
        const CliOutcome o =
            folders.run({"slots", "--projector", c.address}, std::chrono::seconds(40));
        EXPECT_EQ(o.status, 1) << c.address << all(o);
        EXPECT_NE(o.err.find(c.text), std::string::npos) << c.address << all(o);
    }
    const std::string asked = late.output();
    EXPECT_NE(asked.find("INFO 0 |"), std::string::npos) << asked;
    EXPECT_EQ(asked.find("INFO 1 |"), std::string::npos) << asked;
}

TEST(HostileCli, AnUnansweredAddressOrAPipeDoesNotHoldACommand) {
    CliFolders folders("hostile-silent");
    // A settings file that is a pipe would block the send lock check for ever.
    std::filesystem::create_directories(folders.config() + "/TAVRIX");
    ::mkfifo(folders.settingsFile().c_str(), 0600);
    testsupport::UnansweredAddress silent("127.0.90.39");
    ASSERT_TRUE(silent.ok());
    ASSERT_TRUE(
        testsupport::writeMessageFile(folders.messageData("ok.ovx"), textMessage(u"T", u"hello")));
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"status", "--projector", "127.0.90.39"},
          std::vector<std::string>{"send", "ok.ovx", "--projector", "127.0.90.39"}}) {
        const CliOutcome o = folders.run(args, std::chrono::seconds(60));
        EXPECT_EQ(o.status, 1) << args.front() << all(o);
    }
}

}  // namespace
}  // namespace orvanta
