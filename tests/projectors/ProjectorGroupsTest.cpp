#include "projectors/ProjectorGroups.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/AtomicFile.h"

using namespace orvanta;

namespace {

class Groups : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("orvanta-groups-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        folder_ = dir_.string() + "/";
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    void registerAddress(const char* dotted) {
        ProjectorRecord r;
        r.address = *parseAddress(dotted);
        ASSERT_TRUE(registerProjector(folder_, r).ok());
    }
    std::string content() const { return readWholeFile(groupsPath(folder_)).valueOr({}); }

    std::filesystem::path dir_;
    std::string folder_;
};

std::uint32_t ip(const char* dotted) {
    return *parseAddress(dotted);
}

}  // namespace

TEST(GroupsFile, ReadsWhatItWritesAndSkipsWhatItCannotUse) {
    const ProjectorGroups groups{{{"Hall A", {ip("10.0.0.2"), ip("10.0.0.1")}},
                                  {"空き教室 = 2", {}},
                                  {"Floor 2", {ip("10.0.0.1")}}}};
    EXPECT_EQ(parseProjectorGroups(formatProjectorGroups(groups)).groups, groups.groups);

    const std::string foreign =
        "Member=10.9.9.9\r\n"  // before any group
        "Group=Hall A\r\n"
        "Member=10.0.0.2\r\n"
        "Member=10.0.0.2\n"    // repeated
        "Member=10.0.0.300\n"  // malformed
        "# a comment\n"
        "Group= spaced\n"  // a bad name: its members belong to no group
        "Member=10.0.0.7\n"
        "Group=Floor 2\n"
        "Group=Hall A\n"    // the same name again joins the first
        "Member=10.0.0.1";  // no line end
    const ProjectorGroups read = parseProjectorGroups(foreign);
    const std::vector<ProjectorGroup> expected{{"Hall A", {ip("10.0.0.2"), ip("10.0.0.1")}},
                                               {"Floor 2", {}}};
    EXPECT_EQ(read.groups, expected);
    ASSERT_NE(read.find("Floor 2"), nullptr);
    EXPECT_EQ(read.find("floor 2"), nullptr);  // compared exactly
}

TEST(GroupsFile, NamesTheOperatorMayUse) {
    const std::pair<std::string, bool> cases[] = {
        {"Hall A", true},    {"x", true},        {std::string(64, 'n'), true},
        {"", false},         {" Hall", false},   {"Hall ", false},
        {"Hall\tA", false},  {"Hall\nA", false}, {std::string(65, 'n'), false},
        {"\xC3\x28", false}, {"教室", true},
    };
    for (const auto& [name, valid] : cases) {
        EXPECT_EQ(isValidGroupName(name), valid) << name;
    }
}

TEST_F(Groups, ChangesFollowTheRulesAndRefusalsLeaveTheFileAlone) {
    registerAddress("10.0.0.1");
    registerAddress("10.0.0.2");
    ASSERT_TRUE(createGroup(folder_, "Hall A").ok());
    ASSERT_TRUE(createGroup(folder_, "Floor 2").ok());
    ASSERT_TRUE(addToGroup(folder_, "Hall A", ip("10.0.0.2")).ok());
    ASSERT_TRUE(addToGroup(folder_, "Hall A", ip("10.0.0.1")).ok());
    ASSERT_TRUE(addToGroup(folder_, "Floor 2", ip("10.0.0.1")).ok());
    const std::string before = content();

    struct Case {
        const char* what;
        GroupResult result;
        GroupProblem expected;
    };
    const Case cases[] = {
        {"create empty", createGroup(folder_, ""), GroupProblem::BadName},
        {"create twice", createGroup(folder_, "Hall A"), GroupProblem::SameName},
        {"rename unknown", renameGroup(folder_, "Hall B", "Hall C"), GroupProblem::NoSuchGroup},
        {"rename onto another", renameGroup(folder_, "Hall A", "Floor 2"), GroupProblem::SameName},
        {"rename to bad", renameGroup(folder_, "Hall A", "A\n"), GroupProblem::BadName},
        {"delete unknown", deleteGroup(folder_, "hall a"), GroupProblem::NoSuchGroup},
        {"add unregistered", addToGroup(folder_, "Hall A", ip("10.0.0.3")),
         GroupProblem::NotRegistered},
        {"add twice", addToGroup(folder_, "Hall A", ip("10.0.0.1")), GroupProblem::AlreadyMember},
        {"add to unknown", addToGroup(folder_, "Hall B", ip("10.0.0.1")),
         GroupProblem::NoSuchGroup},
        {"remove non-member", removeFromGroup(folder_, "Floor 2", ip("10.0.0.2")),
         GroupProblem::NotMember},
    };
    for (const Case& c : cases) {
        ASSERT_FALSE(c.result.ok()) << c.what;
        EXPECT_EQ(c.result.reason(), c.expected) << c.what;
        EXPECT_FALSE(c.result.error().empty()) << c.what;
    }
    EXPECT_EQ(content(), before);

    // An unregistered member stays in its group, shown as missing, and can still leave it.
    ASSERT_TRUE(unregisterProjector(folder_, ip("10.0.0.2")).ok());
    ASSERT_TRUE(renameGroup(folder_, "Hall A", "Hall A (old)").ok());
    const auto groups = readProjectorGroups(folder_);
    ASSERT_TRUE(groups.ok());
    const ProjectorGroup* hall = groups.value().find("Hall A (old)");
    ASSERT_NE(hall, nullptr);
    const auto members = groupMembers(*hall, loadProjectorList(folder_));
    ASSERT_EQ(members.size(), 2u);
    EXPECT_EQ(members[0].address, ip("10.0.0.2"));
    EXPECT_FALSE(members[0].record.has_value());
    ASSERT_TRUE(members[1].record.has_value());
    EXPECT_EQ(members[1].record->address, ip("10.0.0.1"));
    ASSERT_TRUE(removeFromGroup(folder_, "Hall A (old)", ip("10.0.0.2")).ok());
    ASSERT_TRUE(deleteGroup(folder_, "Floor 2").ok());
    EXPECT_EQ(content(), "Group=Hall A (old)\nMember=10.0.0.1\n");
}

TEST_F(Groups, UnreadableFileIsReportedAndNeverOverwritten) {
    EXPECT_TRUE(readProjectorGroups(folder_).ok());  // missing: no groups
    std::filesystem::create_directory(groupsPath(folder_));
    const auto read = readProjectorGroups(folder_);
    ASSERT_FALSE(read.ok());
    EXPECT_EQ(read.reason(), GroupProblem::Unreadable);
    const GroupResult created = createGroup(folder_, "Hall A");
    ASSERT_FALSE(created.ok());
    EXPECT_EQ(created.reason(), GroupProblem::Unreadable);
    EXPECT_TRUE(std::filesystem::is_directory(groupsPath(folder_)));
}

TEST_F(Groups, ChangesFromSeveralProcessesAllArrive) {
    constexpr int kWriters = 8;
    constexpr int kEach = 6;
    for (int i = 1; i <= kWriters * kEach; ++i) {
        registerAddress(("10.0.1." + std::to_string(i)).c_str());
    }
    ASSERT_TRUE(createGroup(folder_, "All").ok());
    std::vector<pid_t> children;
    for (int w = 0; w < kWriters; ++w) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // Each writer makes a group of its own and adds its projectors to the shared one.
            bool ok = createGroup(folder_, "Writer " + std::to_string(w)).ok();
            for (int k = 1; k <= kEach; ++k) {
                const std::uint32_t a = ip(("10.0.1." + std::to_string(w * kEach + k)).c_str());
                ok = addToGroup(folder_, "All", a).ok() && ok;
                ok = addToGroup(folder_, "Writer " + std::to_string(w), a).ok() && ok;
            }
            ::_exit(ok ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (const pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    const auto groups = readProjectorGroups(folder_);
    ASSERT_TRUE(groups.ok());
    ASSERT_EQ(groups.value().groups.size(), 1u + kWriters);
    EXPECT_EQ(groups.value().find("All")->addresses.size(), std::size_t{kWriters * kEach});
    for (int w = 0; w < kWriters; ++w) {
        const ProjectorGroup* own = groups.value().find("Writer " + std::to_string(w));
        ASSERT_NE(own, nullptr);
        EXPECT_EQ(own->addresses.size(), std::size_t{kEach});
    }
}
