#include "SimConfig.h"

#include <arpa/inet.h>

#include <cstdio>
#include <cstdlib>

namespace orvanta::sim {
namespace {

bool parseUnsigned(const std::string& text, unsigned long max, unsigned long& out) {
    if (text.empty() || text.size() > 10) {
        return false;
    }
    for (char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    out = std::strtoul(text.c_str(), nullptr, 10);
    return out <= max;
}

bool parseMac(const std::string& text, std::uint8_t (&mac)[6]) {
    unsigned v[6];
    char tail = 0;
    if (std::sscanf(text.c_str(), "%2x%*1[-:]%2x%*1[-:]%2x%*1[-:]%2x%*1[-:]%2x%*1[-:]%2x%c", &v[0],
                    &v[1], &v[2], &v[3], &v[4], &v[5], &tail) != 6) {
        return false;
    }
    for (int i = 0; i < 6; ++i) {
        mac[i] = static_cast<std::uint8_t>(v[i]);
    }
    return true;
}

}  // namespace

const char* usageText() {
    return "usage: orvanta-projector-sim [options]\n"
           "Plays one or several projectors on TCP port 9719 of loopback addresses.\n"
           "\n"
           "  --address A          play a projector on address A (repeatable; default 127.0.0.2)\n"
           "  --port P             listen on port P instead of 9719 (manual tries only)\n"
           "  --password TEXT      projector password for the digest check (default empty)\n"
           "  --no-greeting        send no greeting; requests carry no digest\n"
           "  --short-greeting     send a 5-byte greeting (its digest ignores the password)\n"
           "  --level N            firmware level answered to CTRL 0F01 (default 4)\n"
           "  --caps N             capability flags answered to CTRL 0F02 (default 7)\n"
           "  --startup-word N     initial startup display word, CTRL 3532 (default 0)\n"
           "  --error-status C     error status character for CTRL 6020 (default 0)\n"
           "  --alarm SOUND        an alarm with this sound number sounds until muted\n"
           "  --busy               answer every request with digit 2\n"
           "  --save-polls N       STAT answers status 1 this many times after a PUT (default "
           "1)\n"
           "  --reply-delay MS     wait MS milliseconds before each reply\n"
           "  --hold-replies FILE  hold each reply until FILE exists (tests release it)\n"
           "  --hold-for TEXT      hold only replies to requests starting with TEXT\n"
           "  --garbage            spoil the first byte of every reply\n"
           "  --garbage-for TEXT   spoil the first byte of replies to requests starting TEXT\n"
           "  --accept-limit N     close the command port after N connections\n"
           "  --trailing-byte      append one byte 'X' to every reply\n"
           "  --drop               read each request, then close without a reply\n"
           "  --hang-up            close each connection right after accepting it\n"
           "  --reset-on-request   reset the connection as soon as a request starts to arrive\n"
           "  --split N            send each reply as N bytes, a 300 ms pause, then the rest\n"
           "  --close-after N      send only N bytes of each reply, then close\n"
           "  --reset-after N      send only N bytes of each reply, then reset\n"
           "  --reply-digit VERB=D force digit D into every VERB reply (repeatable)\n"
           "  --name NAME          discovery name of the next --address's projector (repeatable)\n"
           "  --mac AA:BB:CC:DD:EE:FF  its MAC address (repeatable)\n"
           "  --discovery          answer DeviceSearch datagrams (224.0.5.128, UDP 2363);\n"
           "                       use only inside a private network namespace\n"
           "  --verbose            log each request's whole text, not only its first line\n"
           "  --help               show this text\n"
           "  --version            show the version\n"
           "\n"
           "Logs one line per request: address:port, the request's first line, the digest\n"
           "check (digest ok / digest wrong / no digest) and the reply's first line.\n";
}

std::optional<SimConfig> parseArguments(const std::vector<std::string>& args, std::string& error) {
    SimConfig config;
    std::vector<std::string> names;
    std::vector<std::string> macs;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size()) {
                error = a + " needs a value";
                return false;
            }
            out = args[++i];
            return true;
        };
        auto number = [&](unsigned long max, unsigned long& out) {
            std::string text;
            if (!value(text)) {
                return false;
            }
            if (!parseUnsigned(text, max, out)) {
                error = a + ": not a number up to " + std::to_string(max) + ": " + text;
                return false;
            }
            return true;
        };
        std::string text;
        unsigned long n = 0;
        if (a == "--help" || a == "-h") {
            error.clear();
            return std::nullopt;
        } else if (a == "--address") {
            if (!value(text)) {
                return std::nullopt;
            }
            in_addr parsed{};
            if (inet_pton(AF_INET, text.c_str(), &parsed) != 1) {
                error = "--address: not an IPv4 address: " + text;
                return std::nullopt;
            }
            SimAddress address;
            address.address = ntohl(parsed.s_addr);
            address.text = text;
            config.addresses.push_back(address);
        } else if (a == "--port") {
            if (!number(65535, n) || n == 0) {
                error = error.empty() ? "--port: 1..65535" : error;
                return std::nullopt;
            }
            config.port = static_cast<std::uint16_t>(n);
        } else if (a == "--password") {
            if (!value(config.password)) {
                return std::nullopt;
            }
        } else if (a == "--no-greeting") {
            config.greeting = false;
        } else if (a == "--short-greeting") {
            config.shortGreeting = true;
        } else if (a == "--level" || a == "--caps" || a == "--startup-word") {
            if (!number(65535, n)) {
                return std::nullopt;
            }
            (a == "--level"  ? config.level
             : a == "--caps" ? config.caps
                             : config.startupWord) = static_cast<unsigned>(n);
        } else if (a == "--error-status") {
            if (!value(text)) {
                return std::nullopt;
            }
            if (text.size() != 1) {
                error = "--error-status: one character";
                return std::nullopt;
            }
            config.errorStatus = text[0];
        } else if (a == "--alarm") {
            if (!number(255, n)) {
                return std::nullopt;
            }
            config.alarmSound = static_cast<int>(n);
        } else if (a == "--busy") {
            config.busy = true;
        } else if (a == "--save-polls") {
            if (!number(1000000, n)) {
                return std::nullopt;
            }
            config.savePolls = static_cast<int>(n);
        } else if (a == "--reply-delay") {
            if (!number(3600000, n)) {
                return std::nullopt;
            }
            config.replyDelayMs = static_cast<int>(n);
        } else if (a == "--garbage") {
            config.garbage = true;
        } else if (a == "--trailing-byte") {
            config.trailingByte = true;
        } else if (a == "--drop") {
            config.drop = true;
        } else if (a == "--hang-up") {
            config.hangUp = true;
        } else if (a == "--reset-on-request") {
            config.resetOnRequest = true;
        } else if (a == "--split" || a == "--close-after" || a == "--reset-after") {
            if (!number(100000, n)) {
                return std::nullopt;
            }
            (a == "--split"         ? config.splitAt
             : a == "--close-after" ? config.closeAfter
                                    : config.resetAfter) = static_cast<int>(n);
        } else if (a == "--hold-replies") {
            if (!value(config.holdRepliesUntil)) {
                return std::nullopt;
            }
        } else if (a == "--hold-for") {
            if (!value(config.holdFor)) {
                return std::nullopt;
            }
        } else if (a == "--garbage-for") {
            if (!value(config.garbageFor)) {
                return std::nullopt;
            }
        } else if (a == "--accept-limit") {
            if (!number(100000, n)) {
                return std::nullopt;
            }
            config.acceptLimit = static_cast<int>(n);
        } else if (a == "--reply-digit") {
            if (!value(text)) {
                return std::nullopt;
            }
            const auto eq = text.find('=');
            if (eq == std::string::npos || eq == 0 || text.size() != eq + 2 || text[eq + 1] < '0' ||
                text[eq + 1] > '9') {
                error = "--reply-digit: VERB=D with one digit D";
                return std::nullopt;
            }
            config.replyDigits[text.substr(0, eq)] = text[eq + 1] - '0';
        } else if (a == "--name") {
            if (!value(text)) {
                return std::nullopt;
            }
            names.push_back(text);
        } else if (a == "--mac") {
            if (!value(text)) {
                return std::nullopt;
            }
            std::uint8_t mac[6];
            if (!parseMac(text, mac)) {
                error = "--mac: six hexadecimal bytes separated by ':' or '-'";
                return std::nullopt;
            }
            macs.push_back(text);
        } else if (a == "--discovery") {
            config.discovery = true;
        } else if (a == "--verbose") {
            config.verbose = true;
        } else {
            error = "unknown option: " + a;
            return std::nullopt;
        }
    }
    if (config.addresses.empty()) {
        SimAddress address;
        address.address = 0x7F000002;
        address.text = "127.0.0.2";
        config.addresses.push_back(address);
    }
    for (std::size_t i = 0; i < config.addresses.size(); ++i) {
        SimAddress& a = config.addresses[i];
        a.name = i < names.size() ? names[i] : "SIM-" + a.text;
        if (i < macs.size()) {
            parseMac(macs[i], a.mac);
        } else {
            // A locally administered address made from the IPv4 address.
            const std::uint8_t mac[6] = {0x02,
                                         0x00,
                                         static_cast<std::uint8_t>(a.address >> 24),
                                         static_cast<std::uint8_t>(a.address >> 16),
                                         static_cast<std::uint8_t>(a.address >> 8),
                                         static_cast<std::uint8_t>(a.address)};
            std::copy(mac, mac + 6, a.mac);
        }
    }
    return config;
}

}  // namespace orvanta::sim
