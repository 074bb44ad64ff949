#include <gtest/gtest.h>

#include <optional>
#include <string_view>

#include "platform/EnumWords.h"

using namespace orvanta;

namespace {

enum class Shade { Light, Dark, Unlisted };

constexpr EnumWord<Shade> kShades[] = {{Shade::Light, "light"}, {Shade::Dark, "dark"}};

}  // namespace

// A value and its word read from one table both ways; what the table lacks is told apart.
TEST(EnumWords, ValuesAndWordsComeFromOneTable) {
    struct Case {
        Shade value;
        std::string_view word;  // wordOf with the fallback "?"
        std::string_view read;  // read back with valueOf
        std::optional<Shade> expected;
    };
    const Case cases[] = {
        {Shade::Light, "light", "light", Shade::Light},
        {Shade::Dark, "dark", "dark", Shade::Dark},
        {Shade::Unlisted, "?", "unlisted", std::nullopt},
        {Shade::Light, "light", "Light", std::nullopt},  // words are compared exactly
        {Shade::Light, "light", "", std::nullopt},
        {Shade::Dark, "dark", "dark ", std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.read));
        EXPECT_EQ(wordOf(kShades, c.value, "?"), c.word);
        EXPECT_EQ(valueOf(kShades, c.read), c.expected);
    }
    EXPECT_EQ(wordOf(kShades, Shade::Unlisted), "");
}
