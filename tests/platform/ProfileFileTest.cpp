#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "platform/AtomicFile.h"
#include "platform/ProfileFile.h"

using namespace orvanta;

namespace {

class ProfileFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        dir_ = std::filesystem::temp_directory_path() /
               ("orvanta-profile-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::remove_all(dir_);
        std::filesystem::create_directories(dir_);
        path_ = (dir_ / "test.ini").string();
    }
    void TearDown() override { std::filesystem::remove_all(dir_); }

    void put(const std::string& bytes) { ASSERT_TRUE(writeFileAtomically(path_, bytes).ok()); }
    std::string content() const {
        std::string c;
        c = readWholeFile(path_).valueOr({});
        return c;
    }

    std::filesystem::path dir_;
    std::string path_;
};

}  // namespace

TEST(ProfileInteger, TakesTheIntegerPrefix) {
    const std::pair<const char*, std::int32_t> cases[] = {
        {"12abc", 12},
        {"abc", 0},
        {"-5", -5},
        {"", 0},
        {"+7", 7},
        {"  42", 42},
        {"- 5", 0},
        {"0x10", 0},
        {"-1062731766", -1062731766},
        {"3232235530", -1062731766},  // the same 32 bits written unsigned
    };
    for (const auto& [text, expected] : cases) {
        EXPECT_EQ(parseProfileInteger(text), expected) << text;
    }
}

TEST(ProfileDocument, FindsValuesByTheProfileRules) {
    const auto doc = ProfileDocument::parse(
        "orphan=1\r\n"
        "[Alpha]\r\n"
        "  Key One =  spaced value  \r\n"
        "novalue\r\n"
        "dup=first\r\n"
        "dup=second\r\n"
        "eq=a=b\r\n"
        "[ALPHA]\r\n"
        "late=x\r\n"
        "[ Spaced Name ] trailing\r\n"
        "k=v");
    struct Case {
        const char* section;
        const char* key;
        std::optional<std::string> value;
    };
    const Case cases[] = {
        {"alpha", "KEY ONE", "spaced value"},
        {"Alpha", "dup", "first"},
        {"Alpha", "eq", "a=b"},
        {"Alpha", "novalue", std::nullopt},
        {"Alpha", "late", std::nullopt},  // only the first section of a name counts
        {"", "orphan", std::nullopt},     // lines before any header belong to no section
        {"spaced name", "k", "v"},
        {"missing", "k", std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(doc.find(c.section, c.key), c.value) << c.section << "/" << c.key;
    }
    EXPECT_EQ(doc.readString("missing", "k", "0"), "0");
}

TEST(ProfileDocument, LongValuesAreCutToTheRoom) {
    const std::string longValue(300, 'x');
    auto doc = ProfileDocument::parse("[s]\nk=" + longValue + "\n");
    EXPECT_EQ(doc.readString("s", "k", "0"), std::string(254, 'x'));
    EXPECT_EQ(doc.readString("s", "k", "0", 11), std::string(10, 'x'));
    // Characters, not bytes, count; a pair of surrogates is never split.
    std::string wide;
    for (int i = 0; i < 300; ++i) {
        wide += "\xC3\xA9";  // é
    }
    doc.write("s", "w", wide);
    EXPECT_EQ(doc.readString("s", "w", "0").size(), 254u * 2);
    doc.write("s", "emoji", "a\xF0\x9F\x98\x80");
    EXPECT_EQ(doc.readString("s", "emoji", "0", 3), "a");
}

TEST_F(ProfileFileTest, WritesChangeOnlyTheirLine) {
    const std::string original =
        "; registry\r\n"
        "[First]\r\n"
        "  Name = old  \r\n"
        "other=1\r\n"
        "\r\n"
        "[Second]\r\n"
        "x=1";  // no final line ending
    put(original);
    ASSERT_TRUE(writeProfileString(path_, "FIRST", "name", "new").ok());
    ASSERT_TRUE(writeProfileString(path_, "first", "added", "2").ok());
    ASSERT_TRUE(writeProfileString(path_, "Third", "k", "v").ok());
    EXPECT_EQ(content(),
              "; registry\r\n"
              "[First]\r\n"
              "  Name = new\r\n"
              "other=1\r\n"
              "added=2\r\n"
              "\r\n"
              "[Second]\r\n"
              "x=1\r\n"
              "[Third]\r\n"
              "k=v\r\n");
}

TEST_F(ProfileFileTest, MissingFileIsCreatedAndValuesCannotAddLines) {
    EXPECT_EQ(readProfileString(path_, "s", "k", "0"), "0");
    EXPECT_EQ(readProfileInt(path_, "s", "k"), 0);
    ASSERT_TRUE(writeProfileString(path_, "s", "k", "a\r\n[s]\nk=evil").ok());
    EXPECT_EQ(content(), "[s]\nk=a  [s] k=evil\n");
    EXPECT_EQ(readProfileString(path_, "S", "K", "0"), "a  [s] k=evil");
}

TEST_F(ProfileFileTest, BatchWriteEqualsWritesOneAfterTheOther) {
    const std::vector<ProfileEntry> entries{
        {"A", "k", "1"}, {"B", "k", "2"}, {"a", "K", "3"}, {"A", "j", "4"}, {"C", "k", ""}};
    put("[b]\r\nk=old\r\n");
    for (const auto& e : entries) {
        ASSERT_TRUE(writeProfileString(path_, e.section, e.key, e.value).ok());
    }
    const std::string oneByOne = content();
    put("[b]\r\nk=old\r\n");
    ASSERT_TRUE(writeProfileStrings(path_, entries).ok());
    EXPECT_EQ(content(), oneByOne);

    // Replacing is deleting then writing, in the old file's line ending style.
    ASSERT_TRUE(replaceProfileFile(path_, {{"Z", "k", "1"}}).ok());
    EXPECT_EQ(content(), "[Z]\r\nk=1\r\n");
    ASSERT_TRUE(deleteProfileFile(path_).ok());
    EXPECT_FALSE(std::filesystem::exists(path_));
    EXPECT_TRUE(deleteProfileFile(path_).ok());  // already gone counts as deleted
}

TEST_F(ProfileFileTest, ReadsOtherEncodings) {
    // "[Sect]\r\nName=Caf\u00e9\r\n" in UTF-16LE with byte order mark.
    std::string utf16 = "\xFF\xFE";
    for (char16_t u : std::u16string(u"[Sect]\r\nName=Caf\u00e9\r\n")) {
        utf16 += static_cast<char>(u & 0xFF);
        utf16 += static_cast<char>(u >> 8);
    }
    put(utf16);
    EXPECT_EQ(readProfileString(path_, "sect", "name", "0"), "Caf\xC3\xA9");
    ASSERT_TRUE(writeProfileString(path_, "Sect", "x", "1").ok());
    EXPECT_EQ(content(), "[Sect]\r\nName=Caf\xC3\xA9\r\nx=1\r\n");  // rewritten as UTF-8

    put("\xEF\xBB\xBF[s]\nk=1\n");
    EXPECT_EQ(readProfileInt(path_, "s", "k"), 1);
    ASSERT_TRUE(writeProfileString(path_, "s", "k", "2").ok());
    EXPECT_EQ(content(), "\xEF\xBB\xBF[s]\nk=2\n");  // byte order mark kept

    put("[s]\nk=Caf\xE9\n");  // not UTF-8: Windows-1252
    EXPECT_EQ(readProfileString(path_, "s", "k", "0"), "Caf\xC3\xA9");
}
