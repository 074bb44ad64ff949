#include <gtest/gtest.h>

#include <filesystem>

#include "platform/AtomicFile.h"

using namespace orvanta;

TEST(AtomicFile, ReplacesTheFileAndLeavesItAloneWhenTheFolderIsGone) {
    const auto dir = std::filesystem::temp_directory_path() / "orvanta-atomic-test";
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "f.txt").string();
    ASSERT_TRUE(writeFileAtomically(path, "first").ok());
    ASSERT_TRUE(writeFileAtomically(path, "second").ok());
    const auto contentRead = readWholeFile(path);
    ASSERT_TRUE(contentRead.ok());
    const std::string content = contentRead.valueOr({});
    EXPECT_EQ(content, "second");
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);  // no leftovers
    EXPECT_FALSE(writeFileAtomically((dir / "missing" / "f.txt").string(), "x").ok());
    std::filesystem::remove_all(dir);
}
