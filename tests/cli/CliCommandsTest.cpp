// orvanta-cli as its own process: usage and help, encode byte for byte, every projector
// command against the simulator, the send lock, one send to ten projectors, Ctrl+C during a
// send, and the registry rules. Simulated projectors live on 127.0.40.x to 127.0.43.x.

#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/CliTestSupport.h"
#include "platform/AtomicFile.h"
#include "projectors/ProjectorGroups.h"
#include "projectors/ProjectorRegistry.h"
#include "support/ScriptedPrompt.h"
#include "support/SimProcess.h"
#include "text/LanguageText.h"

namespace orvanta {
namespace {

using testsupport::CliFolders;
using testsupport::CliOutcome;
using testsupport::CliProcess;
using testsupport::describe;
using testsupport::ipv4;
using testsupport::SimProcess;
using testsupport::writeMessageFile;

constexpr Rgb kWhite = 0xFFFFFF;
constexpr Rgb kSilver = 0xC0C0C0;  // color 8, half transparent
constexpr Rgb kRed = 0xFF0000;
constexpr Rgb kBlue = 0x0000FF;

Message makeMessage(std::u16string_view title, std::u16string_view body) {
    Message m;
    m.title = RichText(title, kWhite, kSilver);
    m.body = RichText(body, kWhite, kSilver);
    return m;
}

void registerProjector(const CliFolders& folders, const char* address,
                       const std::string& password) {
    ProjectorRecord r;
    r.address = ipv4(address);
    r.authentication = 1;
    r.password = password;
    r.mac = "-----";
    ASSERT_TRUE(orvanta::registerProjector(folders.program(), r).ok());
}

// ---------------------------------------------------------------------------------------------

TEST(CliUsage, HelpForTheProgramAndEachCommand) {
    CliFolders folders("help");
    for (const char* command : {"encode", "send", "get", "show", "hide", "clear", "mute", "status",
                                "slots", "startup", "discover", "projectors", "alarm"}) {
        const std::vector<std::string> args = {command, "--help"};
        const CliOutcome o = folders.run(args);
        EXPECT_EQ(o.status, 0) << describe(args, o);
        EXPECT_EQ(o.out.rfind("usage: orvanta-cli", 0), 0u) << describe(args, o);
        EXPECT_NE(o.out.find(command), std::string::npos) << describe(args, o);
        EXPECT_EQ(o.err, "") << describe(args, o);
    }
    const CliOutcome o = folders.run({"--help"});
    EXPECT_EQ(o.status, 0);
    for (const char* command : {"encode", "send", "discover", "projectors", "--yes"}) {
        EXPECT_NE(o.out.find(command), std::string::npos) << o.out;
    }
}

TEST(CliUsage, WrongUsageExitsWithTwoBeforeAnyProjectorIsAsked) {
    CliFolders folders("usage");
    const std::string p = "127.0.40.250";  // nothing listens there; nothing may be tried
    const std::vector<std::vector<std::string>> cases = {
        {},
        {"bogus"},
        {"send"},
        {"send", "a.ovx", "b.ovx", "--projector", p},
        {"send", "a.ovx"},
        {"send", "a.ovx", "--projector"},
        {"send", "a.ovx", "--projector", "300.1.1.1"},
        {"send", "a.ovx", "--projector", "10.1.1"},
        {"send", "a.ovx", "--slot", "13", "--projector", p},
        {"send", "a.ovx", "--slot", "0", "--projector", p},
        {"send", "a.ovx", "--startup", "5", "--projector", p},  // Quick cannot be the startup
        {"send", "a.ovx", "--bogus", "--projector", p},
        {"show", "--projector", p},
        {"show", "--slot", "x", "--projector", p},
        {"hide", "--slot", "3", "--power-on", "--projector", p},
        {"get", "--slot", "3", "--out", "x.ovx", "--projector", p, "--projector", "127.0.40.251"},
        {"send", "a.ovx", "--group"},
        {"clear", "--projector", p},
        {"clear", "13", "--projector", p},
        {"clear", "all", "quick", "--projector", p},
        {"mute", "now", "--projector", p},
        {"status"},
        {"slots", "--all-registered", "--projector", p, "--projector", "127.0.40.251"},
        {"get", "--slot", "1", "--projector", p},
        {"get", "--out", "x.ovx", "--projector", p},
        {"startup", "--slot", "3", "--projector", p},
        {"startup", "--slot", "quick", "--minutes", "3", "--projector", p},
        {"startup", "--off", "--slot", "3", "--minutes", "3", "--projector", p},
        {"encode"},
        {"encode", "a.ovx", "--level", "x"},
        {"encode", "a.ovx", "--caps", "70000"},
        {"encode", "a.ovx", "--purpose", "print"},
        {"discover", "now"},
        {"projectors"},
        {"projectors", "frobnicate"},
        {"projectors", "add"},
        {"projectors", "add", "1.2.3"},
        {"projectors", "remove", "1.2.3.4", "5.6.7.8"},
        {"projectors", "add", "1.2.3.4", "--mac", "00:11:22"},
        {"projectors", "add", "1.2.3.4", "--password", std::string(33, 'p')},
        {"projectors", "password", "1.2.3.4"},
        {"projectors", "list", "--mac", "00:11:22:33:44:55"},
    };
    for (const auto& args : cases) {
        const CliOutcome o = folders.run(args);
        EXPECT_EQ(o.status, 2) << describe(args, o);
        EXPECT_NE(o.err.find("usage: orvanta-cli"), std::string::npos) << describe(args, o);
        EXPECT_EQ(o.out, "") << describe(args, o);
    }
}

// ---------------------------------------------------------------------------------------------

std::string ffs(std::size_t n) {
    return std::string(2 * n, 'F');
}

TEST(CliEncode, MessageEncodingsByteForByte) {
    CliFolders folders("encode");
    Message hi;
    hi.title = RichText(u"AB", kWhite, kSilver);
    hi.body = RichText(u"Hi", kRed, kBlue);
    ASSERT_TRUE(writeMessageFile(folders.messageData("hi.ovx"), hi));
    ASSERT_TRUE(writeMessageFile(folders.messageData("cjk.ovx"), makeMessage(u"", u"\u4E2D")));
    ASSERT_TRUE(writeMessageFile(folders.messageData("feed.ovx"), makeMessage(u"T", u"\u25BC\rX")));
    Message timed = makeMessage(u"T", u"x");
    timed.options.displayMinutes = 5;
    timed.options.displayHalfMinute = 0;
    ASSERT_TRUE(writeMessageFile(folders.messageData("timed.ovx"), timed));
    ASSERT_TRUE(writeMessageFile(folders.messageData("full.ovx"),
                                 makeMessage(u"T", std::u16string(1917, u'A'))));
    {
        // The editor cannot save a message this long; its file is written around it.
        Message small = makeMessage(u"T", u"A");
        ScriptedPrompt prompt;
        const EncodeResult header = encodeMessage(small, {EncodePurpose::Save, {1, 0}}, prompt);
        ASSERT_TRUE(header && header.value().payload);
        ASSERT_TRUE(
            writeFileAtomically(folders.messageData("over.ovx"),
                                composeMessageFile(makeMessage(u"T", std::u16string(1918, u'A')),
                                                   header.value().payload->header, false))
                .ok());
    }

    // Sum 0x7702 of the "AB"/"Hi" body: checksum 0x88FE. Scroll masks bytes 2, 9 and 10.
    const std::string hiBody = "001B0007010000410042" + ffs(118) + "001B0001000500480069";
    struct Case {
        std::vector<std::string> args;
        std::string header;  // empty: not compared
        int length;
        std::string body;  // empty: not compared; else the start of the body
        std::string bodyTail;
    };
    const Case cases[] = {
        {{"hi.ovx"}, "0000FF00200000000100FFFFFFFF88FE", 138, hiBody, ""},
        // The saved file keeps what a sent header masks.
        {{"hi.ovx", "--purpose", "save"}, "000000002000000001FF01FFFFFF88FE", 138, hiBody, ""},
        // Extended options: the PUT line carries all 32 bytes, with "no alarm" in byte 17.
        {{"hi.ovx", "--level", "4", "--caps", "0x6"},
         "0000FF00200000000100FF20FFFF88FEFF00FFFFFF" + ffs(11),
         138,
         hiBody,
         ""},
        // A last unit with two non-zero bytes gets an end mark; an empty title is one end mark.
        {{"cjk.ovx"}, "", 138, "0000" + ffs(126) + "001B000701004E2D0000", ""},
        // The page-feed mark becomes a page feed and takes its line break along.
        {{"feed.ovx"}, "", 138, "", "001B00070100000C0058"},
        // Scroll sends no display time; the saved header keeps 5 minutes.
        {{"timed.ovx"}, "0000FF00200000000100FFFFFFFF", 136, "", ""},
        {{"timed.ovx", "--purpose", "save"}, "0000000020000000010501FFFFFF", 136, "", ""},
        {{"full.ovx"}, "", 3968, "", "00410041"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"encode"};
        args.insert(args.end(), c.args.begin(), c.args.end());
        const CliOutcome o = folders.run(args);
        ASSERT_EQ(o.status, 0) << describe(args, o);
        std::istringstream lines(o.out);
        std::string header, length, body, extra;
        std::getline(lines, header);
        std::getline(lines, length);
        std::getline(lines, body);
        EXPECT_FALSE(std::getline(lines, extra)) << describe(args, o);
        ASSERT_EQ(header.rfind("header: ", 0), 0u) << describe(args, o);
        ASSERT_EQ(body.rfind("body: ", 0), 0u) << describe(args, o);
        header = header.substr(8);
        body = body.substr(6);
        EXPECT_EQ(header.rfind(c.header, 0), 0u) << describe(args, o);
        EXPECT_TRUE(header.size() == 32 || header.size() == 64) << header;
        EXPECT_EQ(length, "length: " + std::to_string(c.length)) << describe(args, o);
        EXPECT_EQ(body.size(), 2u * static_cast<std::size_t>(c.length)) << describe(args, o);
        EXPECT_EQ(body.rfind(c.body, 0), 0u) << describe(args, o);
        EXPECT_TRUE(body.size() >= c.bodyTail.size() &&
                    body.compare(body.size() - c.bodyTail.size(), std::string::npos, c.bodyTail) ==
                        0)
            << describe(args, o);
    }

    const std::vector<std::vector<std::string>> failures = {
        {"encode", "over.ovx"},
        {"encode", "missing.ovx"},
        {"encode", folders.path("program")},
    };
    for (const auto& args : failures) {
        const CliOutcome o = folders.run(args);
        EXPECT_EQ(o.status, 1) << describe(args, o);
        EXPECT_EQ(o.out, "") << describe(args, o);
    }
    EXPECT_EQ(folders.run(failures[0]).err,
              "Too many characters in the message box.\n( Current:3970[byte] / MAX:3968[byte])\n"
              "Please delete character datas.\n");
    EXPECT_EQ(folders.run(failures[1]).err.rfind("missing.ovx: No message file of this name", 0),
              0u);

    // A title over the limit is a question: refused without --yes, cut with it.
    ASSERT_TRUE(writeMessageFile(folders.messageData("title.ovx"),
                                 makeMessage(std::u16string(25, u'T'), u"x")));
    const CliOutcome asked = folders.run({"encode", "title.ovx"});
    EXPECT_EQ(asked.status, 1);
    EXPECT_EQ(asked.err,
              "All Message may not be displayed because of too many characters in the title box. "
              "(Max 20 characters.)\nDo you want to proceed?\n");
    const CliOutcome cut = folders.run({"--yes", "encode", "title.ovx"});
    EXPECT_EQ(cut.status, 0) << cut.err;
    EXPECT_NE(cut.out.find("body: 001B000701000054"), std::string::npos) << cut.out;
}

// ---------------------------------------------------------------------------------------------

struct Step {
    std::vector<std::string> args;
    int status;
    std::string out;           // exact standard output; "*" for "not compared"
    std::string err;           // exact standard error
    std::string simLine = {};  // a line the simulator must log during this step
};

void runSteps(const CliFolders& folders, SimProcess& sim, const std::vector<Step>& steps) {
    for (const Step& s : steps) {
        const std::size_t from = sim.settledLineCount();
        const CliOutcome o = folders.run(s.args);
        EXPECT_EQ(o.status, s.status) << describe(s.args, o);
        if (s.out != "*") {
            EXPECT_EQ(o.out, s.out) << describe(s.args, o);
        }
        EXPECT_EQ(o.err, s.err) << describe(s.args, o);
        if (!s.simLine.empty()) {
            EXPECT_TRUE(sim.waitForLine(s.simLine, std::chrono::seconds(2), from))
                << describe(s.args, o) << sim.output();
        }
    }
}

std::string slotList(int inUse) {
    std::string out = inUse == 0 ? "Quick: in use\n" : "Quick: not used\n";
    for (int slot = 1; slot <= 12; ++slot) {
        out += std::to_string(slot) + (slot == inUse ? ": in use\n" : ": not used\n");
    }
    return out;
}

TEST(CliCommands, EveryCommandAgainstTheSimulator) {
    CliFolders folders("commands");
    SimProcess sim({"--address", "127.0.40.2", "--password", "pw", "--alarm", "2", "--save-polls",
                    "0", "--verbose"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    registerProjector(folders, "127.0.40.2", "pw");
    ASSERT_TRUE(
        writeMessageFile(folders.messageData("hello.ovx"), makeMessage(u"Notice", u"Hello World")));
    const std::string got = folders.path("got.ovx");

    const std::vector<std::string> at = {"--projector", "127.0.40.2"};
    auto cmd = [&](std::vector<std::string> args) {
        args.insert(args.end(), at.begin(), at.end());
        return args;
    };
    const std::string complete = "    Complete.\n";
    const std::string statusIdle =
        "level: 4\ncapabilities: 7\nstartup: None\nerror-status: 0\n"
        "message: OFF Saved number:-\nalarm: ON Sound number:2\n";
    runSteps(folders, sim,
             {
                 {cmd({"status"}), 0, statusIdle, ""},
                 {cmd({"slots"}), 0, slotList(-1), ""},
                 {cmd({"show", "--slot", "3"}), 1, "", "No Message Data.\n"},
                 {cmd({"send", "hello.ovx", "--slot", "3", "--startup", "5"}), 0,
                  "127.0.40.2: " + complete, "", "CTRL 3532\\r\\n1\\r\\n33541"},
                 {cmd({"slots"}), 0, slotList(3), ""},
                 {cmd({"startup"}), 0, "startup: 3, 5 min\n", ""},
                 // Every command that talks to the projector says how it ended.
                 {cmd({"show", "--slot", "3", "--power-on"}), 0, complete, "",
                  "CTRL 3510\\r\\n1\\r\\n33537"},
                 {cmd({"status"}), 0,
                  "level: 4\ncapabilities: 7\nstartup: 3, 5 min\nerror-status: 0\n"
                  "message: ON Saved number:3\nalarm: ON Sound number:2\n",
                  ""},
                 {cmd({"hide", "--slot", "3"}), 0, complete, "", "CTRL 3510\\r\\n1\\r\\n768\\r\\n"},
                 {cmd({"mute"}), 0, complete, "", "CTRL 2002\\r\\n1\\r\\n1\\r\\n"},
                 {cmd({"status"}), 0,
                  "level: 4\ncapabilities: 7\nstartup: 3, 5 min\nerror-status: 0\n"
                  "message: OFF Saved number:-\nalarm: OFF Sound number:-\n",
                  ""},
                 {cmd({"get", "--slot", "3", "--out", got}), 0, complete, "", "TEXT 3"},
                 {cmd({"get", "--slot", "3", "--out", folders.path("got.txt")}), 1, "",
                  ".ovx extension is only valid.\n"},
                 // Sending over the startup slot switches the startup display off. A bare name
                 // needs no ".ovx".
                 {cmd({"send", "hello", "--slot", "3"}), 0, "127.0.40.2: " + complete, "",
                  "CTRL 3532\\r\\n1\\r\\n768\\r\\n"},
                 {cmd({"startup"}), 0, "startup: None\n", ""},
                 {cmd({"startup", "--slot", "2", "--minutes", "repeat"}), 0, "startup: 2, Repeat\n",
                  "", "CTRL 3532\\r\\n1\\r\\n33280\\r\\n"},
                 {cmd({"startup", "--slot", "2", "--minutes", "200"}), 1, "",
                  "Display time : Invalid value\n"},
                 {cmd({"startup", "--off"}), 0, "startup: None\n", "",
                  "CTRL 3532\\r\\n1\\r\\n257\\r\\n"},
                 {cmd({"clear", "3"}), 1, "", "You clicked [Clear]. Are you sure?\n"},
                 {cmd({"slots"}), 0, slotList(3), ""},
                 {cmd({"--yes", "clear", "3"}), 0, complete, "", "CTRL 3516\\r\\n6\\r\\n"},
                 {cmd({"slots"}), 0, slotList(-1), ""},
                 {cmd({"clear", "saved-all", "--yes"}), 0, complete, "", "CTRL 3513\\r\\n6"},
                 {cmd({"clear", "quick", "--yes"}), 0, complete, "", "CTRL 3512\\r\\n6"},
                 {cmd({"clear", "all", "--yes"}), 0, complete, "", "CTRL 3511\\r\\n6"},
                 {cmd({"status", "--password", "nope"}), 1,
                  "level: -\ncapabilities: -\nstartup: -\nerror-status: -\nmessage: - -\n"
                  "alarm: - -\n",
                  "Communication error\n : [Receive error]\nCommunication error\n : [Receive "
                  "error]\n"},
             });

    // What was read back encodes exactly as what was sent.
    const CliOutcome sent = folders.run({"encode", "hello.ovx", "--level", "4", "--caps", "7"});
    const CliOutcome back = folders.run({"encode", got, "--level", "4", "--caps", "7"});
    EXPECT_EQ(sent.status, 0) << sent.err;
    EXPECT_EQ(back.out, sent.out);
}

TEST(CliCommands, FatalErrorAndUnreachableProjectorsStopEachCommand) {
    CliFolders folders("fatal");
    SimProcess sim({"--address", "127.0.40.3", "--error-status", "2"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    ASSERT_TRUE(writeMessageFile(folders.messageData("m.ovx"), makeMessage(u"T", u"x")));
    const std::string fatal = "Projector has the fatal error.\n";
    const std::string noConnection = "Communication error\n : [Connection error]\n";
    for (const char* address : {"127.0.40.3", "127.0.40.4"}) {
        const bool reachable = std::string(address) == "127.0.40.3";
        const std::vector<std::vector<std::string>> commands = {
            {"--yes", "clear", "all"}, {"mute"}, {"show", "--slot", "1"}, {"hide", "--slot", "1"},
            {"startup", "--off"},
        };
        for (std::vector<std::string> args : commands) {
            args.insert(args.end(), {"--projector", address});
            const CliOutcome o = folders.run(args);
            EXPECT_EQ(o.status, 1) << describe(args, o);
            EXPECT_EQ(o.err, reachable ? fatal : noConnection) << describe(args, o);
        }
        const CliOutcome sent = folders.run({"send", "m.ovx", "--projector", address});
        EXPECT_EQ(sent.status, 1);
        EXPECT_EQ(sent.out, std::string(address) + ": " +
                                (reachable ? "Projector has the fatal error.\n"
                                           : "Communication error  : [Connection error]\n"));
    }
    EXPECT_FALSE(sim.waitForLine("PUT", std::chrono::milliseconds(100))) << sim.output();
}

TEST(CliSend, SendLockRefusesBeforeAnyProjectorIsAsked) {
    CliFolders folders("lock");
    SimProcess sim({"--address", "127.0.40.5", "--save-polls", "0"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    ASSERT_TRUE(writeMessageFile(folders.messageData("m.ovx"), makeMessage(u"T", u"x")));
    const std::vector<std::string> send = {"send", "m.ovx", "--projector", "127.0.40.5"};

    folders.writeSettings("[General]\nLock=1\n[PJOrvantaPass]\nPass=\nLock=1\n");
    const std::size_t before = sim.settledLineCount();
    const CliOutcome locked = folders.run(send);
    EXPECT_EQ(locked.status, 1);
    EXPECT_EQ(locked.out, "");
    EXPECT_EQ(locked.err, "The Send button is locked.\n");
    EXPECT_EQ(sim.settledLineCount(), before) << sim.output();
    // The desktop program locks only its Send buttons.
    EXPECT_EQ(folders.run({"--yes", "clear", "all", "--projector", "127.0.40.5"}).status, 0);

    for (const char* unlocked :
         {"[PJOrvantaPass]\nLock=0\n", "[PJOrvantaPass]\nLock=2\n", "[Other]\nLock=1\n"}) {
        folders.writeSettings(unlocked);
        const CliOutcome o = folders.run(send);
        EXPECT_EQ(o.status, 0) << unlocked << describe(send, o);
        EXPECT_EQ(o.out, "127.0.40.5:     Complete.\n");
    }
}

TEST(CliSend, TenProjectorsAtOnceEachWithItsOwnLine) {
    CliFolders folders("ten");
    std::vector<std::string> simArgs = {"--save-polls", "1"};
    for (int i = 2; i <= 9; ++i) {
        simArgs.insert(simArgs.end(), {"--address", "127.0.41." + std::to_string(i)});
    }
    SimProcess eight(simArgs);
    SimProcess guarded({"--address", "127.0.41.10", "--password", "secret"});
    ASSERT_TRUE(eight.ready()) << eight.output();
    ASSERT_TRUE(guarded.ready()) << guarded.output();
    ASSERT_TRUE(writeMessageFile(folders.messageData("m.ovx"), makeMessage(u"Bell", u"Class")));

    // Given out of order, with an address where nothing listens (127.0.41.11) and one
    // projector whose password is not the one registered.
    const std::vector<std::string> order = {
        "127.0.41.9", "127.0.41.11", "127.0.41.2", "127.0.41.10", "127.0.41.5",
        "127.0.41.3", "127.0.41.8",  "127.0.41.4", "127.0.41.7",  "127.0.41.6"};
    for (const std::string& a : order) {
        registerProjector(folders, a.c_str(), a == "127.0.41.10" ? "wrong" : "");
    }
    std::vector<std::string> args = {"send", "m.ovx", "--slot", "4"};
    std::string expected;
    for (const std::string& a : order) {
        args.insert(args.end(), {"--projector", a});
        expected += a + ": " +
                    (a == "127.0.41.11"   ? "Communication error  : [Connection error]"
                     : a == "127.0.41.10" ? "Communication error  : [Receive error]"
                                          : "    Complete.") +
                    "\n";
    }
    const CliOutcome o = folders.run(args);
    EXPECT_EQ(o.status, 1) << describe(args, o);
    EXPECT_EQ(o.out, expected) << describe(args, o);
    EXPECT_EQ(o.err, "");
    for (int i = 2; i <= 9; ++i) {
        const std::string a = "127.0.41." + std::to_string(i);
        EXPECT_TRUE(eight.waitForLine(a + ":9719 PUT")) << eight.output();
        EXPECT_TRUE(eight.waitForLine(a + ":9719 STAT 4 | digest ok | STAT 0")) << eight.output();
    }

    // Every registered projector, with the passwords of LastPj.txt; then with the right one.
    const CliOutcome all = folders.run({"send", "m.ovx", "--slot", "4", "--all-registered"});
    EXPECT_EQ(all.out, expected);
    const CliOutcome guardedOnly =
        folders.run({"send", "m.ovx", "--projector", "127.0.41.10", "--password", "secret"});
    EXPECT_EQ(guardedOnly.status, 0);
    EXPECT_EQ(guardedOnly.out, "127.0.41.10:     Complete.\n");
}

TEST(CliSend, GroupsNameTheirProjectorsForEveryCommandThatTalksToMany) {
    CliFolders folders("group");
    SimProcess sims({"--address", "127.0.41.20", "--address", "127.0.41.21", "--save-polls", "0"});
    ASSERT_TRUE(sims.ready()) << sims.output();
    ASSERT_TRUE(writeMessageFile(folders.messageData("m.ovx"), makeMessage(u"Bell", u"Class")));
    for (const char* a : {"127.0.41.20", "127.0.41.21", "127.0.41.22"}) {
        registerProjector(folders, a, "");
    }
    ASSERT_TRUE(createGroup(folders.program(), "Hall A").ok());
    for (const char* a : {"127.0.41.21", "127.0.41.22", "127.0.41.20"}) {
        ASSERT_TRUE(addToGroup(folders.program(), "Hall A", ipv4(a)).ok());
    }
    // 127.0.41.22 leaves the registry: the group keeps it, and its line says so.
    ASSERT_TRUE(unregisterProjector(folders.program(), ipv4("127.0.41.22")).ok());
    const std::string missing =
        "127.0.41.22: " + languageText(Text::ProjectorNoLongerRegistered) + "\n";

    struct Case {
        std::vector<std::string> args;
        std::string out;
    };
    const Case cases[] = {
        {{"send", "m.ovx", "--slot", "2", "--group", "Hall A"},
         "127.0.41.21:     Complete.\n" + missing + "127.0.41.20:     Complete.\n"},
        {{"hide", "--slot", "2", "--group", "Hall A"},
         "127.0.41.21:     Complete.\n" + missing + "127.0.41.20:     Complete.\n"},
        {{"startup", "--slot", "2", "--minutes", "5", "--group", "Hall A", "--projector",
          "127.0.41.20"},
         "127.0.41.20: startup: 2, 5 min\n127.0.41.21: startup: 2, 5 min\n" + missing},
    };
    for (const Case& c : cases) {
        const CliOutcome o = folders.run(c.args);
        EXPECT_EQ(o.status, 1) << describe(c.args, o);
        EXPECT_EQ(o.out, c.out) << describe(c.args, o);
    }
    const std::vector<std::string> unknown = {"send", "m.ovx", "--group", "Hall B"};
    const CliOutcome o = folders.run(unknown);
    EXPECT_EQ(o.status, 1) << describe(unknown, o);
    EXPECT_NE(o.err.find(languageText(Text::GroupNotFound)), std::string::npos)
        << describe(unknown, o);
}

TEST(CliSend, InterruptDuringALongPutCancelsTheSave) {
    CliFolders folders("cancel");
    SimProcess sim({"--address", "127.0.43.2", "--reply-delay", "700", "--save-polls", "5"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    // 128 + 6 + 2 x 300 bytes: long enough for a cancel to outlast the PUT.
    ASSERT_TRUE(writeMessageFile(folders.messageData("long.ovx"),
                                 makeMessage(u"T", std::u16string(300, u'x'))));
    CliProcess cli({"send", "long.ovx", "--slot", "2", "--projector", "127.0.43.2"},
                   folders.environment());
    ASSERT_TRUE(sim.waitForLine(":9719 PUT", std::chrono::seconds(20))) << sim.output();
    ::kill(cli.pid(), SIGINT);
    const CliOutcome o = cli.wait();
    EXPECT_EQ(o.status, 1) << o.err;
    EXPECT_EQ(o.out, "127.0.43.2: Cancel complete.\n");
    EXPECT_TRUE(sim.waitForLine("CANCEL | digest ok | CANCEL 0")) << sim.output();
}

// ---------------------------------------------------------------------------------------------

TEST(CliProjectors, RegistryRulesAndTexts) {
    CliFolders folders("registry");
    const std::string path = registryPath(folders.program());
    ProjectorRegistry list;
    for (std::uint32_t i = 0; i < 62; ++i) {
        ProjectorRecord r;
        r.address = ipv4("10.0.0.1") + i;
        r.name = "P" + std::to_string(i);
        r.mac = "00-00-00-00-00-00";
        r.authentication = 1;
        list.records.push_back(r);
    }
    ASSERT_TRUE(rewriteRegistry(folders.program(), list).ok());
    ASSERT_TRUE(saveAdaptorSelection(folders.program(), "127.0.0.1", "lo").ok());

    struct Case {
        std::vector<std::string> args;
        int status;
        std::string out;
        std::string err;
    };
    const Case cases[] = {
        {{"projectors", "add", "10.0.0.1"}, 1, "", "Same IP-Address already exists.\n"},
        {{"projectors", "add", "0.0.0.0"}, 1, "", "Please input IP Address.\n"},
        {{"projectors", "add", "10.9.9.9", "--mac", "aa:bb:cc:dd:ee:f", "--password", "pw"},
         0,
         "",
         ""},
        {{"projectors", "add", "10.9.9.10"}, 0, "", ""},  // the 64th
        {{"projectors", "add", "10.9.9.11"},
         1,
         "",
         "Maximun PROJECTOR registration number is 64.\nPlease delete a PROJECTOR in the "
         "list.\n"},
        {{"projectors", "remove", "10.9.9.10"},
         1,
         "",
         "[ 10.9.9.10 ] will be deleted. Are you sure?\n"},
        {{"projectors", "remove", "10.1.1.1", "--yes"}, 1, "", "Please select a PROJECTOR\n"},
        {{"projectors", "password", "10.1.1.1", "x"}, 1, "", "Please select a PROJECTOR\n"},
        {{"--yes", "projectors", "remove", "10.0.0.5"}, 0, "", ""},
        {{"projectors", "add", "10.9.9.11"}, 0, "", ""},
        {{"projectors", "password", "10.9.9.9", "new secret"}, 0, "", ""},
    };
    for (const Case& c : cases) {
        std::string before;
        before = readWholeFile(path).valueOr({});
        const CliOutcome o = folders.run(c.args);
        EXPECT_EQ(o.status, c.status) << describe(c.args, o);
        EXPECT_EQ(o.out, c.out) << describe(c.args, o);
        EXPECT_EQ(o.err, c.err) << describe(c.args, o);
        if (c.status != 0) {
            std::string after;
            after = readWholeFile(path).valueOr({});
            EXPECT_EQ(after, before) << describe(c.args, o);
        }
    }

    const ProjectorRegistry now = loadRegistry(folders.program());
    ASSERT_EQ(now.count(), 64u);
    EXPECT_FALSE(now.findAddress(ipv4("10.0.0.5")));
    const auto row = now.findAddress(ipv4("10.9.9.9"));
    ASSERT_TRUE(row);
    EXPECT_EQ(now.records[*row],
              (ProjectorRecord{"", ipv4("10.9.9.9"), 1, "new secret", "aa-bb-cc-dd-ee-f"}));
    EXPECT_EQ(now.records.back().mac, "-----");
    // Removing rewrote the list; the adaptor chosen for discovery is still there.
    EXPECT_EQ(loadAdaptorSelection(folders.program(), {"eth0", "lo"}), 1u);

    const CliOutcome listed = folders.run({"projectors", "list"});
    EXPECT_EQ(listed.status, 0);
    EXPECT_EQ(listed.out.substr(0, listed.out.find('\n') + 1), "P0  00-00-00-00-00-00  10.0.0.1\n");
    EXPECT_NE(listed.out.find("\n-  aa-bb-cc-dd-ee-f  10.9.9.9\n"), std::string::npos);
    EXPECT_EQ(std::count(listed.out.begin(), listed.out.end(), '\n'), 64);
}

}  // namespace
}  // namespace orvanta
