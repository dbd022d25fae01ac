#include "link/link.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "link/ftdi_bridge.h"
#include "tests/support/sim_rig.h"
#include "tests/support/wire_tap.h"

namespace korvan {
namespace {

using namespace std::chrono_literals;
using sim::BridgeCall;
using sim::Fault;
using sim::SimulatedTracker;
using Calls = std::vector<std::string>;

class LinkTest : public ::testing::Test {
  protected:
    testing::SimRig rig;
    SimulatedTracker& tracker = rig.bridge.plug(SimulatedTracker::configured());

    // Sends `command` on an open link and reads up to `asked` bytes.
    std::string exchange(const char* command, std::size_t asked, ReplyCompletion completion = {}) {
        rig.link.commandText.formatCommand("%s", command);
        rig.link.purgePort();
        rig.link.sendCommand();
        std::vector<std::uint8_t> buffer(asked);
        const auto got = rig.link.readPort(buffer, completion);
        return std::string(buffer.begin(), buffer.begin() + static_cast<long>(got));
    }
};

TEST_F(LinkTest, OpensTheFirstDeviceWithTheTrackersLineSettings) {
    ASSERT_EQ(rig.link.openPort(), OpenOutcome::Opened);
    EXPECT_EQ(rig.bridge.calls(),
              (Calls{"open", "setDivisor", "setTimeouts", "setDataCharacteristics",
                     "setFlowControl", "setLatencyTimer"}));
    // Only with these settings does the tracker understand the line.
    EXPECT_EQ(exchange("FL_READ_VERSION$", 9), "WIFI-1.05");
    rig.bridge.clearCalls();
    rig.link.closePort();
    EXPECT_EQ(rig.bridge.calls(), (Calls{"reset", "close"}));
    EXPECT_FALSE(rig.link.isOpen());
}

TEST_F(LinkTest, AFailedOpenClosesNothing) {
    rig.bridge.unplug(0);
    EXPECT_EQ(rig.link.openPort(), OpenOutcome::NoDevice);
    rig.bridge.failNext(BridgeCall::Open, BridgeStatus::AccessDenied);
    EXPECT_EQ(rig.link.openPort(), OpenOutcome::NoPermission);
    EXPECT_EQ(rig.bridge.calls(), (Calls{"open", "open"}));
    EXPECT_FALSE(rig.link.isOpen());
}

TEST_F(LinkTest, AFailedSetupStepClosesTheDeviceAndSkipsTheRest) {
    const std::pair<BridgeCall, Calls> cases[] = {
        {BridgeCall::SetDivisor, {"open", "setDivisor", "reset", "close"}},
        {BridgeCall::SetTimeouts, {"open", "setDivisor", "setTimeouts", "reset", "close"}},
        {BridgeCall::SetDataCharacteristics,
         {"open", "setDivisor", "setTimeouts", "setDataCharacteristics", "reset", "close"}},
        {BridgeCall::SetFlowControl,
         {"open", "setDivisor", "setTimeouts", "setDataCharacteristics", "setFlowControl", "reset",
          "close"}},
        {BridgeCall::SetLatencyTimer,
         {"open", "setDivisor", "setTimeouts", "setDataCharacteristics", "setFlowControl",
          "setLatencyTimer", "reset", "close"}},
    };
    for (const auto& [failing, expected] : cases) {
        rig.bridge.clearCalls();
        rig.bridge.failNext(failing, BridgeStatus::Failed);
        EXPECT_EQ(rig.link.openPort(), OpenOutcome::SetupFailed);
        EXPECT_EQ(rig.bridge.calls(), expected);
        EXPECT_FALSE(rig.link.isOpen());
    }
    // The device is free again afterwards.
    EXPECT_EQ(rig.link.openPort(), OpenOutcome::Opened);
}

TEST_F(LinkTest, ALinkLeftOpenIsClosedWhenItGoes) {
    {
        Link scoped(rig.bridge, rig.clock);
        ASSERT_EQ(scoped.openPort(), OpenOutcome::Opened);
        rig.bridge.clearCalls();
    }
    EXPECT_EQ(rig.bridge.calls(), (Calls{"reset", "close"}));
}

TEST_F(LinkTest, AReadReturnsAsSoonAsTheCountIsIn) {
    ASSERT_EQ(rig.link.openPort(), OpenOutcome::Opened);
    const auto start = rig.clock.now();
    EXPECT_EQ(exchange("FL_READ_VERSION$", 9), "WIFI-1.05");
    EXPECT_LT(rig.elapsedSince(start), 10ms);
}

TEST_F(LinkTest, AShortOrMissingReplyWaitsOutTheReadTimeout) {
    ASSERT_EQ(rig.link.openPort(), OpenOutcome::Opened);
    auto start = rig.clock.now();
    EXPECT_EQ(exchange("FL_READ_VERSION$", 12), "WIFI-1.05");
    EXPECT_EQ(rig.elapsedSince(start), 500ms);
    start = rig.clock.now();
    EXPECT_EQ(exchange("NOT_A_COMMAND$", 4), "");
    EXPECT_EQ(rig.elapsedSince(start), 500ms);
}

TEST_F(LinkTest, AWifiValueEndsAtItsSemicolonAndAWifiTextOnceTheLineIsQuietAfterIt) {
    ASSERT_EQ(rig.link.openPort(), OpenOutcome::Opened);
    const auto timed = [this](const char* command, std::size_t asked, ReplyCompletion completion,
                              const char* expected) {
        const auto start = rig.clock.now();
        EXPECT_EQ(exchange(command, asked, completion), expected);
        return rig.clock.now() - start;
    };
    // Asked for exactly its length, the reply ends as its last byte comes in.
    const auto exact = timed("GDHCP$", 7, {}, "DHCP=1;");
    // A value that cannot hold ";" is whole at its ";": not a moment later.
    EXPECT_EQ(timed("GDHCP$", 8, ReplyCompletion::wifiValue(), "DHCP=1;"), exact);
    // A text that may hold ";" waits for the idle gap after it, and no poll longer.
    const auto text = timed("GDHCP$", 8, ReplyCompletion::wifiText(), "DHCP=1;");
    EXPECT_GE(text, exact + Link::kIdleGap);
    EXPECT_LE(text, exact + Link::kIdleGap + Link::kPollInterval);

    rig.link.setEarlyCompletion(false);  // count or timeout: the whole timeout
    for (auto completion : {ReplyCompletion::wifiValue(), ReplyCompletion::wifiText()}) {
        EXPECT_EQ(timed("GDHCP$", 8, completion, "DHCP=1;"), 500ms);
    }
}

TEST_F(LinkTest, EarlyCompletionNeverCutsASplitReply) {
    ASSERT_EQ(rig.link.openPort(), OpenOutcome::Opened);
    tracker.settings.accessPoint = "Yard;Gate;7";  // semicolons inside the name
    // A pause shorter than the idle gap anywhere, even right after a ";": the longest the
    // bridge can leave the host without bytes in the middle of a reply, and a little more.
    for (auto pause : {Link::kLongestSilenceInAReply, Link::kIdleGap - Link::kPollInterval}) {
        for (std::size_t at : {1u, 5u, 13u, 14u, 18u}) {
            tracker.injectFault({.kind = Fault::Kind::SplitReply,
                                 .command = "GWFPOINT$",
                                 .keep = at,
                                 .pause = pause});
            EXPECT_EQ(exchange("GWFPOINT$", 44, ReplyCompletion::wifiText()),
                      "WFPOINT=Yard;Gate;7;")
                << "pause of " << pause.count() << " us after " << at;
        }
    }
    // A pause longer than the gap anywhere but right after a ";".
    for (std::size_t at : {1u, 9u, 12u, 19u}) {
        tracker.injectFault(
            {.kind = Fault::Kind::SplitReply, .command = "GWFPOINT$", .keep = at, .pause = 300ms});
        EXPECT_EQ(exchange("GWFPOINT$", 44, ReplyCompletion::wifiText()), "WFPOINT=Yard;Gate;7;")
            << "pause after " << at;
    }
    // Right after a ";", the idle gap is where the text ends.
    tracker.injectFault({.kind = Fault::Kind::SplitReply,
                         .command = "GWFPOINT$",
                         .keep = 13,
                         .pause = Link::kIdleGap + Link::kPollInterval});
    EXPECT_EQ(exchange("GWFPOINT$", 44, ReplyCompletion::wifiText()), "WFPOINT=Yard;");
}

TEST_F(LinkTest, AReplyOfKnownLengthEndsOnceItIsInAndTheLineIsQuiet) {
    ASSERT_EQ(rig.link.openPort(), OpenOutcome::Opened);
    auto start = rig.clock.now();
    const std::string size = exchange("DEBUG_LOG_SIZE$", 1024, ReplyCompletion::expectedLength(4));
    EXPECT_EQ(size.size(), 4u);
    EXPECT_LT(rig.elapsedSince(start), 40ms);

    // More than expected keeps coming: the read goes on until the line is quiet.
    tracker.injectFault(
        {.kind = Fault::Kind::WrongReply, .command = "DEBUG_LOG_SIZE$", .replacement = "12345"});
    tracker.injectFault({.kind = Fault::Kind::SplitReply,
                         .command = "DEBUG_LOG_SIZE$",
                         .keep = 4,
                         .pause = Link::kIdleGap - Link::kPollInterval});
    EXPECT_EQ(exchange("DEBUG_LOG_SIZE$", 1024, ReplyCompletion::expectedLength(4)), "12345");

    rig.link.setEarlyCompletion(false);
    start = rig.clock.now();
    EXPECT_EQ(exchange("DEBUG_LOG_SIZE$", 1024, ReplyCompletion::expectedLength(4)).size(), 4u);
    EXPECT_EQ(rig.elapsedSince(start), 500ms);
}

TEST_F(LinkTest, PurgingDropsAStaleReplyButNotOneStillOnItsWay) {
    ASSERT_EQ(rig.link.openPort(), OpenOutcome::Opened);
    rig.link.commandText.formatCommand("FL_READ_VERSION$");
    rig.link.sendCommand();
    rig.clock.sleepFor(50ms);  // the reply now waits in the bridge
    EXPECT_EQ(exchange("FL_GET_NDIST$", 7), "NDIST=1");
}

TEST_F(LinkTest, AnUnpluggedTrackerEndsReadsAtOnce) {
    // The libftdi1 backend says only "failed" where the simulated one says "gone".
    for (auto said : {BridgeStatus::DeviceGone, BridgeStatus::Failed}) {
        testing::SimRig rig;
        rig.bridge.setUnpluggedStatus(said);
        auto& plugged = rig.bridge.plug(SimulatedTracker::configured());
        ASSERT_EQ(rig.link.openPort(), OpenOutcome::Opened);
        plugged.injectFault({.kind = Fault::Kind::Unplug, .command = "GDHCP$"});
        const auto start = rig.clock.now();
        rig.link.commandText.formatCommand("GDHCP$");
        rig.link.sendCommand();
        std::uint8_t reply[8];
        EXPECT_EQ(rig.link.readPort(reply), 0u);
        EXPECT_LT(rig.elapsedSince(start), 5ms);
        EXPECT_TRUE(rig.link.deviceGone());
        EXPECT_TRUE(rig.link.interrupted());
        EXPECT_EQ(rig.bridge.attached(), 0u);
        rig.link.closePort();
        EXPECT_EQ(rig.link.openPort(), OpenOutcome::NoDevice);
        EXPECT_FALSE(rig.link.deviceGone());
    }
}

TEST_F(LinkTest, TheFirstFailedCallOfAnyKindMarksTheDeviceGoneAndNothingIsSentAfterIt) {
    for (auto call : {sim::BridgeCall::Purge, sim::BridgeCall::Write, sim::BridgeCall::Read}) {
        SCOPED_TRACE(static_cast<int>(call));
        testing::WireTap wire(rig.bridge);
        Link link(wire, rig.clock);
        ASSERT_EQ(link.openPort(), OpenOutcome::Opened);
        ASSERT_FALSE(link.deviceGone());
        rig.bridge.failNext(call, BridgeStatus::Failed);
        for (int exchange = 0; exchange < 2; ++exchange) {
            link.purgePort();
            link.commandText.formatCommand("FL_GET_NDIST$");
            link.sendCommand();
            std::uint8_t reply[7];
            link.readPort(reply);
        }
        EXPECT_TRUE(link.deviceGone());
        // Only a write that itself failed went out; nothing after the failure.
        EXPECT_EQ(wire.sent().size(), call == sim::BridgeCall::Purge ? 0u : 1u);
        link.closePort();
    }
}

TEST_F(LinkTest, OpensTheDeviceItIsPointedAtOrNothing) {
    auto& second = rig.bridge.plug(SimulatedTracker::configured("90002"));
    rig.link.setTarget(LinkTarget::serial("90002"));
    ASSERT_EQ(rig.link.openPort(), OpenOutcome::Opened);
    EXPECT_EQ(exchange("FL_GET_NDIST$", 7), "NDIST=1");
    EXPECT_EQ(second.commands().size(), 1u);
    EXPECT_TRUE(tracker.commands().empty());
    rig.link.closePort();

    rig.link.setTarget(LinkTarget::serial("9000"));  // a serial is matched whole
    EXPECT_EQ(rig.link.openPort(), OpenOutcome::NoDevice);
    rig.link.setTarget(LinkTarget::nothing());
    EXPECT_EQ(rig.link.openPort(), OpenOutcome::NoDevice);
    EXPECT_FALSE(rig.link.isOpen());
}

}  // namespace
}  // namespace korvan

namespace korvan {
namespace {

// No FTDI device is attached where the tests run: the real backend must say so and leave
// nothing to close.
TEST(FtdiBridge, WithoutADeviceNothingOpens) {
    FtdiBridge bridge;
    VirtualClock clock;
    std::uint32_t count = 99;
    const auto listed = bridge.deviceCount(count);
    EXPECT_TRUE(listed != BridgeStatus::Ok || count == 0);
    Link link(bridge, clock);
    EXPECT_EQ(link.openPort(), OpenOutcome::NoDevice);
    EXPECT_FALSE(link.isOpen());
    EXPECT_EQ(bridge.close(), BridgeStatus::Failed);  // nothing was opened
}

}  // namespace
}  // namespace korvan
