#include <gtest/gtest.h>

#include "projectors/Adaptors.h"

using namespace orvanta;

TEST(Adaptors, LoopbackComesLastAndIsNeverTheDefault) {
    const auto entry = [](const char* name, bool loopback) {
        return AdaptorEntry{1, "0.0.0.1", name, loopback};
    };
    const std::vector<AdaptorEntry> ordered =
        orderAdaptors({entry("lo", true), entry("eth1", false), entry("eth0", false)});
    ASSERT_EQ(ordered.size(), 3u);
    EXPECT_EQ(ordered[0].description, "eth1");
    EXPECT_EQ(ordered[1].description, "eth0");
    EXPECT_EQ(ordered[2].description, "lo");
    EXPECT_EQ(defaultAdaptorIndex(ordered), 0);
    EXPECT_EQ(defaultAdaptorIndex({entry("lo", true)}), -1);
    EXPECT_EQ(orderAdaptors(std::vector<AdaptorEntry>(20)).size(), kMaxAdaptors);
}
