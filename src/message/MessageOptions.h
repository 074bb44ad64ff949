#pragma once
// The message as the operator composes it and as every part of the program shares it: the
// ten-color palette, the icon, the nineteen option bytes with their start values, the packing
// of the message background, and the projector capabilities that switch features on and off.

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "message/RichText.h"

namespace orvanta {

// ---------------------------------------------------------------------------------------------
// Palette

// Color codes 0..9. 8 and 9 are not colors on the projector but transparency modes.
enum PaletteCode : std::uint8_t {
    kColorBlack = 0,
    kColorRed = 1,
    kColorYellow = 2,
    kColorGreen = 3,
    kColorCyan = 4,
    kColorBlue = 5,
    kColorMagenta = 6,
    kColorWhite = 7,
    kColorHalfTransparent = 8,  // silver in the editor
    kColorTransparent = 9,      // light grey in the editor
};
inline constexpr int kPaletteSize = 10;

// Any RGB value outside the palette is black (code 0).
std::uint8_t colorCodeFromRgb(Rgb rgb);
// Codes outside 0..9 give black.
Rgb rgbFromColorCode(int code);

// ---------------------------------------------------------------------------------------------
// Icon

inline constexpr int kIconCount = 6;  // 0 none, 1..5
// Name in the icon list: "None", "Stop", "Exclamation", "Question", "Information", "Clip";
// empty outside 0..5.
std::string_view iconListName(int icon);
// Name part of the icon bitmap file "BG_ICN_<name>.bmp" ("Warning", "Attention", "Question",
// "Contact", "Clip" for 1..5); empty for 0 and outside 1..5 (no icon is drawn).
std::string_view iconBitmapName(int icon);

// ---------------------------------------------------------------------------------------------
// Option bytes

inline constexpr std::uint8_t kOptionNotSet = 255;

enum class MessageStyle : std::uint8_t { Scroll = 0, Box = 1, PopOn = 2, PictureSide = 3 };

// The nineteen option bytes of a message. Every field is one byte with the numbering below, so
// the option dialog and the file and header readers can also address them by index.
struct MessageOptions {
    enum Index : int {
        kStyle = 0,
        kVerticalPosition = 1,
        kHorizontalPosition = 2,
        kCharacterSize = 3,
        kTitlePosition = 4,
        kLevel = 5,
        kScrollCount = 6,
        kScrollSpeed = 7,
        kDisplayMinutes = 8,
        kDisplayHalfMinute = 9,
        kBlink = 10,
        kBackground = 11,
        kIconNumber = 12,
        kLappedOverPicture = 13,
        kAlarmVolume = 14,
        kAlarmSound = 15,
        kAlarmCustomSound = 16,
        kAlarmLoop = 17,
        kAlarmInterval = 18,
    };
    static constexpr int kCount = 19;

    // Default values are the start values that "New" restores.
    std::uint8_t style = 0;                          // 0 Scroll, 1 Box, 2 Pop on, 3 Picture Side
    std::uint8_t verticalPosition = 0;               // 0 Upper, 1 Center, 2 Lower
    std::uint8_t horizontalPosition = 0;             // 0 Left, 2 Right
    std::uint8_t characterSize = 0;                  // 0 Standard, 1 Double size
    std::uint8_t titlePosition = 0;                  // 0 Left, 1 Center, 2 Right
    std::uint8_t level = 0;                          // 0 Low, 1 Middle, 2 High
    std::uint8_t scrollCount = 0;                    // 0 endless, 1..100 passes
    std::uint8_t scrollSpeed = 1;                    // 0 Slow, 1 Standard, 2 Fast
    std::uint8_t displayMinutes = kOptionNotSet;     // 0..127; 255 with 255 below: none chosen
    std::uint8_t displayHalfMinute = kOptionNotSet;  // 0 or 1 (+30 seconds)
    std::uint8_t blink = 0;                          // 0 Off, 1 On
    std::uint8_t background = 0x20;                  // see packBackground
    std::uint8_t iconNumber = 0;                     // copy of the icon handed back by files
    std::uint8_t lappedOverPicture = 1;              // 0 Disable, 1 Enable
    std::uint8_t alarmVolume = 0;                    // 0 Low, 1 Mid, 2 High; 255 not used
    std::uint8_t alarmSound = 0;                     // 0 none, 1..4; 255 not used
    std::uint8_t alarmCustomSound = 0;               // 0..7; 255 not used
    std::uint8_t alarmLoop = 0;                      // 0 endless, 1, 3, 5; 255 not used
    std::uint8_t alarmInterval = 0;                  // 0..5 seconds; 255 not used

    // Byte access by option number; `index` must be 0..18.
    std::uint8_t& operator[](int index);
    std::uint8_t operator[](int index) const;
    // Checked access: get answers kOptionNotSet and set does nothing outside 0..18.
    std::uint8_t get(int index) const;
    void set(int index, std::uint8_t value);

    // Start values of every option except iconNumber, which "New" leaves alone.
    void restoreStartValues();

    bool operator==(const MessageOptions&) const = default;
};

// Option 11 from a background color code: 0..7 as is, 8 -> 0x20, 9 -> 0x40 (others -> 0).
std::uint8_t packBackground(int backgroundColor);
// Background color code from option 11 (or header byte 4: bit 7, the blink bit, is ignored):
// bits 6-5 = 01 -> 8, 10 -> 9, otherwise bits 4-0 (a value above 9 reads as 0, black).
std::uint8_t unpackBackground(std::uint8_t background);
// True when option 11 says the whole message background is transparent (bits 6-5 = 10).
bool backgroundIsTransparent(std::uint8_t background);

// Set the options from bytes 0..20 of a header as read from a file or a projector. Bytes
// missing from `header` count as 0xFF. The alarm options are taken only with extendedOptions.
void applyHeaderOptions(MessageOptions& options, std::span<const std::uint8_t> header,
                        bool extendedOptions);

// ---------------------------------------------------------------------------------------------
// Projector capabilities

struct ProjectorCapabilities {
    static constexpr int kUnknownLevelA = 0xF000;
    static constexpr int kUnknownLevelB = 0xE000;

    int level = 1;            // firmware level from the state query
    std::uint32_t flags = 0;  // bit 0 Picture Side, bit 1 extended options, bit 2 wide characters

    // Style 3 may be chosen and sent.
    bool pictureSideSupported() const { return level >= 3 && (flags & 1u) != 0; }
    // Alarm options, the 32-byte header on the wire and the alarm field of message files.
    bool extendedOptions() const { return level >= 4 && (flags & 2u) != 0; }
    // Wide character set: width table B, shorter title, no unsupported-character check.
    bool extendedCharacterSet() const { return level < 4 || (flags & 4u) != 0; }
    // Horizontal position and Lapped over picture can be edited (known level above 2).
    bool positionOptionsEditable() const {
        return level > 2 && level != kUnknownLevelA && level != kUnknownLevelB;
    }

    bool operator==(const ProjectorCapabilities&) const = default;
};

// Most title characters the projector shows: 40 / 20 for Standard size with the narrow / wide
// character set, 10 for Double size, 0 for any other size value.
int titleLimit(int characterSize, bool extendedCharacterSet);
inline constexpr int kTitleTypingLimit = 60;

// ---------------------------------------------------------------------------------------------
// The message

struct Message {
    RichText title;
    RichText body;
    MessageOptions options;
    std::uint8_t icon = 0;  // 0..5
    std::uint8_t backgroundColor = kColorHalfTransparent;
    std::uint8_t characterColor = kColorWhite;
    std::uint8_t characterBackgroundColor = kColorHalfTransparent;

    // What "New" does to the model: empty texts, start options (background 0x20), no icon,
    // background color 8. Character colors are the operator's and stay.
    void reset();

    bool operator==(const Message&) const = default;
};

}  // namespace orvanta
