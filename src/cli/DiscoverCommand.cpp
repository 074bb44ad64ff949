// orvanta-cli discover: one multicast discovery run, listing each projector that answered and
// accepted a connection on its command port.

#include <signal.h>

#include <cstdio>
#include <string>
#include <vector>

#include "cli/CliCommands.h"
#include "cli/CliSupport.h"
#include "platform/TextCodec.h"
#include "projectors/Adaptors.h"
#include "projectors/Discovery.h"

namespace orvanta::cli {
namespace {

constexpr const char* kDiscoverUsage =
    "usage: orvanta-cli discover [--adaptor NAME]\n"
    "\n"
    "Searches for projectors from every network adaptor (or only the one named NAME, as\n"
    "`ip link` names it) and prints one line per projector found, as soon as it is found:\n"
    "  NAME  MAC  ADDR\n"
    "Each projector is listed once. Ctrl+C ends the search early.\n";

extern "C" void onInterruptStopDiscovery(int) {
    discoveryStopFlag().store(true);
}

// A name or MAC address as a projector or a hand-edited file gave it: shown, never obeyed.
std::string orDash(const std::string& text) {
    return text.empty() ? "-" : visibleText(text);
}

}  // namespace

int runDiscoverCommand(const CliContext&, const std::vector<std::string>& args) {
    ParsedArgs parsed;
    if (const auto status = parseCommandArgs(args, {{"--adaptor", true}, kYesOption}, "discover",
                                             kDiscoverUsage, parsed, Positionals::None)) {
        return *status;
    }
    Result<std::vector<AdaptorEntry>> listed = enumerateAdaptors();
    if (!listed) {
        std::fprintf(stderr, "orvanta-cli discover: %s\n", listed.error().c_str());
        return kExitFailed;
    }
    std::vector<AdaptorEntry> adaptors = std::move(listed).value();
    if (const auto name = parsed.value("--adaptor")) {
        std::vector<AdaptorEntry> chosen;
        for (const AdaptorEntry& a : adaptors) {
            if (a.description == *name) {
                chosen.push_back(a);
            }
        }
        if (chosen.empty()) {
            std::fprintf(stderr, "orvanta-cli discover: no adaptor %s with an IPv4 address\n",
                         name->c_str());
            return kExitFailed;
        }
        adaptors = std::move(chosen);
    }
    if (adaptors.empty()) {
        std::fputs("orvanta-cli discover: no network adaptor with an IPv4 address\n", stderr);
        return kExitFailed;
    }

    struct sigaction action {};
    action.sa_handler = onInterruptStopDiscovery;
    sigemptyset(&action.sa_mask);
    struct sigaction previous {};
    sigaction(SIGINT, &action, &previous);
    runDiscovery(adaptors, DiscoveryTimings{}, [](const ProjectorRecord& r) {
        std::printf("%s  %s  %s\n", orDash(r.name).c_str(), orDash(r.mac).c_str(),
                    formatAddress(r.address).c_str());
        std::fflush(stdout);
    });
    sigaction(SIGINT, &previous, nullptr);
    return kExitOk;
}

}  // namespace orvanta::cli
