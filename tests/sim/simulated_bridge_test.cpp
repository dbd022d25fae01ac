#include "sim/simulated_bridge.h"

#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "link/link.h"

namespace korvan {
namespace {

using namespace std::chrono_literals;
using sim::SimulatedBridge;
using sim::SimulatedTracker;

// Sends the version query and reads its 9-byte reply, as the device worker does.
std::string askVersion(Link& link) {
    link.commandText.formatCommand("FL_READ_VERSION$");
    link.purgePort();
    link.sendCommand();
    std::vector<std::uint8_t> buffer(9);
    const auto got = link.readPort(buffer);
    return std::string(buffer.begin(), buffer.begin() + static_cast<long>(got));
}

TEST(BridgeAtWireSpeed, DeliversAReplyNoEarlierThanTheWireAllows) {
    SteadyClock clock;
    SimulatedBridge bridge(clock);
    Link link(bridge, clock);
    bridge.plug(SimulatedTracker::configured());
    ASSERT_EQ(link.openPort(), OpenOutcome::Opened);

    const auto start = clock.now();
    EXPECT_EQ(askVersion(link), "WIFI-1.05");
    // 1 ms USB frame, 16 command bytes, 2 ms processing, 9 reply bytes, 1 ms latency timer.
    EXPECT_GE(clock.now() - start, 1ms + 160us + 2ms + 90us + 1ms);
}

// The window plugs and unplugs other trackers while the worker talks to the first one.
TEST(BridgeAcrossThreads, PlugsAndUnplugsWhileTheWorkerReads) {
    SteadyClock clock;
    SimulatedBridge bridge(clock);
    std::atomic<int> changes = 0;
    bridge.onDevicesChanged = [&] { ++changes; };
    bridge.plug(SimulatedTracker::configured("90001"));

    std::atomic<bool> done = false;
    std::vector<std::string> replies;
    std::jthread worker([&] {
        Link link(bridge, clock);
        for (int i = 0; i < 10; ++i) {
            EXPECT_EQ(link.openPort(), OpenOutcome::Opened);
            replies.push_back(askVersion(link));
            link.closePort();
        }
        done = true;
    });
    int plugged = 0;
    while (!done) {
        bridge.plug(SimulatedTracker::erased("00007"));
        ++plugged;
        EXPECT_EQ(bridge.tracker(bridge.attached() - 1).usbSerial, "00007");
        bridge.unplug(1);
    }
    worker.join();

    EXPECT_EQ(replies, std::vector<std::string>(10, "WIFI-1.05"));
    EXPECT_EQ(bridge.attached(), 1u);
    EXPECT_EQ(changes, 1 + 2 * plugged);
}

TEST(BridgeAcrossThreads, PullingOutTheOpenTrackerEndsTheWorkersLink) {
    SteadyClock clock;
    SimulatedBridge bridge(clock);
    bridge.plug(SimulatedTracker::configured());

    std::promise<void> firstAsked;
    int asked = 0;
    int answered = 0;
    std::jthread worker([&] {
        Link link(bridge, clock);
        // Pulled out between opening and setting up the line, the setup fails; the worker
        // stops only once there is nothing left to open.
        for (OpenOutcome opened; (opened = link.openPort()) != OpenOutcome::NoDevice;) {
            if (opened != OpenOutcome::Opened) {
                continue;
            }
            answered += askVersion(link) == "WIFI-1.05" ? 1 : 0;
            if (++asked == 1) {
                firstAsked.set_value();
            }
        }
    });
    firstAsked.get_future().wait();
    bridge.unplug(0);
    worker.join();

    EXPECT_GE(answered, 1);
    std::array<std::uint8_t, 9> buffer{};
    std::size_t got = 0;
    EXPECT_EQ(bridge.read(buffer, got), BridgeStatus::Failed);  // the worker's link was closed
}

// Each handle holds a tracker of its own, as the provisioning line's workers do; the one
// pulled out ends its own link and no other.
TEST(BridgeHandles, OpenTrackersSideBySideAndLoseOnlyTheirOwn) {
    SteadyClock clock;
    SimulatedBridge bridge(clock);
    int changes = 0;
    bridge.onDevicesChanged = [&] { ++changes; };
    const std::array<std::string, 3> serials = {"90001", "90002", "90003"};
    for (const auto& serial : serials) {
        bridge.plug(SimulatedTracker::configured(serial));
    }
    std::vector<std::unique_ptr<Bridge>> handles;
    std::vector<std::unique_ptr<Link>> links;
    for (const auto& serial : serials) {
        handles.push_back(bridge.newHandle());
        ASSERT_NE(handles.back(), nullptr);
        links.push_back(std::make_unique<Link>(*handles.back(), clock));
        links.back()->setTarget(LinkTarget::serial(serial));
        ASSERT_EQ(links.back()->openPort(), OpenOutcome::Opened) << serial;
    }
    // A tracker another handle holds is refused, by serial and by place alike.
    Link intruder(bridge, clock);
    intruder.setTarget(LinkTarget::serial("90002"));
    EXPECT_EQ(intruder.openPort(), OpenOutcome::NoDevice);
    EXPECT_EQ(bridge.open(0), BridgeStatus::Failed);

    std::vector<std::string> replies(serials.size());
    {
        std::vector<std::jthread> workers;
        for (std::size_t i = 0; i < serials.size(); ++i) {
            workers.emplace_back([&, i] { replies[i] = askVersion(*links[i]); });
        }
    }
    EXPECT_EQ(replies, std::vector<std::string>(3, "WIFI-1.05"));

    // A handle's plug is every handle's, and the first bridge is told.
    EXPECT_TRUE(static_cast<SimulatedBridge&>(*handles[2]).unplugSerial("90002"));
    EXPECT_EQ(changes, 4);
    EXPECT_EQ(bridge.attachedSerials(), (std::vector<std::string>{"90001", "90003"}));
    EXPECT_EQ(askVersion(*links[1]), "");
    EXPECT_TRUE(links[1]->deviceGone());
    EXPECT_EQ(askVersion(*links[0]), "WIFI-1.05");
    EXPECT_EQ(askVersion(*links[2]), "WIFI-1.05");
    // Closed, a tracker may be opened through another handle.
    links[2]->closePort();
    intruder.setTarget(LinkTarget::serial("90003"));
    EXPECT_EQ(intruder.openPort(), OpenOutcome::Opened);
}

TEST(BridgeUnplugged, ATrackerPluggedInAgainKeepsWhatWasWrittenIntoIt) {
    VirtualClock clock;
    SimulatedBridge bridge(clock);
    EXPECT_FALSE(bridge.replug("90001"));  // never plugged in
    auto& tracker = bridge.plug(sim::SimulatedTracker::configured("90001"));
    tracker.settings.recordingPeriod = 42;
    tracker.debugLog.assign(10, 0x33);
    ASSERT_TRUE(bridge.unplugSerial("90001"));
    EXPECT_EQ(bridge.attached(), 0u);
    ASSERT_TRUE(bridge.replug("90001"));
    ASSERT_EQ(bridge.attached(), 1u);
    EXPECT_EQ(bridge.tracker(0).settings.recordingPeriod, 42);
    EXPECT_EQ(bridge.tracker(0).debugLog, std::vector<std::uint8_t>(10, 0x33));
    EXPECT_FALSE(bridge.replug("90001"));  // it is in already
}

}  // namespace
}  // namespace korvan
