#include "base/scan.h"

#include <gtest/gtest.h>

#include <climits>

namespace korvan {
namespace {

using Numbers = std::vector<int>;

TEST(Scan, FollowsTheCLibrarysRules) {
    EXPECT_EQ(scanNumbers("DHCP=1;", "DHCP=%d;"), Numbers{1});
    // The literal after the last number is not needed for the number to count.
    EXPECT_EQ(scanNumbers("DHCP=1", "DHCP=%d;"), Numbers{1});
    EXPECT_EQ(scanNumbers("DHCP= -12x", "DHCP=%d;"), Numbers{-12});
    EXPECT_EQ(scanNumbers("DHCP=+7;", "DHCP=%d;"), Numbers{7});
    EXPECT_EQ(scanNumbers("DHCP=;", "DHCP=%d;"), Numbers{});
    EXPECT_EQ(scanNumbers("dhcp=1;", "DHCP=%d;"), Numbers{});
    EXPECT_EQ(scanNumbers("WIFI-1.05", "WIFI-%d.%d"), (Numbers{1, 5}));
    EXPECT_EQ(scanNumbers("WIFI-1,05", "WIFI-%d.%d"), Numbers{1});
    EXPECT_EQ(scanNumbers("MODE=\n3", "MODE=%d"), Numbers{3});
    EXPECT_EQ(scanNumbers("WKEY=2:abc;", "WKEY=%d:"), Numbers{2});
}

TEST(Scan, HugeNumbersSaturateInsteadOfWrapping) {
    EXPECT_EQ(scanNumbers("N=99999999999", "N=%d"), Numbers{INT_MAX});
    EXPECT_EQ(scanNumbers("N=-99999999999", "N=%d"), Numbers{INT_MIN});
    EXPECT_EQ(scanNumbers("N=-2147483648", "N=%d"), Numbers{INT_MIN});
}

}  // namespace
}  // namespace korvan
