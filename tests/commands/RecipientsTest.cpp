#include "commands/Recipients.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "projectors/ProjectorGroups.h"
#include "projectors/ProjectorRegistry.h"

using namespace orvanta;

namespace {

void registerAddress(const std::string& folder, const char* dotted, const char* name) {
    ProjectorRecord r;
    r.address = *parseAddress(dotted);
    r.name = name;
    ASSERT_TRUE(registerProjector(folder, r).ok());
}

}  // namespace

// Whom a command to many goes to, and why it goes to none: callers answer a gone group and an
// unreadable file differently (the service with 404 and 503).
TEST(Recipients, NamesTheProjectorsOfAChoiceOrWhyNot) {
    struct Case {
        const char* name;
        std::function<void(const std::string& folder)> prepare;
        RecipientChoice choice;
        std::optional<RecipientProblem> problem;
        std::vector<std::string> rows;  // name, or "missing" for a member no longer registered
    };
    const auto hall = [](const std::string& folder) {
        registerAddress(folder, "10.0.0.1", "Front");
        registerAddress(folder, "10.0.0.2", "Back");
        // 10.0.0.9 was removed from the registry after it joined the group.
        std::ofstream(groupsPath(folder)) << "Group=Hall\nMember=10.0.0.2\nMember=10.0.0.9\n";
    };
    const Case cases[] = {
        {"every registered one", hall, {RecipientScope::AllRegistered, {}}, {}, {"Front", "Back"}},
        {"a group", hall, {RecipientScope::Group, "Hall"}, {}, {"Back", "missing"}},
        {"a gone group", hall, {RecipientScope::Group, "Stage"}, RecipientProblem::NoSuchGroup, {}},
        {"nothing registered",
         [](const std::string&) {},
         {RecipientScope::AllRegistered, {}},
         {},
         {}},
        {"an unreadable registry",
         [](const std::string& folder) {
             std::filesystem::create_directories(registryPath(folder));
         },
         {RecipientScope::AllRegistered, {}},
         RecipientProblem::Unreadable,
         {}},
        {"an unreadable groups file",
         [](const std::string& folder) { std::filesystem::create_directories(groupsPath(folder)); },
         {RecipientScope::Group, "Hall"},
         RecipientProblem::Unreadable,
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::filesystem::path dir =
            std::filesystem::temp_directory_path() /
            ("orvanta-recipients-" + std::to_string(::getpid()) + "-" + c.name);
        std::filesystem::remove_all(dir);
        std::filesystem::create_directories(dir);
        const std::string folder = dir.string() + "/";
        c.prepare(folder);
        const Recipients got = resolveRecipients(folder, c.choice);
        if (c.problem) {
            ASSERT_FALSE(got.ok());
            EXPECT_EQ(got.reason(), *c.problem);
            EXPECT_FALSE(got.error().empty());
        } else {
            ASSERT_TRUE(got.ok()) << got.error();
            std::vector<std::string> rows;
            for (const ManyProjectorTarget& t : got.value()) {
                rows.push_back(t.missing ? "missing" : t.name);
            }
            EXPECT_EQ(rows, c.rows);
        }
        std::filesystem::remove_all(dir);
    }
}
