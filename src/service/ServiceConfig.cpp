#include "service/ServiceConfig.h"

#include <arpa/inet.h>

#include <charconv>

#include "platform/AtomicFile.h"
#include "platform/ProfileFile.h"

namespace orvanta::service {
namespace {

std::optional<long> number(const std::string& text, long low, long high) {
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc{} || end != text.data() + text.size() || value < low ||
        value > high) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

bool ServiceConfig::loopback() const {
    in_addr v4{};
    if (inet_pton(AF_INET, address.c_str(), &v4) == 1) {
        return (ntohl(v4.s_addr) >> 24) == 127;
    }
    return address == "::1";
}

std::string ServiceConfig::listenText() const {
    const bool v6 = address.find(':') != std::string::npos;
    return (v6 ? "[" + address + "]" : address) + ":" + std::to_string(port);
}

std::string parseListen(const std::string& text, ServiceConfig& config) {
    const std::size_t colon = text.rfind(':');
    if (colon == std::string::npos) {
        return "listen: ADDRESS:PORT expected, not " + text;
    }
    std::string address = text.substr(0, colon);
    if (address.size() >= 2 && address.front() == '[' && address.back() == ']') {
        address = address.substr(1, address.size() - 2);
    }
    in_addr v4{};
    in6_addr v6{};
    if (inet_pton(AF_INET, address.c_str(), &v4) != 1 &&
        inet_pton(AF_INET6, address.c_str(), &v6) != 1) {
        return "listen: not an IP address: " + address;
    }
    const std::optional<long> port = number(text.substr(colon + 1), 0, 65535);
    if (!port) {
        return "listen: not a port (0 to 65535): " + text.substr(colon + 1);
    }
    config.address = address;
    config.port = static_cast<unsigned>(*port);
    return {};
}

Result<> readServiceConfig(const std::string& path, bool required, ServiceConfig& config) {
    Result<std::string, ReadProblem> read = readRegularFile(path, kMaxProfileFileBytes);
    if (!read) {
        if (read.reason() == ReadProblem::Missing && !required) {
            return {};
        }
        return fail(path + ": " + read.error());
    }
    const ProfileDocument document = ProfileDocument::parse(read.value());
    const auto value = [&document](const char* key) { return document.find("service", key); };
    if (const auto listen = value("listen")) {
        if (const std::string problem = parseListen(*listen, config); !problem.empty()) {
            return fail(path + ": " + problem);
        }
    }
    if (const auto certificate = value("certificate")) {
        config.certificateFile = *certificate;
    }
    if (const auto key = value("key")) {
        config.keyFile = *key;
    }
    if (config.certificateFile.empty() != config.keyFile.empty()) {
        return fail(path + ": TLS needs both a certificate and a key");
    }
    if (const auto refresh = value("fleet-refresh")) {
        const auto seconds = number(*refresh, 1, 3600);
        if (!seconds) {
            return fail(path + ": fleet-refresh: 1 to 3600 seconds, not " + *refresh);
        }
        config.fleetRefresh = std::chrono::seconds(*seconds);
    }
    if (const auto threads = value("command-threads")) {
        const auto count = number(*threads, 1, 64);
        if (!count) {
            return fail(path + ": command-threads: 1 to 64, not " + *threads);
        }
        config.commandThreads = static_cast<std::size_t>(*count);
    }
    return {};
}

std::string serviceConfigPath(const std::string& programFolder) {
    return programFolder + "service.conf";
}

}  // namespace orvanta::service
