#pragma once
// The settings of orvanta-service: a config file (an INI file, section [service]) and the
// command-line options that override it.
//
//   [service]
//   listen = 127.0.0.1:9720      ; ADDRESS:PORT, [IPv6]:PORT
//   certificate = /etc/...pem    ; with key: TLS
//   key = /etc/...pem
//   fleet-refresh = 5            ; seconds between two status reads of a projector
//   command-threads = 8          ; commands carried out at the same time

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "platform/Result.h"

namespace orvanta::service {

struct ServiceConfig {
    std::string address = "127.0.0.1";
    unsigned port = 9720;
    std::string certificateFile;
    std::string keyFile;
    std::chrono::seconds fleetRefresh{5};
    std::size_t commandThreads = 8;

    bool tls() const { return !certificateFile.empty(); }
    // The address is a loopback one (127.0.0.0/8, ::1), which nobody else can reach.
    bool loopback() const;
    std::string listenText() const;
};

// "ADDRESS:PORT" or "[IPv6]:PORT" into the config; what is wrong, or an empty text.
std::string parseListen(const std::string& text, ServiceConfig& config);

// Reads the [service] section of `path` over `config`. A missing file is no error when it was
// not asked for by name (`required` false).
Result<> readServiceConfig(const std::string& path, bool required, ServiceConfig& config);

// The default config file of a program folder.
std::string serviceConfigPath(const std::string& programFolder);

}  // namespace orvanta::service
