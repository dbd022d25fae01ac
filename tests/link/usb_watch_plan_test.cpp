#include "link/usb_watch_plan.h"

#include <gtest/gtest.h>

namespace korvan {
namespace {

using namespace std::chrono_literals;

TEST(UsbWatchPlan, AnArrivalIsLookedAtNowAndTwiceMoreLater) {
    UsbWatchPlan plan;
    EXPECT_FALSE(plan.due(0s));
    EXPECT_TRUE(plan.arrived(10s));
    EXPECT_EQ(plan.nextLook(), 11s);
    EXPECT_FALSE(plan.due(10500ms));
    EXPECT_TRUE(plan.due(11s));
    EXPECT_FALSE(plan.due(11s));  // given once
    EXPECT_EQ(plan.nextLook(), 13s);
    EXPECT_TRUE(plan.due(20s));
    EXPECT_EQ(plan.nextLook(), std::nullopt);
    EXPECT_FALSE(plan.due(30s));
}

TEST(UsbWatchPlan, ARemovalIsLookedAtOnce) {
    UsbWatchPlan plan;
    EXPECT_TRUE(plan.left(5s));
    EXPECT_EQ(plan.nextLook(), std::nullopt);
}

TEST(UsbWatchPlan, ListingsTellWhatCameAndWent) {
    UsbWatchPlan plan;
    const UsbDeviceId a{1, 4}, b{1, 7}, c{2, 3};
    EXPECT_FALSE(plan.listed({a}, 0s));    // the first listing is the start
    EXPECT_FALSE(plan.listed({a}, 1s));    // nothing changed
    EXPECT_TRUE(plan.listed({b, a}, 2s));  // b came
    EXPECT_EQ(plan.nextLook(), 3s);
    EXPECT_FALSE(plan.listed({a, b}, 2500ms));  // order does not matter
    EXPECT_TRUE(plan.listed({b}, 4s));          // a went: looked at, no later looks added
    EXPECT_EQ(plan.nextLook(), 3s);
    EXPECT_TRUE(plan.due(6s));  // both later looks fell due: one look
    EXPECT_EQ(plan.nextLook(), std::nullopt);
    EXPECT_TRUE(plan.listed({c}, 7s));  // one went, one came (a new address)
    EXPECT_EQ(plan.nextLook(), 8s);
}

}  // namespace
}  // namespace korvan
