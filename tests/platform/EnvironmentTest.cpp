#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/Environment.h"

using namespace orvanta;

TEST(Environment, LanguageComesFromTheFirstLocaleVariableSet) {
    struct Case {
        const char* all;
        const char* messages;
        const char* lang;
        LanguageId expected;
    };
    const Case cases[] = {
        {nullptr, nullptr, "ja_JP.UTF-8", LanguageId::Japanese},
        {nullptr, nullptr, "zh_CN.UTF-8", LanguageId::ChineseSimplified},
        {nullptr, nullptr, "zh_TW.UTF-8", LanguageId::English},
        {"", "ja_JP.UTF-8", "zh_CN.UTF-8", LanguageId::Japanese},
        {"C", nullptr, "ja_JP.UTF-8", LanguageId::English},
        {nullptr, nullptr, nullptr, LanguageId::English},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(languageFromLocale(c.all, c.messages, c.lang), c.expected);
    }
}

TEST(Environment, ProgramFolderOptionIsTakenOutOfTheArguments) {
    std::vector<std::string> args{"send", "--program-folder", "/tmp/x", "file.ovx"};
    EXPECT_EQ(resolveProgramFolder(args), "/tmp/x/");
    EXPECT_EQ(args, (std::vector<std::string>{"send", "file.ovx"}));
    std::vector<std::string> eq{"--program-folder=/srv/pj/"};
    EXPECT_EQ(resolveProgramFolder(eq), "/srv/pj/");
    EXPECT_TRUE(eq.empty());
}

// --help and --version are answered before anything else; the value of --program-folder is a
// folder name even when it reads like an option.
TEST(Environment, HelpAndVersionAreAnsweredBeforeTheRest) {
    struct Case {
        std::vector<std::string> args;
        bool answered;
        std::string printed;  // the start of what goes to standard output
    };
    const Case cases[] = {
        {{}, false, ""},
        {{"--help"}, true, "HELP\n"},
        {{"-h", "--version"}, true, "HELP\n"},
        {{"--version"}, true, "prog "},
        {{"--listen", "x", "--version"}, true, "prog "},
        {{"--program-folder", "--help"}, false, ""},
        {{"--program-folder", "--version", "--help"}, true, "HELP\n"},
        {{"--program-folder=--help"}, false, ""},
        {{"file.ovx"}, false, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::PrintToString(c.args));
        testing::internal::CaptureStdout();
        const std::optional<int> status = answerHelpOrVersion(c.args, "prog", "HELP\n");
        const std::string printed = testing::internal::GetCapturedStdout();
        EXPECT_EQ(status, c.answered ? std::optional<int>(0) : std::nullopt);
        EXPECT_EQ(printed.substr(0, c.printed.size()), c.printed);
        EXPECT_EQ(printed.empty(), !c.answered);
    }
}
