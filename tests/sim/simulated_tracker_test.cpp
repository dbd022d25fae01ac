#include "sim/simulated_tracker.h"

#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "protocol/exchange.h"
#include "protocol/records.h"
#include "tests/support/sim_rig.h"

namespace korvan {
namespace {

using namespace std::chrono_literals;
using sim::SimulatedTracker;

class Tracker : public ::testing::Test {
  protected:
    testing::SimRig rig;

    SimulatedTracker& plugAndOpen(SimulatedTracker tracker) {
        auto& plugged = rig.bridge.plug(std::move(tracker));
        EXPECT_EQ(rig.link.openPort(), OpenOutcome::Opened);
        return plugged;
    }

    // Everything the tracker sends back for `command` (given as bytes).
    std::string ask(const std::string& command) {
        rig.link.commandText.formatCommand("%s", "");
        rig.link.commandText.appendCommandBytes(command);
        rig.link.purgePort();
        rig.link.sendCommand();
        std::vector<std::uint8_t> buffer(1024);
        rig.link.setEarlyCompletion(false);
        const auto got = rig.link.readPort(buffer);
        return std::string(buffer.begin(), buffer.begin() + static_cast<long>(got));
    }
};

// Every query and setting of the command set, with the exact length of the tracker's answer.
TEST_F(Tracker, AnswersEveryCommandWithItsExactLength) {
    auto& tracker = plugAndOpen(SimulatedTracker::configured());
    const std::string input(21, '\x7F');
    const std::string point(20, '\xFF');
    const std::pair<std::string, std::size_t> table[] = {
        {"FL_READ_VERSION$", 9},
        {"FL_GET_RATE$", 4},
        {"GSM_GET_PERIODSEND$", 4},
        {"FL_GET_ADD_R$", 2},
        {"FL_GET_COUNT_R$", 4},
        {"GSM_GET_PASSWORD$", 8},
        {"FL_GET_NDIST$", 7},
        {"FL_GET_MODE$", 6},
        {"FL_GET_WIDE$", 7},
        {"GSM_GET_SMS,1$", 5},
        {"GSM_GET_SMS,4$", 5},
        {"GSM_GET_CPOINT1$", 20},
        {"GSM_GET_CPOINT3$", 20},
        {"GSM_SET_SMS,2," + input + "$", 6},
        {"GSM_SET_SERNUM,90001$", 6},
        {"FL_CHANGE_WIDE,0$", 7},
        {"FL_SET_MODE,1$", 6},
        {"GSM_SET_CPOINT2," + point + "$", 6},
        {"FL_SET_RATE,30,0$", 4},
        {"GSM_SET_PERIODSEND,600$", 4},
        {"FL_SET_ADD_R,60$", 2},
        {"FL_SET_COUNT_R,-1673523696$", 4},
        {"GSM_SET_PASSWORD,abcdefgh$", 6},
        {"FL_CHANGE_NDIST,0$", 7},
        {"DEBUG_GET_PTR$", 4},
        {"DEBUG_LOG_SIZE$", 4},
        {"DEBUG_READ_LOG,0,250$", 250},
        {"DEBUG_CLEAR_LOG$", 9},
    };
    for (const auto& [command, length] : table) {
        EXPECT_EQ(ask(command).size(), length) << command;
    }
    // The Wi-Fi settings come back as their own text without the "$".
    for (std::string command :
         {"DHCP=0;$", "AUTH=1;$", "WFPOINT=Yard 7;$", "WKEY=2:0123456789abc;$", "DEVIP=10.0.0.9;$",
          "NETMASK=255.0.0.0;$", "DEFGW=10.0.0.1;$", "DEVMAC=00 50 25 00 27 10;$", "SERPORT=9000;$",
          "SERIP=10.1.2.3;$"}) {
        EXPECT_EQ(ask(command), command.substr(0, command.size() - 1));
    }
    // ... and read back as set.
    EXPECT_EQ(ask("GDHCP$"), "DHCP=0;");
    EXPECT_EQ(ask("GAUTH$"), "AUTH=1;");
    EXPECT_EQ(ask("GWFPOINT$"), "WFPOINT=Yard 7;");
    EXPECT_EQ(ask("GWKEY$"), "WKEY=2:0123456789abc;");
    EXPECT_EQ(ask("GDEVIP$"), "DEVIP=10.0.0.9;");
    EXPECT_EQ(ask("GNETMASK$"), "NETMASK=255.0.0.0;");
    EXPECT_EQ(ask("GDEFGW$"), "DEFGW=10.0.0.1;");
    EXPECT_EQ(ask("GSERPORT$"), "SERPORT=9000;");
    EXPECT_EQ(ask("GSERIP$"), "SERIP=10.1.2.3;");
    EXPECT_EQ(tracker.settings.mac, "00 50 25 00 27 10");
    EXPECT_EQ(ask("UNKNOWN$"), "");
}

TEST_F(Tracker, KeepsWhatTheSettingsCommandsWrite) {
    auto& tracker = plugAndOpen(SimulatedTracker::erased());
    InputRecord input{0x3E, InputRecord::analogValue(1023, 16)};
    const auto inputBytes = input.toBytes();
    std::string record(inputBytes.begin(), inputBytes.end());
    record[3] = '$';  // a "$" inside the record does not end the command
    EXPECT_EQ(ask("GSM_SET_SMS,3," + record + "$"), "SET_OK");
    EXPECT_EQ(ask("GSM_GET_SMS,3$"), record.substr(0, 5));
    EXPECT_EQ(ask("GSM_GET_SMS,1$"), std::string("EMPTY"));

    EXPECT_EQ(ask("FL_SET_RATE,30,0$"), std::string("\x1E\0\0\0", 4));
    EXPECT_EQ(ask("FL_GET_RATE$"), std::string("\x1E\0\0\0", 4));
    const std::string counters = ask("FL_SET_COUNT_R,-1673523696$");
    EXPECT_EQ(ask("FL_GET_COUNT_R$"), counters);
    EXPECT_EQ(tracker.settings.counterPeriods, 2621443600u);  // 3600 | 40000 << 16
    EXPECT_EQ(ask("GSM_SET_PASSWORD,Pa55word$"), "SET_OK");
    EXPECT_EQ(ask("GSM_GET_PASSWORD$"), "Pa55word");
    EXPECT_EQ(ask("FL_CHANGE_NDIST,0$"), "NDIST=0");
    EXPECT_EQ(ask("FL_GET_NDIST$"), "NDIST=0");
    EXPECT_EQ(ask("FL_CHANGE_WIDE,0$"), "RWIDE=0");
    EXPECT_EQ(ask("FL_GET_WIDE$"), "RWIDE=0");
    EXPECT_EQ(ask("FL_SET_MODE,0$"), "MODE=0");
    EXPECT_EQ(ask("FL_GET_MODE$"), "MODE=0");
    EXPECT_EQ(ask("GSM_SET_SERNUM,00007$"), "SET_OK");
    EXPECT_EQ(tracker.settings.serialNumber, "00007");
}

TEST_F(Tracker, ASettingNotKeptIsAnsweredAsTakenAndLeavesWhatItHeld) {
    auto& tracker = plugAndOpen(SimulatedTracker::configured());
    tracker.injectFault(
        {.kind = sim::Fault::Kind::NotKept, .command = "SERPORT=", .occurrence = 2});
    EXPECT_EQ(ask("SERPORT=9000;$"), "SERPORT=9000;");  // the first occurrence is kept
    EXPECT_EQ(tracker.settings.serverPort, "9000");
    EXPECT_EQ(ask("SERPORT=7000;$"), "SERPORT=7000;");  // answered as taken...
    EXPECT_EQ(tracker.settings.serverPort, "9000");     // ...and not kept
    EXPECT_EQ(ask("GSERPORT$"), "SERPORT=9000;");
    EXPECT_EQ(ask("SERPORT=7000;$"), "SERPORT=7000;");  // the fault was for one time
    EXPECT_EQ(tracker.settings.serverPort, "7000");

    tracker.injectFault({.kind = sim::Fault::Kind::NotKept, .command = "FL_SET_RATE,"});
    EXPECT_EQ(ask("FL_SET_RATE,42,0$"), std::string("\x2A\0\0\0", 4));
    EXPECT_EQ(tracker.settings.recordingPeriod, 10);
}

TEST_F(Tracker, AnErasedTrackerReportsEverythingUnset) {
    plugAndOpen(SimulatedTracker::erased());
    EXPECT_EQ(ask("FL_GET_RATE$"), std::string(4, '\xFF'));
    EXPECT_EQ(ask("GSM_GET_PERIODSEND$"), std::string(4, '\xFF'));
    EXPECT_EQ(ask("FL_GET_ADD_R$"), std::string(2, '\xFF'));
    EXPECT_EQ(ask("FL_GET_COUNT_R$"), std::string(4, '\xFF'));
    EXPECT_EQ(ask("GSM_GET_PASSWORD$"), std::string("EMPTY\0\0\0", 8));
    EXPECT_EQ(ask("GSM_GET_CPOINT2$"), std::string("EMPTY") + std::string(15, '\0'));
    EXPECT_EQ(ask("DEBUG_LOG_SIZE$"), std::string(4, '\0'));
}

TEST_F(Tracker, KeepsADebugLogWithItsSizeAndPointer) {
    auto& tracker = plugAndOpen(SimulatedTracker::configured());
    ASSERT_EQ(tracker.debugLog.size(), 600u);
    EXPECT_EQ(ask("DEBUG_LOG_SIZE$"), std::string("\x58\x02\0\0", 4));
    EXPECT_EQ(ask("DEBUG_GET_PTR$"), std::string("\x58\x02\0\x40", 4));
    // A block is whole: what the log holds, then the erased flash; past the area, short.
    const std::string block = ask("DEBUG_READ_LOG,500,250$");
    ASSERT_EQ(block.size(), 250u);
    EXPECT_EQ(static_cast<std::uint8_t>(block[0]), tracker.debugLog[500]);
    EXPECT_EQ(static_cast<std::uint8_t>(block[99]), tracker.debugLog[599]);
    EXPECT_EQ(block.substr(100), std::string(150, '\xFF'));
    EXPECT_EQ(ask("DEBUG_READ_LOG,4000,250$").size(), 96u);
    EXPECT_EQ(ask("DEBUG_CLEAR_LOG$").substr(0, 7), "CLEARED");
    EXPECT_EQ(ask("DEBUG_LOG_SIZE$"), std::string(4, '\0'));
    EXPECT_EQ(ask("DEBUG_GET_PTR$"), std::string("\0\0\0\x40", 4));
}

TEST_F(Tracker, RecordsEveryByteItReceives) {
    auto& tracker = plugAndOpen(SimulatedTracker::configured());
    ask("GDHCP$");
    ask(std::string("GSM_SET_CPOINT1,") + std::string(20, '\0') + "$");
    EXPECT_EQ(tracker.commands(), (std::vector<std::string>{
                                      "GDHCP$", "GSM_SET_CPOINT1," + std::string(20, '\0') + "$"}));
    EXPECT_EQ(tracker.received().size(), 6u + 37u);
}

TEST_F(Tracker, AMuteTrackerHearsEveryCommandAndAnswersNone) {
    auto& tracker = plugAndOpen(SimulatedTracker::muted());
    EXPECT_EQ(ask("FL_READ_VERSION$"), "");
    EXPECT_EQ(ask("GSM_SET_PASSWORD,abcdefgh$"), "");
    EXPECT_EQ(tracker.commands(),
              (std::vector<std::string>{"FL_READ_VERSION$", "GSM_SET_PASSWORD,abcdefgh$"}));
    EXPECT_EQ(tracker.received().size(), 16u + 26u);
    EXPECT_EQ(tracker.settings.password, "Fleet_07");  // a hung firmware stores nothing
}

TEST_F(Tracker, PulledOutAsTheThirdInputRecordArrives) {
    int changes = 0;
    rig.bridge.onDevicesChanged = [&] { ++changes; };
    plugAndOpen(SimulatedTracker::pulledOutDuringWrite());
    const std::string record(21, '\x7F');
    EXPECT_EQ(ask("GSM_SET_SMS,1," + record + "$"), "SET_OK");
    EXPECT_EQ(ask("GSM_SET_SMS,2," + record + "$"), "SET_OK");
    ASSERT_EQ(rig.bridge.attached(), 1u);

    EXPECT_EQ(ask("GSM_SET_SMS,3," + record + "$"), "");
    EXPECT_EQ(rig.bridge.attached(), 0u);
    EXPECT_EQ(changes, 2);
    std::array<std::uint8_t, 8> buffer{};
    std::size_t got = 0;
    EXPECT_EQ(rig.bridge.read(buffer, got), BridgeStatus::DeviceGone);
    std::size_t written = 0;
    EXPECT_EQ(rig.bridge.write(buffer, written), BridgeStatus::DeviceGone);
}

TEST_F(Tracker, SeveralAttachedTrackersListInOrderAndComeAndGo) {
    int changes = 0;
    rig.bridge.onDevicesChanged = [&] { ++changes; };
    rig.bridge.plug(SimulatedTracker::configured("90001"));
    rig.bridge.plug(SimulatedTracker("FT232R USB UART", "A5XK3RJT"));
    rig.bridge.plug(SimulatedTracker::erased("00007"));
    std::uint32_t count = 0;
    ASSERT_EQ(rig.bridge.deviceCount(count), BridgeStatus::Ok);
    EXPECT_EQ(count, 3u);
    std::string text;
    ASSERT_EQ(rig.bridge.description(1, text), BridgeStatus::Ok);
    EXPECT_EQ(text, "FT232R USB UART");
    ASSERT_EQ(rig.bridge.serialNumber(2, text), BridgeStatus::Ok);
    EXPECT_EQ(text, "00007");
    EXPECT_EQ(rig.bridge.description(3, text), BridgeStatus::DeviceNotFound);

    rig.bridge.unplug(0);
    ASSERT_EQ(rig.bridge.serialNumber(0, text), BridgeStatus::Ok);
    EXPECT_EQ(text, "A5XK3RJT");
    EXPECT_EQ(changes, 4);
}

TEST_F(Tracker, TakesTimeAsTheLineAndTheTrackerWould) {
    plugAndOpen(SimulatedTracker::configured());
    rig.link.commandText.formatCommand("FL_READ_VERSION$");
    const auto start = rig.clock.now();
    rig.link.purgePort();
    rig.link.sendCommand();
    std::vector<std::uint8_t> buffer(9);
    ASSERT_EQ(rig.link.readPort(buffer), 9u);
    // 1 ms USB frame, 16 command bytes, 2 ms processing, 9 reply bytes, 1 ms latency timer,
    // seen at the next 1 ms look.
    const auto took = rig.clock.now() - start;
    EXPECT_GE(took, 1ms + 160us + 2ms + 90us + 1ms);
    EXPECT_LE(took, 1ms + 160us + 2ms + 90us + 1ms + 1ms);
}

TEST_F(Tracker, HearsNothingOnALineSetUpOtherwise) {
    rig.bridge.plug(SimulatedTracker::configured());
    ASSERT_EQ(rig.bridge.open(0), BridgeStatus::Ok);
    ASSERT_EQ(rig.bridge.setDivisor(26), BridgeStatus::Ok);  // 115 200 baud
    ASSERT_EQ(rig.bridge.setDataCharacteristics(8, 0, 0), BridgeStatus::Ok);
    const std::string command = "FL_READ_VERSION$";
    std::size_t written = 0;
    rig.bridge.write({reinterpret_cast<const std::uint8_t*>(command.data()), command.size()},
                     written);
    rig.clock.sleepFor(100ms);
    std::array<std::uint8_t, 16> buffer{};
    std::size_t got = 0;
    ASSERT_EQ(rig.bridge.read(buffer, got), BridgeStatus::Ok);
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(rig.bridge.tracker(0).received().empty());
}

}  // namespace
}  // namespace korvan
