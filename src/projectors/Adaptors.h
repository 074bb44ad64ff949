#pragma once
// The network adaptors that have an IPv4 address, in the order the system lists them.

#include <cstdint>
#include <string>
#include <vector>

namespace orvanta {

struct AdaptorEntry {
    std::uint32_t address = 0;  // host order
    std::string dotted;
    std::string description;  // the interface name
};

constexpr size_t kMaxAdaptors = 15;

// At most 15 entries; an interface whose first IPv4 address is 0.0.0.0 is left out.
std::vector<AdaptorEntry> enumerateAdaptors();

}  // namespace orvanta
