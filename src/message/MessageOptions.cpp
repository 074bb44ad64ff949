#include "message/MessageOptions.h"

namespace orvanta {

namespace {

constexpr std::array<Rgb, kPaletteSize> kPalette = {
    0x000000,  // black
    0xFF0000,  // red
    0xFFFF00,  // yellow
    0x00FF00,  // green
    0x00FFFF,  // cyan
    0x0000FF,  // blue
    0xFF00FF,  // magenta
    0xFFFFFF,  // white
    0xC0C0C0,  // half transparent, silver in the editor
    0xE0E0E0,  // transparent, light grey in the editor
};

constexpr std::array<std::string_view, kIconCount> kIconListNames = {
    "None", "Stop", "Exclamation", "Question", "Information", "Clip"};
constexpr std::array<std::string_view, kIconCount> kIconBitmapNames = {
    "", "Warning", "Attention", "Question", "Contact", "Clip"};

using OptionField = std::uint8_t MessageOptions::*;
constexpr std::array<OptionField, MessageOptions::kCount> kFields = {
    &MessageOptions::style,
    &MessageOptions::verticalPosition,
    &MessageOptions::horizontalPosition,
    &MessageOptions::characterSize,
    &MessageOptions::titlePosition,
    &MessageOptions::level,
    &MessageOptions::scrollCount,
    &MessageOptions::scrollSpeed,
    &MessageOptions::displayMinutes,
    &MessageOptions::displayHalfMinute,
    &MessageOptions::blink,
    &MessageOptions::background,
    &MessageOptions::iconNumber,
    &MessageOptions::lappedOverPicture,
    &MessageOptions::alarmVolume,
    &MessageOptions::alarmSound,
    &MessageOptions::alarmCustomSound,
    &MessageOptions::alarmLoop,
    &MessageOptions::alarmInterval,
};

}  // namespace

std::uint8_t colorCodeFromRgb(Rgb rgb) {
    rgb &= 0xFFFFFF;
    for (int i = 0; i < kPaletteSize; ++i) {
        if (kPalette[static_cast<size_t>(i)] == rgb) {
            return static_cast<std::uint8_t>(i);
        }
    }
    return kColorBlack;
}

Rgb rgbFromColorCode(int code) {
    if (code < 0 || code >= kPaletteSize) {
        return kPalette[kColorBlack];
    }
    return kPalette[static_cast<size_t>(code)];
}

std::string_view iconListName(int icon) {
    if (icon < 0 || icon >= kIconCount) {
        return {};
    }
    return kIconListNames[static_cast<size_t>(icon)];
}

std::string_view iconBitmapName(int icon) {
    if (icon < 0 || icon >= kIconCount) {
        return {};
    }
    return kIconBitmapNames[static_cast<size_t>(icon)];
}

std::uint8_t& MessageOptions::operator[](int index) {
    return this->*kFields[static_cast<size_t>(index)];
}

std::uint8_t MessageOptions::operator[](int index) const {
    return this->*kFields[static_cast<size_t>(index)];
}

std::uint8_t MessageOptions::get(int index) const {
    if (index < 0 || index >= kCount) {
        return kOptionNotSet;
    }
    return (*this)[index];
}

void MessageOptions::set(int index, std::uint8_t value) {
    if (index >= 0 && index < kCount) {
        (*this)[index] = value;
    }
}

void MessageOptions::restoreStartValues() {
    const std::uint8_t keptIcon = iconNumber;
    *this = MessageOptions{};
    iconNumber = keptIcon;
}

std::uint8_t packBackground(int backgroundColor) {
    if (backgroundColor >= 0 && backgroundColor <= kColorWhite) {
        return static_cast<std::uint8_t>(backgroundColor);
    }
    if (backgroundColor == kColorHalfTransparent) {
        return 0x20;
    }
    if (backgroundColor == kColorTransparent) {
        return 0x40;
    }
    return kColorBlack;
}

std::uint8_t unpackBackground(std::uint8_t background) {
    switch (background & 0x60) {
        case 0x20:
            return kColorHalfTransparent;
        case 0x40:
            return kColorTransparent;
        default:
            break;
    }
    const std::uint8_t code = background & 0x1F;
    return code < kPaletteSize ? code : static_cast<std::uint8_t>(kColorBlack);
}

bool backgroundIsTransparent(std::uint8_t background) {
    return (background & 0x60) == 0x40;
}

void applyHeaderOptions(MessageOptions& options, std::span<const std::uint8_t> header,
                        bool extendedOptions) {
    auto byte = [&](size_t i) -> std::uint8_t { return i < header.size() ? header[i] : 0xFF; };
    options.style = byte(0);
    options.verticalPosition = byte(1);
    // Message files keep Lapped over picture in the high half of this byte.
    options.horizontalPosition = byte(2) & 0x0F;
    options.lappedOverPicture = byte(2) >> 4;
    options.characterSize = byte(3);
    options.background = byte(4);
    options.blink = byte(4) >> 7;
    options.level = byte(5);
    options.iconNumber = byte(6) & 0x3F;
    options.titlePosition = byte(6) >> 6;
    options.scrollCount = byte(7);
    options.scrollSpeed = byte(8);
    options.displayMinutes = byte(9) & 0x7F;
    options.displayHalfMinute = byte(9) >> 7;
    if (extendedOptions) {
        options.alarmVolume = byte(16);
        options.alarmSound = byte(17);
        options.alarmCustomSound = byte(18);
        options.alarmLoop = byte(19);
        options.alarmInterval = byte(20);
    }
}

int titleLimit(int characterSize, bool extendedCharacterSet) {
    if (characterSize == 0) {
        return extendedCharacterSet ? 20 : 40;
    }
    if (characterSize == 1) {
        return 10;
    }
    return 0;
}

void Message::reset() {
    title = {};
    body = {};
    options.restoreStartValues();
    icon = 0;
    backgroundColor = kColorHalfTransparent;
}

}  // namespace orvanta
