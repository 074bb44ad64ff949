#include "projectors/ProjectorRegistry.h"

#include <fcntl.h>
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>
#include <optional>

#include <csignal>
#include <ctime>
#include <filesystem>
#include <functional>
#include <string>

#include "platform/AtomicFile.h"
#include "platform/ProfileFile.h"
#include "text/LanguageText.h"

using namespace orvanta;

namespace {

class Registry : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("orvanta-registry-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        folder_ = dir_.string() + "/";
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    void put(const std::string& bytes) {
        ASSERT_TRUE(writeFileAtomically(registryPath(folder_), bytes).ok());
    }
    std::string content() const {
        std::string c;
        c = readWholeFile(registryPath(folder_)).valueOr({});
        return c;
    }

    std::filesystem::path dir_;
    std::string folder_;
};

ProjectorRecord record(const char* name, const char* dotted, int auth, const char* pass,
                       const char* mac) {
    return ProjectorRecord{name, *parseAddress(dotted), auth, pass, mac};
}

}  // namespace

TEST(ProjectorAddress, FormatsAndParsesDottedText) {
    EXPECT_EQ(formatAddress(0xC0A8000Au), "192.168.0.10");
    EXPECT_EQ(formatAddress(0), "0.0.0.0");
    EXPECT_EQ(formatMacAddress({0x00, 0x1B, 0xA9, 0xFF, 0x0a, 0x01}), "00-1B-A9-FF-0A-01");
    const std::pair<const char*, std::optional<std::uint32_t>> cases[] = {
        {"192.168.0.10", 0xC0A8000Au}, {"255.255.255.255", 0xFFFFFFFFu},
        {"010.0.0.1", 0x0A000001u},    {"256.0.0.1", std::nullopt},
        {"1.2.3", std::nullopt},       {"1.2.3.4.", std::nullopt},
        {"1..3.4", std::nullopt},      {" 1.2.3.4", std::nullopt},
        {"1.2.3.0004", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(parseAddress(text), expected) << text;
    }
}

TEST_F(Registry, ListRoundTripsThroughTheFile) {
    ProjectorRegistry list;
    list.records = {record("Hall", "192.168.0.10", 1, "p\xC3\xA4ss word", "00-1B-A9-00-00-01"),
                    record("", "10.0.0.7", 0, "", "01-02-03-04-05-06"),
                    record("Lab", "127.0.0.2", 0, "x", "AA-BB-CC-DD-EE-FF")};
    ASSERT_TRUE(rewriteRegistry(folder_, list).ok());
    EXPECT_EQ(loadRegistry(folder_).records, list.records);
    EXPECT_NE(content().find("IP=-1062731766\n"), std::string::npos);

    ProjectorRecord added = record("New", "172.16.1.1", 0, "0", "00-00-00-00-00-02");
    ASSERT_TRUE(registerProjector(folder_, added).ok());
    list.records.push_back(added);
    EXPECT_EQ(loadRegistry(folder_).records, list.records);
}

TEST_F(Registry, FileWrittenOnWindowsLoads) {
    put("[resist num]\r\n"
        "num = 3\r\n"
        "\r\n"
        "[Resist Projector1]\r\n"
        "NUM=1\r\n"
        "ip = -1062731766\r\n"
        "projectorname = Room A \r\n"
        "mac=00-1B-A9-12-34-56\r\n"
        "AUTH=1\r\n"
        "pass= secret\r\n"
        "[RESIST PROJECTOR2]\r\n"
        "IP=167772167\r\n");
    const ProjectorRegistry list = loadRegistry(folder_);
    ASSERT_EQ(list.count(), 3u);  // section 3 is missing, section 2 lacks most keys
    EXPECT_EQ(list.records[0], record("Room A", "192.168.0.10", 1, "secret", "00-1B-A9-12-34-56"));
    EXPECT_EQ(list.records[1], record("0", "10.0.0.7", 0, "0", "0"));
    EXPECT_EQ(list.records[2], record("0", "0.0.0.0", 0, "0", "0"));
}

TEST_F(Registry, CountsOutsideReasonAreBounded) {
    const std::pair<const char*, std::size_t> cases[] = {
        {"2000000000", kMaxLoadedProjectors}, {"-3", 0}, {"abc", 0}, {"2abc", 2}};
    for (const auto& [num, expected] : cases) {
        put(std::string("[RESIST NUM]\nNUM=") + num + "\n");
        EXPECT_EQ(loadRegistry(folder_).count(), expected) << num;
    }
    EXPECT_EQ(loadRegistry(folder_ + "missing/").count(), 0u);
    EXPECT_EQ(registerProjector(folder_ + "missing/", {}).reason(), RegistryProblem::WriteFailed);
}

TEST_F(Registry, DeletingTheOnlyProjectorLeavesAnEmptyRegistry) {
    ProjectorRegistry list;
    ASSERT_TRUE(registerProjector(folder_, record("A", "10.1.1.1", 0, "", "")).ok());
    ASSERT_TRUE(saveAdaptorSelection(folder_, "10.1.1.2", "eth0").ok());
    list = loadRegistry(folder_);
    ASSERT_EQ(list.count(), 1u);
    list.records.clear();
    ASSERT_TRUE(rewriteRegistry(folder_, list).ok());
    EXPECT_EQ(content(), "[RESIST NUM]\nNUM=0\n");
}

TEST_F(Registry, PasswordChangeTouchesOnlyItsTwoLines) {
    const std::string before =
        "[RESIST NUM]\r\nNUM=3\r\n"
        "[RESIST PROJECTOR1]\r\nNUM=1\r\nIP=1\r\nProjectorName=A\r\nMAC=0\r\nAuth=0\r\nPass=a\r\n"
        "[RESIST PROJECTOR2]\r\nNUM=2\r\nIP=2\r\nProjectorName=B\r\nMAC=0\r\nAuth=0\r\nPass=b\r\n"
        "[RESIST PROJECTOR3]\r\nNUM=3\r\nIP=3\r\nProjectorName=C\r\nMAC=0\r\nAuth=0\r\nPass=c\r\n"
        "[SELECT ADAPTOR]\r\nIP=10.0.0.1\r\nADAPTORNAME=eth0\r\n";
    put(before);
    ASSERT_TRUE(setProjectorCredentials(folder_, 2, 1, "new one").ok());
    std::string expected = before;
    expected.replace(expected.find("Auth=0\r\nPass=b"), 14, "Auth=1\r\nPass=new one");
    EXPECT_EQ(content(), expected);
    EXPECT_EQ(setProjectorCredentials(folder_, 4, 1, "x").reason(), RegistryProblem::NotRegistered);
    EXPECT_EQ(content(), expected);
}

TEST_F(Registry, AChangeOfAnAddressHeldTwiceReachesTheEntryChosen) {
    // A hand-edited file with one address twice: the operator's row decides, as long as it
    // still holds the address; otherwise the first entry with it is meant.
    const std::string file =
        "[RESIST NUM]\nNUM=3\n"
        "[RESIST PROJECTOR1]\nNUM=1\nIP=5\nProjectorName=A\nMAC=0\nAuth=0\nPass=a\n"
        "[RESIST PROJECTOR2]\nNUM=2\nIP=6\nProjectorName=B\nMAC=0\nAuth=0\nPass=b\n"
        "[RESIST PROJECTOR3]\nNUM=3\nIP=5\nProjectorName=C\nMAC=0\nAuth=0\nPass=c\n";
    struct Case {
        const char* what;
        std::optional<std::size_t> row;
        std::vector<std::string> namesAfterDelete;
        std::vector<std::string> passwordsAfterChange;
    };
    const Case cases[] = {
        {"the second entry chosen", 2, {"A", "B"}, {"a", "b", "new"}},
        {"the first entry chosen", 0, {"B", "C"}, {"new", "b", "c"}},
        {"a row that no longer holds the address", 1, {"B", "C"}, {"new", "b", "c"}},
        {"no row given", std::nullopt, {"B", "C"}, {"new", "b", "c"}},
    };
    for (const Case& c : cases) {
        put(file);
        ASSERT_TRUE(unregisterProjector(folder_, 5, c.row).ok()) << c.what;
        std::vector<std::string> names;
        for (const ProjectorRecord& r : loadRegistry(folder_).records) {
            names.push_back(r.name);
        }
        EXPECT_EQ(names, c.namesAfterDelete) << c.what;

        put(file);
        ASSERT_TRUE(setProjectorCredentials(folder_, 5, 1, "new", c.row).ok()) << c.what;
        std::vector<std::string> passwords;
        for (const ProjectorRecord& r : loadRegistry(folder_).records) {
            passwords.push_back(r.password);
        }
        EXPECT_EQ(passwords, c.passwordsAfterChange) << c.what;
    }
}

TEST_F(Registry, AdaptorIsFoundByItsDescription) {
    const std::vector<std::string> adaptors{"lo", "eth1", "wlan0", "eth1"};
    EXPECT_EQ(loadAdaptorSelection(folder_, adaptors), 0u);  // no file yet
    const std::pair<const char*, std::size_t> cases[] = {
        {"eth1", 1}, {"wlan0", 2}, {"ETH1", 0}, {"eth", 0}};
    for (const auto& [saved, expected] : cases) {
        ASSERT_TRUE(saveAdaptorSelection(folder_, "192.168.0.2", saved).ok());
        EXPECT_EQ(loadAdaptorSelection(folder_, adaptors), expected) << saved;
    }
    EXPECT_EQ(content(), "[SELECT ADAPTOR]\nIP=192.168.0.2\nADAPTORNAME=eth\n");
}

TEST_F(Registry, FailedRewriteKeepsTheOldFile) {
    ProjectorRegistry list;
    list.records = {record("A", "10.0.0.1", 0, "a", "0")};
    ASSERT_TRUE(rewriteRegistry(folder_, list).ok());
    const std::string before = content();
    for (int i = 2; i < 40; ++i) {
        list.records.push_back(record("B", "10.0.0.2", 0, "b", "0"));
        list.records.back().address += static_cast<std::uint32_t>(i);
    }
    // Let the disk "fill up" after a few bytes of the new file.
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = before.size() + 16;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    const RegistryResult rewritten = rewriteRegistry(folder_, list);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(rewritten.ok());
    EXPECT_EQ(content(), before);
    for (const auto& entry : std::filesystem::directory_iterator(dir_)) {  // no leftovers
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos);
    }
}

TEST_F(Registry, FilesThatCannotBeReadAreReportedAndLeftAlone) {
    const std::string path = registryPath(folder_);
    std::string utf16;
    for (char c : std::string("[RESIST NUM]\r\nNUM=1\r\n[RESIST PROJECTOR1]\r\nIP=167772167\r\n")) {
        utf16 += c;
        utf16 += '\0';
    }
    const struct {
        const char* what;
        std::function<void()> make;
        std::optional<RegistryProblem> read;  // nothing: read
    } cases[] = {
        {"UTF-16 without byte order mark", [&] { put(utf16); }, std::nullopt},
        {"pipe", [&] { ::mkfifo(path.c_str(), 0600); }, RegistryProblem::Unreadable},
        {"link to an endless device", [&] { std::filesystem::create_symlink("/dev/zero", path); },
         RegistryProblem::Unreadable},
        {"folder", [&] { std::filesystem::create_directory(path); }, RegistryProblem::Unreadable},
        {"oversized", [&] { put(std::string(kMaxProfileFileBytes + 1, ' ')); },
         RegistryProblem::Unreadable},
    };
    for (const auto& c : cases) {
        std::filesystem::remove_all(path);
        c.make();
        const auto type = std::filesystem::symlink_status(path).type();
        const auto read = readRegistry(folder_);
        EXPECT_EQ(read.ok() ? std::nullopt : std::optional(read.reason()), c.read) << c.what;
        const RegistryResult added = registerProjector(folder_, record("", "10.9.9.9", 0, "", "-"));
        EXPECT_EQ(added.ok() ? std::nullopt : std::optional(added.reason()), c.read) << c.what;
        EXPECT_EQ(std::filesystem::symlink_status(path).type(), type) << c.what;
        if (!c.read) {
            const ProjectorRegistry list = readRegistry(folder_).valueOr({});
            ASSERT_EQ(list.count(), 2u) << c.what;
            EXPECT_EQ(list.records[0].address, 167772167u) << c.what;
        } else {
            EXPECT_EQ(added.error(), languageText(Text::RegistryUnreadable)) << c.what;
        }
    }
}

TEST_F(Registry, RewritesKeepPermissionsLinksAndNoLeftovers) {
    const std::string path = registryPath(folder_);
    auto mode = [](const std::string& p) {
        struct stat st {};
        ::stat(p.c_str(), &st);
        return st.st_mode & 07777;
    };
    // A new registry holds passwords: private from the start.
    ASSERT_TRUE(registerProjector(folder_, record("", "10.0.0.1", 0, "pw", "-")).ok());
    EXPECT_EQ(mode(path), 0600u);
    ::chmod(path.c_str(), 0640);
    ASSERT_TRUE(setProjectorCredentials(folder_, *parseAddress("10.0.0.1"), 1, "new").ok());
    EXPECT_EQ(mode(path), 0640u);

    // A link is written through, and stays a link.
    const std::string target = dir_.string() + "/elsewhere.txt";
    std::filesystem::rename(path, target);
    std::filesystem::create_symlink("elsewhere.txt", path);
    ASSERT_TRUE(registerProjector(folder_, record("", "10.0.0.2", 0, "", "-")).ok());
    EXPECT_TRUE(std::filesystem::is_symlink(path));
    EXPECT_EQ(loadRegistry(folder_).count(), 2u);
    EXPECT_EQ(mode(target), 0640u);

    // Temporary files of a write that died are cleaned up; one being written right now is not.
    const std::string stale = target + ".tmpAbC123";
    const std::string fresh = target + ".tmpXyZ789";
    ASSERT_TRUE(writeFileAtomically(stale, "half").ok());
    ASSERT_TRUE(writeFileAtomically(fresh, "half").ok());
    const timespec old[2] = {{0, UTIME_OMIT}, {std::time(nullptr) - 3600, 0}};
    ::utimensat(AT_FDCWD, stale.c_str(), old, 0);
    ASSERT_TRUE(unregisterProjector(folder_, *parseAddress("10.0.0.1")).ok());
    EXPECT_FALSE(std::filesystem::exists(stale));
    EXPECT_TRUE(std::filesystem::exists(fresh));
}
