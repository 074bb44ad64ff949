// The preview's animation driven tick by tick with a clock the test moves.

#include <gtest/gtest.h>

#include <cstdint>

#include "render/PreviewPlayer.h"
#include "render/RenderTestSupport.h"

namespace orvanta {
namespace {

using render::PreviewPlayer;
using Phase = PreviewPlayer::Phase;
using test::previewMessage;

struct TestClock {
    std::int64_t now = 1000;
    render::SecondsClock clock() {
        return [this] { return now; };
    }
};

std::unique_ptr<PreviewPlayer> makePlayer(const Message& m, TestClock& clock) {
    return std::make_unique<PreviewPlayer>(render::makePreviewInput(m), test::projectGlyphs(),
                                           clock.clock());
}

// Ticks until `done` holds; how many ticks that took, or -1 after `limit`.
template <typename Done>
int ticksUntil(PreviewPlayer& player, Done done, int limit = 100000) {
    for (int n = 0; n < limit; ++n) {
        if (done()) {
            return n;
        }
        player.tick();
    }
    return -1;
}

std::u16string lines(int count) {
    std::u16string text;
    for (int i = 0; i < count; ++i) {
        text += u"line\r";
    }
    return text;
}

TEST(PreviewPlayer, ScrollPassesAtTheChosenSpeed) {
    struct Case {
        int speed;
        int ticks;
    } cases[] = {{2, (1301 + 3) / 4}, {0, (1301 + 1) / 2}};
    for (const Case& c : cases) {
        TestClock clock;
        // 25 digits of 12 pixels: a message 300 wide in a window 1000 wide.
        Message m = previewMessage(u"", std::u16string(25, u'0'), MessageStyle::Scroll);
        m.options.scrollSpeed = static_cast<std::uint8_t>(c.speed);
        m.options.scrollCount = 1;
        auto player = makePlayer(m, clock);
        ASSERT_EQ(player->layout().messageWidth, 300);
        player->tick();  // the first tick only starts
        EXPECT_EQ(ticksUntil(*player, [&] { return player->passes() == 1; }), c.ticks);
        EXPECT_TRUE(player->ended());
    }
}

TEST(PreviewPlayer, PopOnEndsAfterItsDisplayTimeOnly) {
    struct Case {
        int minutes;
        bool ends;
    } cases[] = {{0, false}, {1, true}};
    for (const Case& c : cases) {
        TestClock clock;
        Message m = previewMessage(u"T", u"Hello", MessageStyle::PopOn);
        m.options.displayMinutes = static_cast<std::uint8_t>(c.minutes);
        m.options.displayHalfMinute = 0;
        auto player = makePlayer(m, clock);
        for (int second = 0; second < 600 && !player->ended(); ++second, ++clock.now) {
            for (int t = 0; t < 10; ++t) {
                player->tick();
            }
            EXPECT_EQ(player->ended(), c.ends && second > 60) << second;
        }
        EXPECT_EQ(player->ended(), c.ends);
    }
}

TEST(PreviewPlayer, PopOnBlinksFourSecondsOnAndOneOff) {
    TestClock clock;
    Message m = previewMessage(u"", u"Fire", MessageStyle::PopOn);
    m.options.blink = 1;
    auto player = makePlayer(m, clock);
    player->tick();
    std::string seen;
    for (int second = 0; second < 15; ++second, ++clock.now) {
        player->tick();
        player->tick();
        seen += player->messageVisible() ? '#' : '.';
    }
    EXPECT_EQ(seen, "####.####.####.");
}

TEST(PreviewPlayer, BoxHoldsWhatFitsAndReplaysWhatDoesNot) {
    struct Case {
        int lines;
        bool replays;
    } cases[] = {{3, false}, {13, true}};
    for (const Case& c : cases) {
        TestClock clock;
        Message m = previewMessage(u"T", lines(c.lines), MessageStyle::Box);
        m.options.displayMinutes = 1;
        m.options.displayHalfMinute = 0;
        auto player = makePlayer(m, clock);
        if (c.replays) {
            EXPECT_GE(ticksUntil(*player, [&] { return player->phase() == Phase::Scrolling; }), 0);
            EXPECT_GE(ticksUntil(*player, [&] { return player->cycles() == 2; }), 0);
        } else {
            EXPECT_GE(ticksUntil(*player, [&] { return player->phase() == Phase::Holding; }), 0);
            player->tick();
            EXPECT_EQ(player->phase(), Phase::Holding);
        }
        EXPECT_FALSE(player->ended());
        clock.now += 61;
        EXPECT_GE(ticksUntil(*player, [&] { return player->ended(); }), 0);
        EXPECT_EQ(player->cycles(), c.replays ? 2 : 0);
    }
}

TEST(PreviewPlayer, BoxTurnsThePageAtThePageMark) {
    TestClock clock;
    auto player =
        makePlayer(previewMessage(u"", u"one\rtwo\u25BC\rthree\rfour", MessageStyle::Box), clock);
    EXPECT_GE(ticksUntil(*player, [&] { return player->pageFirstLine() == 2; }), 0);
    EXPECT_EQ(player->phase(), Phase::Typing);
    // The second page is the end: scrolled off, the message begins again from the top.
    EXPECT_GE(ticksUntil(*player, [&] { return player->cycles() == 1; }), 0);
    EXPECT_EQ(player->pageFirstLine(), 0);
}

// A message that ends with a page mark (the "Page feed" button last) has no page after it:
// the cycle ends there and begins again from the top until the display time has passed.
TEST(PreviewPlayer, PagedStylesBeginAgainAfterAPageMarkAtTheEnd) {
    struct Case {
        MessageStyle style;
        std::u16string body;
        int minutes;
    } cases[] = {
        {MessageStyle::Box, u"one\rtwo\u25BC\r", 0},
        {MessageStyle::Box, u"one\u25BC", 1},
        {MessageStyle::PictureSide, u"one\rtwo\u25BC\r", 1},
        {MessageStyle::PictureSide, u"one\u25BC", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(static_cast<int>(c.style));
        TestClock clock;
        Message m = previewMessage(u"T", c.body, c.style);
        m.options.displayMinutes = static_cast<std::uint8_t>(c.minutes);
        m.options.displayHalfMinute = 0;
        auto player = makePlayer(m, clock);
        EXPECT_GE(ticksUntil(*player, [&] { return player->cycles() == 2; }), 0);
        EXPECT_EQ(player->pageFirstLine(), 0);
        EXPECT_FALSE(player->ended());
        if (c.minutes != 0) {
            clock.now += 61;
            EXPECT_GE(ticksUntil(*player, [&] { return player->ended(); }), 0);
        }
    }
}

}  // namespace
}  // namespace orvanta
