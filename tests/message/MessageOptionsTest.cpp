#include "message/MessageOptions.h"

#include <gtest/gtest.h>

#include <array>
#include <set>

namespace orvanta {
namespace {

TEST(Palette, BothDirectionsAndValuesOutsideTheTable) {
    // The projector's colors: the eight corners of the color cube, black first and white
    // last, then two greys; every code maps back to itself.
    std::set<Rgb> seen;
    for (int code = 0; code < kPaletteSize; ++code) {
        const Rgb rgb = rgbFromColorCode(code);
        EXPECT_EQ(colorCodeFromRgb(rgb), code) << code;
        EXPECT_TRUE(seen.insert(rgb).second) << code;
        const Rgb r = rgb >> 16, g = (rgb >> 8) & 0xFF, b = rgb & 0xFF;
        if (code < 8) {
            for (Rgb channel : {r, g, b}) {
                EXPECT_TRUE(channel == 0 || channel == 0xFF) << code;
            }
        } else {
            EXPECT_TRUE(r == g && g == b && r > 0 && r < 0xFF) << code;
        }
    }
    EXPECT_EQ(rgbFromColorCode(0), 0x000000u);
    EXPECT_EQ(rgbFromColorCode(7), 0xFFFFFFu);
    EXPECT_EQ(colorCodeFromRgb(0xFFA500), 0);  // orange pasted from elsewhere
    EXPECT_EQ(colorCodeFromRgb(0xC0C0C1), 0);
    EXPECT_EQ(rgbFromColorCode(10), 0x000000u);
    EXPECT_EQ(rgbFromColorCode(-1), 0x000000u);
}

TEST(Background, PackingAndUnpacking) {
    struct Case {
        int color;
        std::uint8_t packed;
    };
    for (const Case c :
         {Case{0, 0x00}, Case{5, 0x05}, Case{7, 0x07}, Case{8, 0x20}, Case{9, 0x40}}) {
        EXPECT_EQ(packBackground(c.color), c.packed) << c.color;
        EXPECT_EQ(unpackBackground(c.packed), c.color) << c.color;
    }
    EXPECT_EQ(unpackBackground(0xC0), 9);  // header byte 4 with the blink bit
    EXPECT_EQ(unpackBackground(0xA0), 8);
    EXPECT_EQ(unpackBackground(0x85), 5);
    EXPECT_EQ(unpackBackground(0x1F), 0);  // no palette code
    EXPECT_TRUE(backgroundIsTransparent(0xC0));
    EXPECT_FALSE(backgroundIsTransparent(0x20));
}

TEST(MessageOptions, StartValuesAndIndexAccess) {
    MessageOptions o;
    const std::array<std::uint8_t, MessageOptions::kCount> start = {
        0, 0, 0, 0, 0, 0, 0, 1, 255, 255, 0, 0x20, 0, 1, 0, 0, 0, 0, 0};
    for (int i = 0; i < MessageOptions::kCount; ++i) {
        EXPECT_EQ(o[i], start[static_cast<size_t>(i)]) << i;
    }
    o[MessageOptions::kScrollCount] = 10;
    EXPECT_EQ(o.scrollCount, 10);
    o.alarmInterval = 4;
    EXPECT_EQ(o.get(MessageOptions::kAlarmInterval), 4);
    EXPECT_EQ(o.get(19), kOptionNotSet);
    o.set(-1, 3);  // ignored

    o.iconNumber = 5;
    o.style = 2;
    o.restoreStartValues();
    EXPECT_EQ(o.style, 0);
    EXPECT_EQ(o.scrollCount, 0);
    EXPECT_EQ(o.iconNumber, 5);
}

TEST(MessageOptions, ApplyHeaderBytes) {
    std::array<std::uint8_t, 21> h;
    h.fill(0xFF);
    h[0] = 1;
    h[1] = 2;
    h[2] = 0x12;  // lapped over picture in the high half, as message files keep it
    h[3] = 1;
    h[4] = 0xC0;
    h[5] = 2;
    h[6] = 0x83;  // title position 2, icon 3
    h[7] = 10;
    h[8] = 0;
    h[9] = 0xFF;
    h[16] = 2;
    h[17] = 3;
    h[18] = 7;
    h[19] = 5;
    h[20] = 4;

    MessageOptions o;
    applyHeaderOptions(o, h, false);
    EXPECT_EQ(o.style, 1);
    EXPECT_EQ(o.verticalPosition, 2);
    EXPECT_EQ(o.horizontalPosition, 2);
    EXPECT_EQ(o.lappedOverPicture, 1);
    EXPECT_EQ(o.characterSize, 1);
    EXPECT_EQ(o.background, 0xC0);
    EXPECT_EQ(o.blink, 1);
    EXPECT_EQ(o.level, 2);
    EXPECT_EQ(o.titlePosition, 2);
    EXPECT_EQ(o.iconNumber, 3);
    EXPECT_EQ(o.scrollCount, 10);
    EXPECT_EQ(o.scrollSpeed, 0);
    EXPECT_EQ(o.displayMinutes, 127);  // "not chosen" reads back as 127 minutes 30 seconds
    EXPECT_EQ(o.displayHalfMinute, 1);
    EXPECT_EQ(o.alarmSound, 0);  // untouched without extended options

    applyHeaderOptions(o, h, true);
    EXPECT_EQ(o.alarmVolume, 2);
    EXPECT_EQ(o.alarmSound, 3);
    EXPECT_EQ(o.alarmCustomSound, 7);
    EXPECT_EQ(o.alarmLoop, 5);
    EXPECT_EQ(o.alarmInterval, 4);

    // A short record: missing bytes count as "not set".
    applyHeaderOptions(o, std::span(h).first(10), true);
    EXPECT_EQ(o.alarmVolume, 0xFF);
    EXPECT_EQ(o.alarmInterval, 0xFF);
}

TEST(Capabilities, SwitchesAndTitleLimit) {
    const ProjectorCapabilities start;
    EXPECT_FALSE(start.pictureSideSupported());
    EXPECT_FALSE(start.extendedOptions());
    EXPECT_TRUE(start.extendedCharacterSet());

    struct Case {
        int level;
        std::uint32_t flags;
        bool pictureSide, extendedOptions, wide, positions;
    };
    const Case cases[] = {
        {2, 7, false, false, true, false},    {3, 1, true, false, true, true},
        {3, 2, false, false, true, true},     {4, 3, true, true, false, true},
        {4, 4, false, false, true, true},     {5, 6, false, true, true, true},
        {0xF000, 7, true, true, true, false}, {0xE000, 0, false, false, false, false},
    };
    for (const Case& c : cases) {
        const ProjectorCapabilities caps{c.level, c.flags};
        EXPECT_EQ(caps.pictureSideSupported(), c.pictureSide) << c.level << "/" << c.flags;
        EXPECT_EQ(caps.extendedOptions(), c.extendedOptions) << c.level << "/" << c.flags;
        EXPECT_EQ(caps.extendedCharacterSet(), c.wide) << c.level << "/" << c.flags;
        EXPECT_EQ(caps.positionOptionsEditable(), c.positions) << c.level << "/" << c.flags;
    }

    EXPECT_EQ(titleLimit(0, false), 40);
    EXPECT_EQ(titleLimit(0, true), 20);
    EXPECT_EQ(titleLimit(1, false), 10);
    EXPECT_EQ(titleLimit(1, true), 10);
    EXPECT_EQ(titleLimit(2, true), 0);
}

}  // namespace
}  // namespace orvanta
