// The command operations against the projector simulator, run through the blocking runner
// with a scripted prompt: what they send, what they show, and what they hand back.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "commands/DisplayCommands.h"
#include "commands/ProjectorState.h"
#include "commands/ReadBack.h"
#include "commands/SendCommand.h"
#include "message/Payload.h"
#include "support/ScriptedPrompt.h"
#include "support/SimProcess.h"
#include "support/TransferTestSupport.h"
#include "text/LanguageText.h"

using namespace orvanta;
using namespace orvanta::testsupport;

namespace {

class Operations : public ::testing::Test {
  protected:
    Operations() : runner(flags, quickTimings()) {}
    void SetUp() override { setInterfaceLanguage(LanguageId::English); }

    ProjectorTarget target(const char* address, const char* password = "") {
        return {ipv4(address), password};
    }
    std::vector<std::string> shown() { return prompt.texts(); }

    TransferFlags flags;
    BlockingTransferRunner runner;
    ScriptedPrompt prompt;
    ProjectorInfo projector;
    ProjectorStateValues& values = projector.values;

    CommandContext at(const ProjectorTarget& t) { return {t, prompt, runner, projector}; }
};

const ProjectorCapabilities kFullCapabilities{4, 7};
constexpr Outcome::Kind kDone = Outcome::Kind::Done;
constexpr Outcome::Kind kFailed = Outcome::Kind::Failed;
constexpr Outcome::Kind kCancelled = Outcome::Kind::Cancelled;

}  // namespace

TEST_F(Operations, SendChecksPopOnLinesAndPictureSideBeforeAnythingIsSent) {
    SimProcess sim({"--address", "127.0.4.60"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    struct Case {
        std::uint8_t style;
        bool doubleSize;
        int lines;
        std::uint32_t flags;
        PromptAnswer answer;  // to the line count question, if it is asked
        bool asked;
        Outcome::Kind result;
        const char* text;  // information shown, or nullptr
    };
    const char* pictureSide =
        "This message data is set [Picture Side] style in [Orvanta] function.\nThis projector does "
        "not support [Picture Side] style data.\nPlease try to set this data as other style.";
    const Case cases[] = {
        {2, false, 13, 7, PromptAnswer::No, false, kDone, nullptr},
        {2, false, 14, 7, PromptAnswer::No, true, kCancelled, nullptr},
        {2, false, 14, 7, PromptAnswer::Yes, true, kDone, nullptr},
        {2, true, 6, 7, PromptAnswer::No, false, kDone, nullptr},
        {2, true, 7, 7, PromptAnswer::No, true, kCancelled, nullptr},
        {1, false, 40, 7, PromptAnswer::No, false, kDone, nullptr},  // only Pop on counts lines
        {3, false, 0, 6, PromptAnswer::Yes, false, kFailed, pictureSide},
        {3, false, 0, 1, PromptAnswer::Yes, false, kDone, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.style) + " lines " + std::to_string(c.lines));
        ScriptedPrompt answers;
        ProjectorInfo info;
        answers.queue(c.answer);
        MessagePayload payload = testPayload(100, true, c.style);
        payload.header[3] = c.doubleSize ? 1 : 0;
        const int before = countLines(sim, "PUT");
        const CommandContext context{target("127.0.4.60"), answers, runner, info};
        const Outcome sent =
            sendPayloadToProjector(context, payload, c.lines, ProjectorCapabilities{4, c.flags}, 1);
        EXPECT_EQ(sent.kind, c.result);
        EXPECT_EQ(sent.text, c.text ? c.text : "");
        const auto& entries = answers.entries();
        const bool asked = !entries.empty() && entries.front().question;
        EXPECT_EQ(asked, c.asked);
        if (asked) {
            EXPECT_EQ(entries.front().text,
                      "All Message may not be displayed because of too many "
                      "characters in the message box. \nDo you want to "
                      "proceed?");
            EXPECT_EQ(entries.front().buttons, PromptButtons::YesNo);
        }
        if (c.text != nullptr) {
            EXPECT_EQ(answers.texts(), std::vector<std::string>{c.text});
        }
        EXPECT_TRUE(waitForCount(sim, "PUT", before + (c.result == kDone ? 1 : 0))) << sim.output();
    }
}

TEST_F(Operations, DisplayCheckClearAndMuteSendTheirCodesAndShowTheirTexts) {
    SimProcess sim({"--address", "127.0.4.61", "--verbose"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    const ProjectorTarget t = target("127.0.4.61");

    // An empty slot: the check says so, showing it is refused.
    EXPECT_FALSE(checkStoredMessage(at(t), 3).ok());
    EXPECT_FALSE(showStoredMessage(at(t), 3, false).ok());
    EXPECT_EQ(shown(), (std::vector<std::string>{"No Message Data.", "No message on display."}));
    prompt.clear();

    ASSERT_TRUE(sendPayloadToProjector(at(t), testPayload(64, true), 0, kFullCapabilities, 3).ok());
    EXPECT_TRUE(checkStoredMessage(at(t), 3).ok());
    EXPECT_EQ(values.status, '1');
    EXPECT_TRUE(showStoredMessage(at(t), 3, true).ok());
    EXPECT_TRUE(hideStoredMessage(at(t), 0).ok());
    EXPECT_TRUE(shown().empty());
    EXPECT_TRUE(sim.waitForLine("CTRL 3530\\r\\n1\\r\\n768\\r\\n")) << sim.output();
    EXPECT_TRUE(sim.waitForLine("CTRL 3510\\r\\n1\\r\\n33537\\r\\n")) << sim.output();
    EXPECT_TRUE(sim.waitForLine("CTRL 3510\\r\\n1\\r\\n0\\r\\n")) << sim.output();

    EXPECT_TRUE(clearStoredMessages(at(t), clearCode(ClearScope::SavedNumber, 3)).ok());
    EXPECT_TRUE(muteProjector(at(t)).ok());
    EXPECT_EQ(shown(), (std::vector<std::string>{"    Complete.", "    Complete."}));
    EXPECT_TRUE(sim.waitForLine("CTRL 3516\\r\\n6\\r\\n")) << sim.output();
    EXPECT_TRUE(sim.waitForLine("CTRL 2002\\r\\n1\\r\\n1\\r\\n")) << sim.output();
    prompt.clear();
    const Outcome empty = checkStoredMessage(at(t), 3);
    EXPECT_EQ(empty.kind, Outcome::Kind::Failed);
    EXPECT_EQ(empty.text, "No Message Data.");
    EXPECT_EQ(shown(), std::vector<std::string>{"No Message Data."});

    EXPECT_EQ(clearCode(ClearScope::All), 0x3511);
    EXPECT_EQ(clearCode(ClearScope::Quick), 0x3512);
    EXPECT_EQ(clearCode(ClearScope::SavedNumber, 0), 0x3513);
    EXPECT_EQ(clearCode(ClearScope::SavedNumber, 12), 0x351F);
}

TEST_F(Operations, ErrorStatusCheckStopsOnFatalStatusesAndRefusals) {
    struct Case {
        const char* address;
        std::vector<std::string> args;
        bool ready;
        const char* text;
    };
    const Case cases[] = {
        {"127.0.4.62", {"--error-status", "0"}, true, nullptr},
        {"127.0.4.63", {"--error-status", "2"}, false, "Projector has the fatal error."},
        {"127.0.4.64", {"--error-status", "5"}, true, nullptr},
        {"127.0.4.65", {"--reply-digit", "CTRL=1"}, false, "Illegal Request."},
    };
    for (const Case& c : cases) {
        std::vector<std::string> args = {"--address", c.address};
        args.insert(args.end(), c.args.begin(), c.args.end());
        SimProcess sim(args);
        ASSERT_TRUE(sim.ready()) << sim.output();
        prompt.clear();
        const Outcome ready = checkProjectorReady(at(target(c.address)));
        EXPECT_EQ(ready.ok(), c.ready) << c.address;
        EXPECT_EQ(ready.text, c.text ? c.text : "") << c.address;
        EXPECT_EQ(shown(), c.text ? std::vector<std::string>{c.text} : std::vector<std::string>{});
    }
}

TEST_F(Operations, MessageReadBackGivesWhatWasSentInBothHeaderForms) {
    SimProcess sim({"--address", "127.0.4.66", "--password", "secret"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    const ProjectorTarget t = target("127.0.4.66", "secret");
    for (bool longForm : {true, false}) {
        SCOPED_TRACE(longForm);
        const MessagePayload payload = testPayload(longForm ? 3968 : 300, longForm);
        const std::uint8_t slot = longForm ? 10 : 2;
        ASSERT_TRUE(sendPayloadToProjector(at(t), payload, 0, kFullCapabilities, slot).ok());
        ASSERT_TRUE(waitForSave(at(t), slot).ok());

        StoredMessage stored;
        ASSERT_TRUE(readStoredMessage(at(t), slot, stored).ok()) << shown().size();
        EXPECT_TRUE(shown().empty());
        const std::string hex = headerToHex(payload.header);
        EXPECT_EQ(stored.query.headerHex, longForm ? hex : hex + "\r\n");
        EXPECT_EQ(stored.query.slotCharacter, longForm ? 'A' : '2');
        EXPECT_EQ(stored.query.messageLength, static_cast<int>(payload.body.size()));
        ASSERT_EQ(stored.length, static_cast<int>(payload.body.size()));
        ASSERT_EQ(stored.body.size(), kTransferBodyBytes);
        EXPECT_TRUE(std::equal(payload.body.begin(), payload.body.end(), stored.body.begin()));
        EXPECT_TRUE(std::all_of(stored.body.begin() + stored.length, stored.body.end(),
                                [](std::uint8_t b) { return b == 0; }));
    }
    EXPECT_EQ(countLines(sim, "digest wrong"), 0) << sim.output();
}

TEST_F(Operations, AnEncodedMessageComesBackAsTheSameText) {
    SimProcess sim({"--address", "127.0.4.67"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    const ProjectorTarget t = target("127.0.4.67");
    Message message;
    message.title = RichText(u"Fire drill", 0xFFFFFF, 0x808080);
    message.body = RichText(u"Please leave by the east stairs", 0xFFFF00, 0x808080);
    EncodeSettings settings;
    settings.capabilities = kFullCapabilities;
    std::optional<EncodeResult> encoded;
    ASSERT_TRUE(sendMessageToProjector(at(t), message, settings, 4, &encoded).ok())
        << (shown().empty() ? "" : shown().front());
    ASSERT_TRUE(encoded && encoded->ok() && encoded->value().payload.has_value());

    StoredMessage stored;
    ASSERT_TRUE(readStoredMessage(at(t), 4, stored).ok());
    Message back;
    bool characterDisplayMode = false;
    ASSERT_TRUE(
        applyReadBack(back, stored.query.headerHex, stored.body, true, characterDisplayMode));
    EXPECT_EQ(back.title.text(), message.title.text());
    EXPECT_EQ(back.body.text(), message.body.text());
    EXPECT_EQ(back.options.style, message.options.style);
}

TEST_F(Operations, StateQueryAndValueReadKeepTheirValues) {
    SimProcess sim(
        {"--address", "127.0.4.68", "--level", "4", "--caps", "5", "--startup-word", "9"});
    ASSERT_TRUE(sim.ready()) << sim.output();
    ASSERT_TRUE(queryProjectorState(at(target("127.0.4.68")), values).ok());
    EXPECT_EQ(values.level, 4);
    EXPECT_EQ(values.capabilityFlags, 5);
    EXPECT_EQ(values.stateWord, 9);
    EXPECT_TRUE(values.capabilities().pictureSideSupported());
    EXPECT_FALSE(values.capabilities().extendedOptions());

    // Nothing listens here: the query succeeds with the unknown level.
    ASSERT_TRUE(queryProjectorState(at(target("127.0.4.69")), values).ok());
    EXPECT_EQ(values.level, 0xF000);
    EXPECT_EQ(values.capabilityFlags, -1);
    int answer = 0;
    ASSERT_TRUE(readProjectorValue(at(target("127.0.4.68")), 300, answer).ok());
    EXPECT_EQ(answer, 4);             // the simulator answers a written value with its level
    EXPECT_EQ(values.level, 0xF000);  // the answer is no state value
    EXPECT_TRUE(shown().empty());
}

TEST_F(Operations, CancelDuringAPutOrReadBackEndsWithCancelSentToTheProjector) {
    // The operator presses Cancel as soon as the PUT or TEXT starts; the projector answers
    // slowly enough for that.
    struct Case {
        const char* address;
        std::size_t bodyBytes;
        bool readBack;  // cancel the read-back instead of the PUT
        bool cancelled;
    };
    for (const Case& c :
         {Case{"127.0.4.70", 600, false, true}, Case{"127.0.4.71", 400, false, false},
          Case{"127.0.4.72", 100, true, true}}) {
        SCOPED_TRACE(c.address);
        SimProcess sim({"--address", c.address, "--reply-delay", "200"});
        ASSERT_TRUE(sim.ready()) << sim.output();
        const ProjectorTarget t = target(c.address);
        const TransferKind cancelled = c.readBack ? TransferKind::Text : TransferKind::Put;
        runner.setObserver([&](TransferJob& job, const TransferEvent& e) {
            if (job.kind() == cancelled && e.type == TransferEventType::TransferStarted) {
                flags.cancelRequested = true;
            }
        });
        prompt.clear();
        ASSERT_TRUE(
            sendPayloadToProjector(at(t), testPayload(c.bodyBytes, true), 0, kFullCapabilities, 5)
                .ok());
        Outcome done;
        if (c.readBack) {
            ASSERT_TRUE(waitForSave(at(t), 5).ok());
            SlotQuery query;
            ASSERT_TRUE(querySlot(at(t), 5, query).ok());
            std::vector<std::uint8_t> body(10, 1);
            int length = 0;
            done = readBackMessage(at(t), 5, query, body, length);
            EXPECT_TRUE(body.empty());
        } else {
            done = waitForSave(at(t), 5);
        }
        runner.setObserver(nullptr);
        EXPECT_EQ(done.kind, c.cancelled ? Outcome::Kind::Cancelled : Outcome::Kind::Done);
        EXPECT_EQ(shown(), c.cancelled ? std::vector<std::string>{"Cancel complete."}
                                       : std::vector<std::string>{});
        if (c.cancelled) {
            EXPECT_TRUE(sim.waitForLine("CANCEL | digest ok | CANCEL 0")) << sim.output();
        }
        EXPECT_EQ(countLines(sim, "CANCEL"), c.cancelled ? 1 : 0);
    }
}
