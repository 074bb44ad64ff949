// The Save and Open commands around the message file format: what they refuse, what they tell
// the operator and the outcome they end with.

#include "commands/MessageFileCommands.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/AtomicFile.h"
#include "support/ScriptedPrompt.h"
#include "text/LanguageText.h"

namespace orvanta {
namespace {

namespace fs = std::filesystem;

class MessageFileCommands : public ::testing::Test {
  protected:
    MessageFileCommands() {
        std::string tmpl = (fs::temp_directory_path() / "filecmd-XXXXXX").string();
        dir_ = ::mkdtemp(tmpl.data());
    }
    ~MessageFileCommands() override {
        std::error_code ec;
        fs::remove_all(dir_, ec);
    }
    void SetUp() override { setInterfaceLanguage(LanguageId::English); }
    std::string file(const std::string& name) const { return (dir_ / name).string(); }

    static Message sample() {
        Message m;
        m.title = RichText(u"Fire drill", 0xFFFFFF, 0xC0C0C0);
        m.body = RichText(u"Please leave now", 0xFF0000, 0x0000FF);
        return m;
    }

    fs::path dir_;
};

TEST_F(MessageFileCommands, SaveChecksEndingAndMessage) {
    Message m = sample();
    EncodeSettings settings;
    settings.capabilities = {1, 0};
    ScriptedPrompt prompt;

    Outcome saved = saveMessageAs(file("upper.OVX"), m, settings, prompt);
    EXPECT_EQ(saved.kind, Outcome::Kind::Failed);
    EXPECT_EQ(saved.text, ".ovx extension is only valid.");
    EXPECT_EQ(prompt.texts(), std::vector<std::string>{saved.text});
    EXPECT_FALSE(fs::exists(file("upper.OVX")));

    prompt.clear();
    EXPECT_TRUE(saveMessageAs(file("ok.ovx"), m, settings, prompt).ok());
    EXPECT_EQ(prompt.texts(), std::vector<std::string>{"    Complete."});
    EXPECT_TRUE(fs::exists(file("ok.ovx")));
    // Only the file the operator asked for is written.
    EXPECT_FALSE(fs::exists(file("Titlebuff.rtf")));

    // A folder that does not exist: the write fails with the path in its text.
    prompt.clear();
    saved = saveMessageAs(file("no/such/x.ovx"), m, settings, prompt);
    EXPECT_EQ(saved.kind, Outcome::Kind::Failed);
    EXPECT_EQ(saved.text.rfind(file("no/such/x.ovx") + ": ", 0), 0u) << saved.text;
    EXPECT_EQ(prompt.texts(), std::vector<std::string>{saved.text});

    prompt.clear();
    Message empty;
    const Outcome refused = checkBeforeSave(empty, settings, prompt);
    EXPECT_EQ(refused.kind, Outcome::Kind::Failed);
    EXPECT_EQ(refused.text, "Please input Message");
    EXPECT_EQ(prompt.texts(), std::vector<std::string>{"Please input Message"});
    prompt.clear();
    EXPECT_TRUE(checkBeforeSave(m, settings, prompt).ok());
    EXPECT_TRUE(prompt.entries().empty());

    // With the narrow character set the operator may ask to see the characters it lacks: the
    // save is called off, and the list is handed back.
    Message wide = sample();
    wide.body = RichText(u"\u65E5\u672C", 0xFFFFFF, 0xC0C0C0);
    prompt.clear();
    prompt.queue(PromptAnswer::No);
    EncodeSettings narrow = settings;
    narrow.capabilities.level = 4;
    narrow.capabilities.flags = 0x3;
    std::optional<EncodeResult> encoded;
    EXPECT_EQ(checkBeforeSave(wide, narrow, prompt, &encoded).kind, Outcome::Kind::Cancelled);
    ASSERT_TRUE(encoded && !encoded->ok());
    EXPECT_EQ(encoded->reason().unsupported, UnsupportedOutcome::ShowList);
    EXPECT_FALSE(encoded->reason().found.listText.empty());
}

TEST_F(MessageFileCommands, OpenTellsEveryFailureWithTheErrorIcon) {
    ASSERT_TRUE(writeFileAtomically(file("bad.ovx"), "{\\rtf1 not a message}").ok());
    struct Case {
        std::string path;
        MessageFileProblem problem;
    };
    const Case cases[] = {
        {file("bad.ovx"), MessageFileProblem::TooFewLines},
        {file("missing.ovx"), MessageFileProblem::Unreadable},
        {dir_.string(), MessageFileProblem::NotRegular},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        Message m = sample();
        const Message before = m;
        ScriptedPrompt prompt;
        const Outcome opened = openMessageFile(c.path, true, m, prompt);
        EXPECT_EQ(opened.kind, Outcome::Kind::Failed);
        EXPECT_EQ(opened.text, readMessageFile(c.path, true).error());
        ASSERT_EQ(prompt.entries().size(), 1u);
        EXPECT_EQ(prompt.entries()[0].text, opened.text);
        EXPECT_EQ(prompt.entries()[0].icon, PromptIcon::Error);
        EXPECT_EQ(m, before);
    }
}

}  // namespace
}  // namespace orvanta
