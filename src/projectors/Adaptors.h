#pragma once
// The network adaptors discovery can search from: those with an IPv4 address that carry
// multicast, in the order the system lists them, with loopback interfaces moved to the end
// (searching from loopback only ever finds programs on this machine).

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Result.h"

namespace orvanta {

struct AdaptorEntry {
    std::uint32_t address = 0;  // host order
    std::string dotted;
    std::string description;  // the interface name
    bool loopback = false;
};

constexpr size_t kMaxAdaptors = 15;

// At most 15 entries; an interface whose first IPv4 address is 0.0.0.0, or that does not
// carry multicast, is left out. Fails when the system cannot list its interfaces.
Result<std::vector<AdaptorEntry>> enumerateAdaptors();

// The same order rule on a given list: non-loopback entries first, each group in its own
// order, then cut to kMaxAdaptors.
std::vector<AdaptorEntry> orderAdaptors(std::vector<AdaptorEntry> adaptors);

// The adaptor a discovery starts from when the operator has not chosen one: the first that is
// not loopback, or -1 when there is none.
int defaultAdaptorIndex(const std::vector<AdaptorEntry>& adaptors);

}  // namespace orvanta
