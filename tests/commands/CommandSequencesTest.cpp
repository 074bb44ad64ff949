// The command sequences behind the Main tab: startup display word and texts, display-time
// rules, status texts, the send lock settings, the poll exchange and the send follow-ups
// against the simulator (127.0.42.x).

#include "commands/ProjectorState.h"
#include "commands/SendCommand.h"
#include "commands/StartupDisplay.h"
#include "commands/StatusWatch.h"
#include "settings/SendLockStore.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "cli/CliTestSupport.h"
#include "platform/AtomicFile.h"
#include "support/ScriptedPrompt.h"
#include "support/SimProcess.h"
#include "text/LanguageText.h"

namespace orvanta {
namespace {

using testsupport::CliFolders;
using testsupport::ipv4;
using testsupport::SimProcess;

class MainCommands : public ::testing::Test {
  protected:
    void SetUp() override { setInterfaceLanguage(LanguageId::English); }
};

TEST_F(MainCommands, StartupWordBothWaysAndWhatTheAreaShows) {
    struct Case {
        std::uint16_t word;
        StartupDisplay startup;
        bool valid;
        StartupAreaTexts shown;
    };
    const Case cases[] = {
        {0x8305, {true, 3, 5}, true, {"3", "5", true}},
        {0x8C00, {true, 12, 0}, true, {"12", "Repeat", false}},
        {0x807F, {true, 0, 127}, true, {"0", "127", true}},
        {0x0000, {false, 0, 0}, true, {"None", "-", false}},
        {0x0101, {false, 1, 1}, true, {"None", "-", false}},
        {0x8305, {true, 3, 5}, false, {"-", "-", false}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(decodeStartupWord(c.word), c.startup) << c.word;
        EXPECT_EQ(startupDisplayValue(c.startup), c.word) << c.word;
        const StartupAreaTexts t = startupAreaTexts(c.valid, c.startup);
        EXPECT_EQ(t.savedNumber, c.shown.savedNumber) << c.word;
        EXPECT_EQ(t.displayTime, c.shown.displayTime) << c.word;
        EXPECT_EQ(t.minutes, c.shown.minutes) << c.word;
    }
    // Bit 7 is never set, whatever is asked for.
    EXPECT_EQ(startupDisplayValue({true, 3, 0xFF}), 0x83FF);
    EXPECT_EQ(decodeStartupWord(0xFFFF), (StartupDisplay{true, 127, 127}));

    ProjectorInfo info;
    info.values.stateWord = 0;
    for (int level : {0xF000, 1, 0}) {
        info.values.level = level;
        EXPECT_FALSE(info.levelUsable()) << level;
        EXPECT_FALSE(info.startupValid()) << level;
    }
    info.values.level = 2;
    EXPECT_TRUE(info.startupValid());
    // A projector that did not say its startup word (0xFFFF) has no setting to show.
    info.values.stateWord = -1;
    EXPECT_TRUE(info.levelUsable());
    EXPECT_FALSE(info.startupValid());
}

TEST_F(MainCommands, EveryStateQueryDecidesTheCapabilitiesAnew) {
    SimProcess newest({"--address", "127.0.42.20", "--caps", "7"});
    SimProcess first({"--address", "127.0.42.21", "--level", "1"});
    SimProcess older({"--address", "127.0.42.8", "--level", "2", "--startup-word", "33541"});
    ASSERT_TRUE(newest.ready() && first.ready() && older.ready()) << older.output();
    TransferFlags flags;
    BlockingTransferRunner runner(flags);
    ScriptedPrompt prompt;
    // One page's projector information, as the operator chooses one projector after another.
    struct Case {
        const char* address;
        int level;
        ProjectorCapabilities capabilities;
    };
    const Case cases[] = {
        {"127.0.42.20", 4, {4, 7}},
        // Level 0 and 1 after level 4: none of the newer one's options and character set.
        {"127.0.42.21", 1, {1, 0}},
        {"127.0.42.20", 4, {4, 7}},
        {"127.0.42.8", 2, {2, 0xFFFF}},
        {"127.0.42.20", 4, {4, 7}},
        // Nobody there: the start values, not the last projector's.
        {"127.0.42.9", 0xF000, {1, 0}},
    };
    ProjectorInfo info;
    for (const Case& c : cases) {
        ASSERT_TRUE(refreshProjectorInfo({{ipv4(c.address), ""}, prompt, runner, info}).ok())
            << c.address;
        EXPECT_EQ(info.values.level, c.level) << c.address;
        EXPECT_EQ(info.capabilities, c.capabilities) << c.address;
    }
    EXPECT_FALSE(info.capabilities.extendedOptions());
    EXPECT_FALSE(info.capabilities.pictureSideSupported());
    EXPECT_TRUE(prompt.texts().empty());

    ASSERT_TRUE(refreshProjectorInfo({{ipv4("127.0.42.8"), ""}, prompt, runner, info}).ok());
    EXPECT_FALSE(info.startupValid());  // level 2 is not asked for its startup word
}

TEST_F(MainCommands, AStartupDisplayThatIsOffSaysSoInTheInterfaceLanguage) {
    StartupDisplay off;
    off.on = false;
    const std::pair<LanguageId, const char*> cases[] = {
        {LanguageId::English, "None"},
        {LanguageId::Japanese, "\xE7\x84\xA1\xE3\x81\x97"},
        {LanguageId::ChineseSimplified, "\xE6\x97\xA0"},
    };
    for (const auto& [language, none] : cases) {
        setInterfaceLanguage(language);
        EXPECT_EQ(startupAreaTexts(true, off).savedNumber, none);
        EXPECT_EQ(startupAreaTexts(false, off).savedNumber, "-");
    }
    setInterfaceLanguage(LanguageId::English);
}

TEST_F(MainCommands, DisplayTimeTexts) {
    struct Case {
        const char* text;
        std::optional<int> send;  // the Main tab's check box list at Send
        std::optional<int> edit;  // the Startup Display Edit dialog
    };
    const Case cases[] = {
        {"1", 1, 1},
        {"127", 127, 127},
        {" 5 ", 5, 5},
        {"Repeat", 0, 0},
        {"", std::nullopt, 0},
        {"0", std::nullopt, std::nullopt},
        {"128", std::nullopt, std::nullopt},
        {"repeat", std::nullopt, std::nullopt},
        {"5min", std::nullopt, std::nullopt},
        {"-3", std::nullopt, std::nullopt},
        {"99999999999", std::nullopt, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(parseSendDisplayTime(c.text), c.send) << '"' << c.text << '"';
        EXPECT_EQ(parseEditDisplayTime(c.text), c.edit) << '"' << c.text << '"';
    }
    setInterfaceLanguage(LanguageId::Japanese);
    EXPECT_EQ(parseSendDisplayTime(languageText(Text::StartupRepeat)), 0);
    EXPECT_EQ(parseSendDisplayTime("Repeat"), std::nullopt);
}

TEST_F(MainCommands, StatusFieldsFromPollAnswers) {
    struct Case {
        PollResult poll;
        std::optional<StatusFields> fields;
    };
    const Case cases[] = {
        {{PollEvent::MessageStatus, 0x0301},
         StatusFields{"ON", "Saved number:3", true, true, false}},
        {{PollEvent::MessageStatus, 0x0001}, StatusFields{"ON", "Saved number:Quick", true, true}},
        {{PollEvent::MessageStatus, 0x0000}, StatusFields{"OFF", "Saved number:-", true, false}},
        {{PollEvent::MessageStatus, 0x0C00}, StatusFields{"OFF", "Saved number:-", true, false}},
        {{PollEvent::AlarmStatus, 0x0201}, StatusFields{"ON", "Sound number:2", true, true, true}},
        {{PollEvent::AlarmStatus, 0x0040},
         StatusFields{"ON", "Sound number:None", true, true, true}},
        {{PollEvent::AlarmStatus, 0x0080}, StatusFields{"OFF", "Sound number:-", true, false}},
        {{PollEvent::AlarmStatus, 0x0300}, StatusFields{"OFF", "Sound number:-", true, false}},
        {{PollEvent::Reply1, 0}, StatusFields{}},
        {{PollEvent::Reply9, 0}, StatusFields{}},
        {{PollEvent::Error, 17}, StatusFields{}},
        {{PollEvent::Reply8, 0}, std::nullopt},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(statusFieldsAfterPoll(c.poll), c.fields)
            << static_cast<int>(c.poll.event) << " " << c.poll.value;
    }
}

TEST_F(MainCommands, SendLockSettings) {
    CliFolders folders("settings");
    struct Case {
        const char* content;  // nullptr: no file
        bool locked;
        const char* pass;
    };
    const Case cases[] = {
        {nullptr, false, ""},
        {"[PJOrvantaPass]\nLock=1\nPass=0123456789ABCDEF0123456789ABCDEF\n", true,
         "0123456789ABCDEF0123456789ABCDEF"},
        {"[PJOrvantaPass]\r\nPass=\r\nLock=1\r\n", true, ""},
        {"[PJOrvantaPass]\nLock=0\n", false, ""},
        {"[PJOrvantaPass]\nLock=2\n", false, ""},
        {"[PJOrvantaPass]\nLock=true\n", false, ""},
        {"[PJOrvantaPass]\nLock = 1 \n", true, ""},
        {"Lock=1\n[Other]\nLock=1\n", false, ""},
        {"\xFF\xFE garbage \x01", false, ""},
    };
    for (const Case& c : cases) {
        std::filesystem::remove(folders.settingsFile());
        if (c.content != nullptr) {
            folders.writeSettings(c.content);
        }
        const SendLockSettings s = readSendLockSettings(folders.settingsFile());
        EXPECT_EQ(s.locked, c.locked) << (c.content ? c.content : "(none)");
        EXPECT_EQ(s.passDigest, c.pass) << (c.content ? c.content : "(none)");
    }

    // Where the desktop program's settings are found.
    const char* savedXdg = std::getenv("XDG_CONFIG_HOME");
    const std::string xdg = savedXdg != nullptr ? savedXdg : "";
    ::setenv("XDG_CONFIG_HOME", "/srv/conf", 1);
    EXPECT_EQ(sendLockSettingsPath(), "/srv/conf/TAVRIX/PJOrvanta.conf");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);
    const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    if (!home.empty()) {
        EXPECT_EQ(sendLockSettingsPath(), home + "/.config/TAVRIX/PJOrvanta.conf");
    }
    if (savedXdg != nullptr) {
        ::setenv("XDG_CONFIG_HOME", xdg.c_str(), 1);
    } else {
        ::unsetenv("XDG_CONFIG_HOME");
    }
}

// ---------------------------------------------------------------------------------------------

TEST_F(MainCommands, PollExchangeAgainstTheSimulator) {
    SimProcess plain({"--address", "127.0.42.2", "--password", "pw", "--alarm", "2"});
    SimProcess busy({"--address", "127.0.42.3", "--busy"});
    SimProcess garbage({"--address", "127.0.42.4", "--garbage"});
    for (SimProcess* s : {&plain, &busy, &garbage}) {
        ASSERT_TRUE(s->ready()) << s->output();
    }
    std::atomic<bool> stop{false};
    struct Case {
        const char* address;
        const char* password;
        std::uint16_t code;
        PollEvent event;
        int value;
    };
    const Case cases[] = {
        {"127.0.42.2", "pw", kCtrlMessageStatus, PollEvent::MessageStatus, 0},
        {"127.0.42.2", "pw", kCtrlAlarmStatus, PollEvent::AlarmStatus, 0x0201},
        {"127.0.42.2", "wrong", kCtrlAlarmStatus, PollEvent::Error, 18},  // closed unanswered
        {"127.0.42.3", "", kCtrlMessageStatus, PollEvent::Reply2, 0},
        {"127.0.42.4", "", kCtrlMessageStatus, PollEvent::Error, 0},
        {"127.0.42.99", "", kCtrlMessageStatus, PollEvent::Error, 0},  // nobody there
    };
    for (const Case& c : cases) {
        const PollResult r = runPollExchange({ipv4(c.address), c.password}, c.code, stop);
        EXPECT_EQ(r.event, c.event) << c.address << " " << c.password;
        EXPECT_EQ(r.value, c.value) << c.address << " " << c.password;
    }

    // A set stop flag ends the reply wait after one step.
    SimProcess slow({"--address", "127.0.42.5", "--reply-delay", "5000"});
    ASSERT_TRUE(slow.ready()) << slow.output();
    stop = true;
    ExchangeTimings quick;
    quick.replyStep = std::chrono::milliseconds(50);
    const PollResult stopped =
        runPollExchange({ipv4("127.0.42.5"), ""}, kCtrlMessageStatus, stop, quick);
    EXPECT_EQ(stopped.event, PollEvent::Error);
    EXPECT_EQ(stopped.value, 17);
}

// The send sequence in-process, for what the command line cannot see: the startup word the
// follow-up leaves in the projector information, and the order of the refusals.
TEST_F(MainCommands, SendMessageFileFollowUpsAndRefusals) {
    CliFolders folders("mainsend");
    SimProcess sim({"--address", "127.0.42.6", "--save-polls", "0", "--startup-word", "33541"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    Message m;
    m.title = RichText(u"T", 0xFFFFFF, 0xC0C0C0);
    m.body = RichText(u"x", 0xFFFFFF, 0xC0C0C0);
    const std::string file = folders.messageData("m.ovx");
    ASSERT_TRUE(testsupport::writeMessageFile(file, m));
    ASSERT_TRUE(writeFileAtomically(folders.messageData("bad.ovx"), "{\\rtf1 not a message}").ok());

    const ProjectorTarget target{ipv4("127.0.42.6"), ""};
    TransferFlags flags;
    BlockingTransferRunner runner(flags);
    ProjectorInfo info;
    ScriptedPrompt prompt;
    const CommandContext context{target, prompt, runner, info};
    ASSERT_TRUE(refreshProjectorInfo(context).ok());
    EXPECT_EQ(info.capabilities, (ProjectorCapabilities{4, 7}));
    EXPECT_EQ(info.startup(), (StartupDisplay{true, 3, 5}));

    struct Case {
        SendRequest request;
        bool locked;
        Outcome::Kind result;
        std::vector<std::string> texts;
        std::uint16_t startupWord;  // afterwards
    };
    const Case cases[] = {
        {{file, 3, false, ""}, true, Outcome::Kind::Failed, {"The Send button is locked."}, 33541},
        {{folders.messageData("bad.ovx"), 3, false, ""},
         false,
         Outcome::Kind::Failed,
         {"This file format is not supported."},
         33541},
        {{file, 3, true, "0"},
         false,
         Outcome::Kind::Failed,
         {"Display time : Invalid value"},
         33541},
        // Into another slot: the startup display stays.
        {{file, 4, false, ""}, false, Outcome::Kind::Done, {"    Complete."}, 33541},
        // Quick with the box checked: the box does not apply to Quick.
        {{file, 0, true, "7"}, false, Outcome::Kind::Done, {"    Complete."}, 33541},
        // Over the startup slot: switched off for that slot.
        {{file, 3, false, ""}, false, Outcome::Kind::Done, {"    Complete."}, 0x0300},
        {{file, 5, true, "Repeat"}, false, Outcome::Kind::Done, {"    Complete."}, 0x8500},
    };
    for (const Case& c : cases) {
        prompt.clear();
        const Outcome r = sendMessageFile(context, c.request, c.locked);
        EXPECT_EQ(r.kind, c.result) << c.request.path << " " << int(c.request.slot);
        // A failure's text is the one the operator was told.
        EXPECT_EQ(r.ok() ? c.texts : std::vector<std::string>{r.text}, c.texts);
        EXPECT_EQ(prompt.texts(), c.texts) << c.request.path << " " << int(c.request.slot);
        EXPECT_EQ(static_cast<std::uint16_t>(info.values.stateWord), c.startupWord)
            << int(c.request.slot);
    }
    // What the projector holds agrees with what the tab shows.
    ASSERT_TRUE(refreshProjectorInfo(context).ok());
    EXPECT_EQ(static_cast<std::uint16_t>(info.values.stateWord), 0x8500);
}

TEST_F(MainCommands, FailedStartupFollowUpIsNotReportedComplete) {
    // The projector takes the message, then is busy when the startup display is set.
    CliFolders folders("followup");
    SimProcess sim({"--address", "127.0.42.7", "--save-polls", "0"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    Message m;
    m.title = RichText(u"T", 0xFFFFFF, 0xC0C0C0);
    m.body = RichText(u"x", 0xFFFFFF, 0xC0C0C0);
    const std::string file = folders.messageData("m.ovx");
    ASSERT_TRUE(testsupport::writeMessageFile(file, m));

    // A runner that ends every CtrlRead as the projector refusing it.
    class RefusingReads : public BlockingTransferRunner {
      public:
        using BlockingTransferRunner::BlockingTransferRunner;
        bool run(TransferJob& job, TransferKind kind) override {
            if (kind == TransferKind::CtrlRead) {
                job.outcome.resultText = languageText(Text::ProjectorBusy);
                job.outcome.end = TransferEnd::Failure;
                return false;
            }
            return BlockingTransferRunner::run(job, kind);
        }
    };
    TransferFlags flags;
    RefusingReads runner(flags);
    ProjectorInfo info;
    ScriptedPrompt prompt;
    const Outcome r = sendMessageFile({{ipv4("127.0.42.7"), ""}, prompt, runner, info},
                                      {file, 2, true, "3"}, false);
    // The message is on the projector; what failed is the follow-up.
    EXPECT_EQ(r.kind, Outcome::Kind::Failed);
    EXPECT_EQ(r.step, Outcome::Step::FollowUp);
    EXPECT_EQ(r.text, "Projector Busy.");
    EXPECT_EQ(prompt.texts(), std::vector<std::string>{"Projector Busy."});
    EXPECT_TRUE(sim.waitForLine("STAT 2 | digest ok | STAT 0")) << sim.output();
}

}  // namespace
}  // namespace orvanta
