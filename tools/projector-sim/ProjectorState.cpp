#include "ProjectorState.h"

#include <cstdio>

namespace orvanta::sim {
namespace {

std::string line(const std::string& verb, int digit) {
    return verb + " " + static_cast<char>('0' + digit) + "\r\n";
}

std::string ctrlValue(unsigned value) {
    return "CTRL 0\r\nValue:" + std::to_string(value) + "\r\n";
}

std::string ctrlChar(char c) {
    return std::string("CTRL 0\r\nValue:") + c + "\r\n";
}

// "%X" of a slot number; the projector prints slots that way and reads them that way.
std::string slotText(int slot) {
    char text[8];
    std::snprintf(text, sizeof text, "%X", static_cast<unsigned>(slot));
    return text;
}

std::string fiveDigits(std::size_t n) {
    char text[16];
    std::snprintf(text, sizeof text, "%05u", static_cast<unsigned>(n));
    return text;
}

// Slot number from its "%X" text; -1 when it is not one of 0..12 written that way.
int parseSlot(const std::string& text) {
    for (int slot = 0; slot < ProjectorState::kSlotCount; ++slot) {
        if (text == slotText(slot)) {
            return slot;
        }
    }
    return -1;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    return -1;
}

// A decimal number of at most 5 digits, -1 otherwise.
long decimal(const std::string& text) {
    if (text.empty() || text.size() > 5) {
        return -1;
    }
    long v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') {
            return -1;
        }
        v = v * 10 + (c - '0');
    }
    return v;
}

}  // namespace

ProjectorState::ProjectorState(const SimConfig& config)
    : config_(config),
      startupWord_(config.startupWord),
      errorStatus_(config.errorStatus),
      alarmSound_(config.alarmSound) {}

std::string ProjectorState::answer(const ParsedRequest& request) {
    std::lock_guard lock(mutex_);
    if (config_.busy) {
        return line(request.verb, 2);
    }
    const std::string& first = request.lines.front();
    const std::string argument = first.size() > request.verb.size() + 1
                                     ? first.substr(request.verb.size() + 1)
                                     : std::string();
    if (request.verb == "PUT") {
        return put(request);
    }
    if (request.verb == "CTRL") {
        return ctrl(request);
    }
    if (request.verb == "CANCEL") {
        return first == "CANCEL" ? cancel() : line("CANCEL", 9);
    }
    const int slot = parseSlot(argument);
    if (slot < 0) {
        return line(request.verb, 9);
    }
    if (request.verb == "TEXT") {
        return text(slot);
    }
    if (request.verb == "INFO") {
        return info(slot);
    }
    return stat(slot);
}

std::string ProjectorState::put(const ParsedRequest& request) {
    const std::string hex = request.lines[0].substr(4);
    const std::string& saveId = request.lines[1];
    const int slot = saveId.substr(0, 8) == "Save-ID:" ? parseSlot(saveId.substr(8)) : -1;
    // Header byte 11 (characters 22 and 23) tells the long form from the short one.
    const std::size_t expected = hex.size() >= 24 && hex.substr(22, 2) == "20" ? 64 : 32;
    bool hexOk = hex.size() == expected;
    for (char c : hex) {
        hexOk = hexOk && hexValue(c) >= 0;
    }
    if (slot < 0 || !hexOk) {
        return line("PUT", 9);
    }
    if (request.body.size() > kMaxBodyLength) {
        return line("PUT", 5);
    }
    unsigned sum = 0;
    for (char c : request.body) {
        sum += static_cast<unsigned char>(c);
    }
    unsigned checksum = 0;
    for (std::size_t i = 28; i < 32; ++i) {  // header bytes 14 and 15
        checksum = checksum * 16 + static_cast<unsigned>(hexValue(hex[i]));
    }
    if (((sum + checksum) & 0xFFFF) != 0) {
        return line("PUT", 1);
    }
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    s.used = true;
    s.headerHex = hex;
    s.body = request.body;
    s.savePolls = config_.savePolls;
    if (slot == 0) {
        shownSlot_ = 0;  // a Quick message is shown at once
    }
    return line("PUT", 0);
}

std::string ProjectorState::text(int slot) {
    const Slot& s = slots_[static_cast<std::size_t>(slot)];
    if (!s.used) {
        return line("TEXT", 1);
    }
    return "TEXT 0\r\nSave-ID:" + slotText(slot) + "\r\nLength:" + fiveDigits(s.body.size()) +
           "\r\n" + s.body + "\r\n";
}

std::string ProjectorState::info(int slot) {
    const Slot& s = slots_[static_cast<std::size_t>(slot)];
    if (!s.used) {
        return line("INFO", 1);
    }
    return "INFO 0\r\nHeader:" + s.headerHex + "\r\nSave-ID:" + slotText(slot) +
           "\r\nLength:" + fiveDigits(s.body.size()) + "\r\n";
}

std::string ProjectorState::stat(int slot) {
    Slot& s = slots_[static_cast<std::size_t>(slot)];
    if (!s.used) {
        return line("STAT", 1);
    }
    char status = '0';
    if (s.savePolls > 0) {
        --s.savePolls;
        status = '1';
    }
    return "STAT 0\r\nSave-ID:" + slotText(slot) + "\r\nStatus:" + status + "\r\n";
}

std::string ProjectorState::cancel() {
    // A save still in progress is abandoned: that slot ends up empty.
    for (Slot& s : slots_) {
        if (s.used && s.savePolls > 0) {
            s = Slot{};
        }
    }
    return line("CANCEL", 0);
}

std::string ProjectorState::ctrl(const ParsedRequest& request) {
    // "CTRL " and exactly four upper-case hex digits.
    if (request.lines[0].size() != 9) {
        return line("CTRL", 1);
    }
    unsigned code = 0;
    for (char c : request.lines[0].substr(5)) {
        const int v = hexValue(c);
        if (v < 0) {
            return line("CTRL", 1);
        }
        code = code * 16 + static_cast<unsigned>(v);
    }
    const long count = decimal(request.lines[1]);
    long value = -1;
    if (count == 1) {
        value = decimal(request.lines[2]);
        if (value < 0 || value > 0xFFFF) {
            return line("CTRL", 1);
        }
    }
    auto clear = [&](int from, int to) {
        for (int i = from; i <= to; ++i) {
            slots_[static_cast<std::size_t>(i)] = Slot{};
            if (shownSlot_ == i) {
                shownSlot_ = -1;
            }
        }
        return ctrlValue(0);
    };
    const unsigned v = static_cast<unsigned>(value);
    switch (code) {
        case 0x0F01:
            return count == 2 ? ctrlValue(config_.level) : line("CTRL", 1);
        case 0x0F02:
            return count == 2 ? ctrlValue(config_.caps) : line("CTRL", 1);
        case 0x3532:
            if (count == 2) {
                return ctrlValue(startupWord_);
            }
            if (count == 1) {
                startupWord_ = v;
                return ctrlValue(config_.level);
            }
            return line("CTRL", 1);
        case 0x3510: {
            if (count != 1) {
                return line("CTRL", 1);
            }
            const int slot = static_cast<int>((v >> 8) & 0x7F);
            if ((v & 1) == 0) {
                shownSlot_ = -1;
                return ctrlValue(0);
            }
            if (slot >= kSlotCount || !slots_[static_cast<std::size_t>(slot)].used) {
                return line("CTRL", 1);
            }
            shownSlot_ = slot;
            return ctrlValue(0);
        }
        case 0x3511:
            return count == 6 ? clear(0, 12) : line("CTRL", 1);
        case 0x3512:
            return count == 6 ? clear(0, 0) : line("CTRL", 1);
        case 0x3513:
            return count == 6 ? clear(1, 12) : line("CTRL", 1);
        case 0x2002:
            if (count != 1) {
                return line("CTRL", 1);
            }
            alarmSound_ = -1;
            return ctrlValue(0);
        case 0x3530:
            if (count != 1) {
                return line("CTRL", 1);
            }
            rememberedSlot_ = static_cast<int>(v >> 8);
            return ctrlValue(0);
        case 0x3531:
            if (count != 2) {
                return line("CTRL", 1);
            }
            return ctrlChar(rememberedSlot_ >= 0 && rememberedSlot_ < kSlotCount &&
                                    slots_[static_cast<std::size_t>(rememberedSlot_)].used
                                ? '1'
                                : '0');
        case 0x6020:
            return count == 2 ? ctrlChar(errorStatus_) : line("CTRL", 1);
        case 0x3534:
            if (count != 2) {
                return line("CTRL", 1);
            }
            return ctrlValue(shownSlot_ >= 0 ? (static_cast<unsigned>(shownSlot_) << 8) + 1 : 0);
        case 0x3535:
            if (count != 2) {
                return line("CTRL", 1);
            }
            return ctrlValue(alarmSound_ >= 0 ? (static_cast<unsigned>(alarmSound_) << 8) + 1 : 0);
        default:
            break;
    }
    if (code >= 0x3514 && code <= 0x351F && count == 6) {
        const int slot = static_cast<int>(code - 0x3513);
        return clear(slot, slot);
    }
    return line("CTRL", 1);
}

}  // namespace orvanta::sim
