#include <gtest/gtest.h>

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
