#pragma once
// Command line of the projector simulator.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace orvanta::sim {

struct SimAddress {
    std::uint32_t address = 0;  // host order
    std::string text;           // dotted form
    std::string name;           // discovery name
    std::uint8_t mac[6] = {};
};

struct SimConfig {
    std::vector<SimAddress> addresses;
    std::uint16_t port = 9719;
    std::string password;  // UTF-8
    bool greeting = true;
    bool shortGreeting = false;  // 5-byte greeting instead of 8 hex digits + CR LF
    unsigned level = 4;
    unsigned caps = 7;
    unsigned startupWord = 0;
    char errorStatus = '0';
    int alarmSound = -1;  // -1: no alarm sounds
    bool busy = false;
    int savePolls = 1;
    int replyDelayMs = 0;
    std::string holdRepliesUntil;  // replies wait until this file exists (empty: never)
    std::string holdFor;           // only replies to requests starting with this wait
    bool garbage = false;
    bool trailingByte = false;
    bool drop = false;
    bool hangUp = false;
    bool resetOnRequest = false;             // reset as soon as request bytes arrive
    int splitAt = -1;                        // send the reply in two pieces, the first this long
    int closeAfter = -1;                     // send this many reply bytes, then close
    int resetAfter = -1;                     // send this many reply bytes, then reset
    std::map<std::string, int> replyDigits;  // verb word -> forced digit
    std::string garbageFor;                  // spoil replies to requests starting with this
    int acceptLimit = -1;                    // stop listening after this many connections
    bool discovery = false;
    bool verbose = false;
};

// Parses the arguments (without the program name).  On failure returns nothing and sets
// `error`; `--help` returns nothing with `error` empty.
std::optional<SimConfig> parseArguments(const std::vector<std::string>& args, std::string& error);

const char* usageText();

}  // namespace orvanta::sim
