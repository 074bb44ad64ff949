#include "projectors/Adaptors.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <net/if.h>
#include <netinet/in.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace orvanta {

std::vector<AdaptorEntry> orderAdaptors(std::vector<AdaptorEntry> adaptors) {
    std::stable_partition(adaptors.begin(), adaptors.end(),
                          [](const AdaptorEntry& e) { return !e.loopback; });
    if (adaptors.size() > kMaxAdaptors) {
        adaptors.resize(kMaxAdaptors);
    }
    return adaptors;
}

int defaultAdaptorIndex(const std::vector<AdaptorEntry>& adaptors) {
    for (std::size_t i = 0; i < adaptors.size(); ++i) {
        if (!adaptors[i].loopback) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

Result<std::vector<AdaptorEntry>> enumerateAdaptors() {
    std::vector<AdaptorEntry> out;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) {
        return fail(std::string("cannot list the network interfaces: ") + std::strerror(errno));
    }
    for (ifaddrs* it = list; it != nullptr; it = it->ifa_next) {
        if (it->ifa_addr == nullptr || it->ifa_addr->sa_family != AF_INET ||
            it->ifa_name == nullptr || (it->ifa_flags & IFF_MULTICAST) == 0) {
            continue;
        }
        // Only the first IPv4 address of an interface counts.
        const bool seen = std::any_of(out.begin(), out.end(), [&](const AdaptorEntry& e) {
            return e.description == it->ifa_name;
        });
        if (seen) {
            continue;
        }
        const auto* sin = reinterpret_cast<const sockaddr_in*>(it->ifa_addr);
        const std::uint32_t address = ntohl(sin->sin_addr.s_addr);
        if (address == 0) {
            continue;
        }
        char text[INET_ADDRSTRLEN] = {};
        ::inet_ntop(AF_INET, &sin->sin_addr, text, sizeof text);
        out.push_back({address, text, it->ifa_name, (it->ifa_flags & IFF_LOOPBACK) != 0});
    }
    ::freeifaddrs(list);
    return orderAdaptors(std::move(out));
}

}  // namespace orvanta
