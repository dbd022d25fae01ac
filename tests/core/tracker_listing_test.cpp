#include "core/tracker_listing.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "sim/simulated_bridge.h"

namespace korvan {
namespace {

TEST(TrackerListing, OnlyTheCommandLinesListOpensEveryDeviceForItsSerialString) {
    VirtualClock clock;
    sim::SimulatedBridge bridge{clock};
    bridge.plug(sim::SimulatedTracker("FT232R USB UART", "A10K3Z"));
    bridge.plug(sim::SimulatedTracker("Zentracor", "00042"));
    bridge.plug(sim::SimulatedTracker("VANTORIUM", "123456"));  // out of range
    const auto serialReads = [&] {
        return std::count(bridge.calls().begin(), bridge.calls().end(), "serialNumber");
    };

    const Listing window = listDevices(bridge);
    EXPECT_EQ(serialReads(), 2);  // reading a string opens the device for a moment
    ASSERT_EQ(window.devices.size(), 3u);
    EXPECT_TRUE(window.complete);
    EXPECT_EQ(window.devices[0].usbSerial, "");
    EXPECT_FALSE(window.devices[0].supported);
    EXPECT_TRUE(window.devices[1].tracker);
    EXPECT_TRUE(window.devices[2].supported);
    EXPECT_FALSE(window.devices[2].tracker);
    ASSERT_EQ(window.trackers().size(), 1u);
    EXPECT_EQ(window.trackers()[0]->serial, 42);

    bridge.clearCalls();
    const Listing line = listDevices(bridge, kTrackerDescriptions, ListedStrings::Every);
    EXPECT_EQ(serialReads(), 3);
    EXPECT_EQ(line.devices[0].usbSerial, "A10K3Z");
    EXPECT_FALSE(line.devices[0].tracker);
    EXPECT_EQ(line.trackers().size(), 1u);

    // A description that fails breaks the listing off there, for both.
    bridge.failNext(sim::BridgeCall::Description, BridgeStatus::Failed);
    const Listing broken = listDevices(bridge, kTrackerDescriptions, ListedStrings::Every);
    EXPECT_TRUE(broken.listed);
    EXPECT_TRUE(broken.broken);
    EXPECT_FALSE(broken.complete);
    EXPECT_TRUE(broken.devices.empty());
}

}  // namespace
}  // namespace korvan
