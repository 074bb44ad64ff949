// The API's tokens: shown once, kept only as salted hashes, matched only by their own token,
// and gone for good once revoked.

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "platform/AtomicFile.h"
#include "settings/TokenStore.h"

namespace orvanta {
namespace {

class TokenStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = std::filesystem::temp_directory_path() /
                  ("orvanta-tokens-" + std::to_string(::getpid()));
        std::filesystem::remove_all(folder_);
        std::filesystem::create_directories(folder_);
    }
    void TearDown() override { std::filesystem::remove_all(folder_); }
    std::string path() const { return (folder_ / "tokens.txt").string(); }

    std::filesystem::path folder_;
};

TEST_F(TokenStoreTest, TokensMatchOnlyThemselvesUntilRevoked) {
    const TokenStore store(path());
    const auto panel = store.add("fire-panel", kRightSend | kRightRead);
    const auto viewer = store.add("viewer", kRightRead);
    ASSERT_TRUE(panel.ok() && viewer.ok());
    EXPECT_NE(panel.value(), viewer.value());
    EXPECT_EQ(store.add("viewer", kRightRead).reason(), TokenProblem::Exists);
    EXPECT_EQ(store.add("no spaces", kRightRead).reason(), TokenProblem::BadName);

    // The file holds neither token.
    const std::string file = readWholeFile(path()).value();
    EXPECT_EQ(file.find(panel.value()), std::string::npos);
    EXPECT_EQ(file.find(panel.value().substr(4)), std::string::npos);
    struct stat st {};
    ASSERT_EQ(::stat(path().c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0600u);

    const auto entries = store.list();
    ASSERT_TRUE(entries.ok());
    ASSERT_EQ(entries.value().size(), 2u);
    struct Case {
        std::string token;
        std::string name;  // empty: no match
    };
    const std::vector<Case> cases = {
        {panel.value(), "fire-panel"},
        {viewer.value(), "viewer"},
        {panel.value().substr(0, panel.value().size() - 1), ""},
        {panel.value() + "0", ""},
        {"", ""},
        {std::string(10000, 'a'), ""},
    };
    for (const Case& c : cases) {
        const auto found = matchToken(entries.value(), c.token);
        EXPECT_EQ(found ? found->name : std::string(), c.name) << c.token.substr(0, 20);
    }
    EXPECT_EQ(matchToken(entries.value(), panel.value())->rights, kRightSend | kRightRead);

    ASSERT_TRUE(store.revoke("fire-panel").ok());
    EXPECT_EQ(store.revoke("fire-panel").reason(), TokenProblem::Unknown);
    EXPECT_FALSE(matchToken(store.list().value(), panel.value()));
    EXPECT_TRUE(matchToken(store.list().value(), viewer.value()));
}

TEST_F(TokenStoreTest, DamagedLinesAreSkippedAndRightsReadStrictly) {
    const TokenStore store(path());
    const auto kept = store.add("kept", kAllRights);
    ASSERT_TRUE(kept.ok());
    const std::string good = readWholeFile(path()).value();
    ASSERT_TRUE(
        writeFileAtomically(path(), "garbage\nname\tread\t1\tzz\tzz\n" + good + "half\tread\t1\t00")
            .ok());
    const auto entries = store.list();
    ASSERT_TRUE(entries.ok());
    ASSERT_EQ(entries.value().size(), 1u);
    EXPECT_TRUE(matchToken(entries.value(), kept.value()));

    struct Rights {
        std::string text;
        std::optional<unsigned> rights;
    };
    for (const Rights& r : std::vector<Rights>{{"read", kRightRead},
                                               {"send,read", kRightRead | kRightSend},
                                               {"read,control,send", kAllRights},
                                               {"read,read", std::nullopt},
                                               {"admin", std::nullopt},
                                               {"", std::nullopt},
                                               {"read,", std::nullopt}}) {
        EXPECT_EQ(parseTokenRights(r.text), r.rights) << r.text;
    }
}

}  // namespace
}  // namespace orvanta
