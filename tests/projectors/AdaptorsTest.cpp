#include <gtest/gtest.h>

#include "projectors/Adaptors.h"

using namespace orvanta;

TEST(Adaptors, LoopbackComesLastAndIsNeverTheDefault) {
    struct Case {
        std::vector<std::pair<const char*, bool>> listed;  // name, loopback
        std::vector<const char*> ordered;
        int defaultIndex;
    };
    const Case cases[] = {
        {{{"lo", true}, {"eth0", false}, {"wlan0", false}}, {"eth0", "wlan0", "lo"}, 0},
        {{{"lo", true}}, {"lo"}, -1},
        {{}, {}, -1},
        {{{"eth1", false}, {"lo", true}, {"eth0", false}}, {"eth1", "eth0", "lo"}, 0},
    };
    for (const Case& c : cases) {
        std::vector<AdaptorEntry> in;
        for (const auto& [name, loopback] : c.listed) {
            in.push_back({1, "0.0.0.1", name, loopback});
        }
        const std::vector<AdaptorEntry> out = orderAdaptors(in);
        std::vector<std::string> names;
        for (const AdaptorEntry& a : out) {
            names.push_back(a.description);
        }
        EXPECT_EQ(names, std::vector<std::string>(c.ordered.begin(), c.ordered.end()));
        EXPECT_EQ(defaultAdaptorIndex(out), c.defaultIndex);
    }
    EXPECT_EQ(orderAdaptors(std::vector<AdaptorEntry>(20)).size(), kMaxAdaptors);
}
