#include "projectors/ProjectorGroups.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
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

TEST(GroupsFile, ReadsWhatItWritesAndWhatPeopleWriteByHand) {
    const ProjectorGroups groups{{{"Hall A", {ip("10.0.0.2"), ip("10.0.0.1")}},
                                  {"空き教室 = 2", {}},
                                  {"Floor 2", {ip("10.0.0.1")}}}};
    EXPECT_EQ(parseProjectorGroups(formatProjectorGroups(groups)).groups, groups.groups);

    const std::string foreign =
        "\xEF\xBB\xBFGroup=Hall A\r\n"  // a byte order mark, CR LF
        "Member=10.9.9.9\r\n"
        "Member=10.0.0.2\r\n"
        "Member=10.0.0.2\n"    // repeated
        "Member=10.0.0.300\n"  // malformed
        "# a comment\n"
        "group = spaced  \n"  // blanks around "=" and after the name, key in lower case
        "Member = 10.0.0.7\n"
        "Group=Floor 2\n"
        "Group=Hall A\n"    // the same name again joins the first
        "Member=10.0.0.1";  // no line end
    const ProjectorGroups read = parseProjectorGroups(foreign);
    const std::vector<ProjectorGroup> expected{
        {"Hall A", {ip("10.9.9.9"), ip("10.0.0.2"), ip("10.0.0.1")}},
        {"spaced", {ip("10.0.0.7")}},
        {"Floor 2", {}}};
    EXPECT_EQ(read.groups, expected);
    ASSERT_NE(read.find("Floor 2"), nullptr);
    EXPECT_EQ(read.find("floor 2"), nullptr);  // letter case is part of the name
}

TEST_F(Groups, HandEditedFilesKeepEveryLineAChangeDoesNotTouch) {
    registerAddress("10.0.0.1");
    registerAddress("10.0.0.2");
    struct Case {
        const char* what;
        std::string before;
        std::function<GroupResult()> change;
        std::string after;  // empty: refused, the file as it was
    };
    const std::string tooLong = "Group=" + std::string(65, 'n') + "\n";
    std::string full;
    for (std::size_t i = 0; i < kMaxLoadedGroups; ++i) {
        full += "Group=g" + std::to_string(i) + "\n";
    }
    const Case cases[] = {
        {"comments, stray members and CR LF stay; the new member joins its group",
         "\xEF\xBB\xBF# rooms\r\nMember=10.0.0.9\r\nGroup = Hall A \r\n; note\r\nGroup=B\r\n",
         [&] { return addToGroup(folder_, "Hall A", ip("10.0.0.1")); },
         "\xEF\xBB\xBF# rooms\r\nMember=10.0.0.9\r\nGroup = Hall A \r\nMember=10.0.0.1\r\n"
         "; note\r\nGroup=B\r\n"},
        {"a rename rewrites only its line", "Group=A\n# keep\nMember=10.0.0.2\n",
         [&] { return renameGroup(folder_, "A", "Hall"); },
         "Group=Hall\n# keep\nMember=10.0.0.2\n"},
        {"a removal takes the group's lines only", "# x\nGroup=A\nMember=10.0.0.2\nGroup=B\n",
         [&] { return deleteGroup(folder_, "A"); }, "# x\nGroup=B\n"},
        {"a name over the limit refuses the file", tooLong + "Group=B\n",
         [&] { return createGroup(folder_, "C"); }, ""},
        {"the group past the limit is refused, not written unlisted", full,
         [&] { return createGroup(folder_, "one more"); }, ""},
        {"a file past the limit is refused, not cut", full + "Group=last\n",
         [&] { return deleteGroup(folder_, "g0"); }, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_TRUE(writeFileAtomically(groupsPath(folder_), c.before).ok());
        const GroupResult done = c.change();
        if (c.after.empty()) {
            ASSERT_FALSE(done.ok());
            EXPECT_FALSE(done.error().empty());
            EXPECT_EQ(content(), c.before);
        } else {
            ASSERT_TRUE(done.ok()) << done.error();
            EXPECT_EQ(content(), c.after);
        }
    }
    ASSERT_TRUE(writeFileAtomically(groupsPath(folder_), full + "Group=last\n").ok());
    const auto read = readProjectorGroups(folder_);
    ASSERT_FALSE(read.ok());
    EXPECT_NE(read.error().find(std::to_string(kMaxLoadedGroups + 1)), std::string::npos)
        << read.error();
}

TEST_F(Groups, NamesThatLookAlikeAreOneName) {
    ASSERT_TRUE(createGroup(folder_, "Caf\xC3\xA9").ok());                // é precomposed
    const GroupResult decomposed = createGroup(folder_, "Cafe\xCC\x81");  // e + combining acute
    ASSERT_FALSE(decomposed.ok());
    EXPECT_EQ(decomposed.reason(), GroupProblem::SameName);
    const GroupResult wide = createGroup(folder_,
                                         "\xEF\xBC\xA3"
                                         "af\xC3\xA9");  // fullwidth C
    ASSERT_FALSE(wide.ok());
    EXPECT_EQ(wide.reason(), GroupProblem::SameName);
    // Found under either spelling.
    EXPECT_TRUE(deleteGroup(folder_, "Cafe\xCC\x81").ok());
}

TEST(GroupsFile, NamesTheOperatorMayUse) {
    const std::pair<std::string, bool> cases[] = {
        {"Hall A", true},
        {"x", true},
        {std::string(64, 'n'), true},
        {"", false},
        {" Hall", false},
        {"Hall ", false},
        {"Hall\tA", false},
        {"Hall\nA", false},
        {std::string(65, 'n'), false},
        {"\xC3\x28", false},
        {"教室", true},
        // Controls and characters that cannot be seen: they forge lines, turn text around or
        // make two names that look the same.
        {"Hall\xE2\x80\xAE"
         "A",
         false},  // right-to-left override
        {"Hall\xE2\x80\xA8"
         "A",
         false},  // line separator
        {"Hall\xE2\x80\xA9"
         "A",
         false},                      // paragraph separator
        {"Hall\xE2\x80\x8B", false},  // zero-width space
        {"Hall\xC2\x85"
         "A",
         false},                              // C1 control (next line)
        {"\xE2\x80\x8B\xE2\x80\x8C", false},  // nothing but invisible characters
        {"\xEF\xBB\xBFHall", false},          // byte order mark
        {"Hall\x7F", false},
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
    const auto members = groupMembers(*hall, loadRegistry(folder_));
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
