#include "core/detection.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "sim/simulated_bridge.h"
#include "tests/support/temp_folder.h"

namespace korvan {
namespace {

using namespace std::chrono_literals;
using sim::SimulatedTracker;
using testing::ansi;

class Detection : public ::testing::Test {
  protected:
    VirtualClock clock;
    sim::SimulatedBridge bridge{clock};
    FieldModel model;
    std::vector<std::string> readsOf;  // the serial shown at each read
    std::vector<std::string> usbSerialsRead;
    int failingReads = 0;
    bool cancelAfterRead = false;
    bool cancelled = false;
    std::vector<std::string> descriptions = kTrackerDescriptions;

    void SetUp() override {
        model.deviceMac = {0x00, 0x50, 0x25, 0, 0, 0};
        model.showMac(0);
    }
    void detect() {
        const auto read = [this](const DetectedTracker& tracker) {
            char shown[8];
            std::snprintf(shown, sizeof shown, "%05d", tracker.serial);
            readsOf.push_back(shown);
            usbSerialsRead.push_back(tracker.usbSerial);
            ReadOutcome outcome;
            outcome.ending = failingReads-- <= 0 ? Ending::Done : Ending::Failed;
            if (cancelAfterRead) {
                cancelled = true;
                outcome.ending = Ending::Cancelled;
            }
            return outcome;
        };
        const auto outcome =
            detectTrackers(bridge, clock, model.currentSerial,
                           {read, {}, [this] { return cancelled; }, descriptions, {}});
        applyDetection(model, outcome, [](const ReadOutcome&) {});
    }
};

TEST_F(Detection, ANewTrackerIsShownReadAndMadeWritable) {
    bridge.plug(SimulatedTracker::configured("7"));
    model.setEnabled(Field::WriteButton, false);
    detect();
    EXPECT_EQ(model.text(Field::SerialNumber), "00007");
    EXPECT_EQ(model.currentSerial, 7);
    EXPECT_EQ(model.text(Field::MacAddress), "00 50 25 FE A0 78");
    EXPECT_EQ(readsOf, std::vector<std::string>{"00007"});
    EXPECT_TRUE(model.enabled(Field::WriteButton));

    detect();  // the same device again: nothing is read
    EXPECT_EQ(readsOf.size(), 1u);
}

TEST_F(Detection, AFailingReadIsTriedFiveTimesASecondApart) {
    bridge.plug(SimulatedTracker::configured("90001"));
    model.setEnabled(Field::WriteButton, false);
    failingReads = 100;
    const auto start = clock.now();
    detect();
    EXPECT_EQ(readsOf.size(), 5u);
    EXPECT_EQ(clock.now() - start, 5000ms);
    EXPECT_FALSE(model.enabled(Field::WriteButton));
    EXPECT_EQ(model.text(Field::SerialNumber), "90001");  // still shown

    bridge.plug(SimulatedTracker::configured("90002"));
    readsOf.clear();
    failingReads = 2;
    detect();
    EXPECT_EQ(readsOf.size(), 3u);
    EXPECT_TRUE(model.enabled(Field::WriteButton));
}

TEST_F(Detection, ACancelEndsTheTriesAndThePassAtOnce) {
    bridge.plug(SimulatedTracker::configured("90001"));
    bridge.plug(SimulatedTracker::configured("90002"));
    failingReads = 100;
    cancelAfterRead = true;
    model.setEnabled(Field::WriteButton, true);  // as the tracker read before left it
    const auto start = clock.now();
    detect();
    EXPECT_FALSE(model.enabled(Field::WriteButton));  // no write of fields it did not fill
    EXPECT_EQ(readsOf, std::vector<std::string>{"90001"});
    EXPECT_EQ(clock.now() - start, 0ms);    // no pause after the cancelled try
    EXPECT_EQ(model.currentSerial, 90001);  // the second tracker was not taken up
}

TEST_F(Detection, OnlySupportedTrackersWithSerialsInRangeCount) {
    bridge.plug(SimulatedTracker("FT232R USB UART", "12345"));
    bridge.plug(SimulatedTracker("zentracor", "12346"));
    bridge.plug(SimulatedTracker("VANTORIUM", "123456"));
    detect();
    EXPECT_TRUE(readsOf.empty());
    EXPECT_EQ(model.text(Field::SerialNumber), ansi("Номер"));
    EXPECT_FALSE(model.enabled(Field::WriteButton));

    bridge.plug(SimulatedTracker("VANTORIUM", "  00042xyz"));
    detect();
    EXPECT_EQ(readsOf, std::vector<std::string>{"00042"});
}

TEST_F(Detection, TheDescriptionsTakenForATrackerAreDetectionsParameter) {
    bridge.plug(SimulatedTracker("QEMU USB SERIAL", "00042"));
    detect();
    EXPECT_TRUE(readsOf.empty());  // the shipped list knows only the trackers' own names

    descriptions.push_back("QEMU USB SERIAL");
    detect();
    EXPECT_EQ(readsOf, std::vector<std::string>{"00042"});
    // The trackers' own names stay accepted beside the added one.
    bridge.plug(SimulatedTracker("Zentracor", "00043"));
    readsOf.clear();
    model.currentSerial = 0;
    detect();
    EXPECT_EQ(readsOf, (std::vector<std::string>{"00042", "00043"}));
}

TEST_F(Detection, TwoTrackersAreEachShownAndReadInListingOrder) {
    bridge.plug(SimulatedTracker::configured("90001"));
    bridge.plug(SimulatedTracker::configured("90002"));
    detect();
    EXPECT_EQ(readsOf, (std::vector<std::string>{"90001", "90002"}));
    EXPECT_EQ(model.currentSerial, 90002);
}

TEST_F(Detection, AnOutOfRangeSerialHidesTheDeviceButKeepsTheLastOne) {
    bridge.plug(SimulatedTracker::configured("90001"));
    detect();
    bridge.unplug(0);
    bridge.plug(SimulatedTracker("Zentracor", "0"));
    detect();
    EXPECT_EQ(model.text(Field::SerialNumber), ansi("Номер"));
    EXPECT_EQ(model.currentSerial, 90001);
}

TEST_F(Detection, PullingOutTheLastDeviceForgetsItButKeepsItsAddress) {
    bridge.plug(SimulatedTracker::configured("90001"));
    detect();
    model.setText(Field::FirmwareVersion, "Ver. 1.5");
    bridge.unplug(0);
    detect();
    EXPECT_EQ(model.currentSerial, 0);
    EXPECT_EQ(model.text(Field::SerialNumber), ansi("Номер"));
    EXPECT_EQ(model.text(Field::FirmwareVersion), ansi("Прошивка"));
    EXPECT_FALSE(model.enabled(Field::WriteButton));
    EXPECT_EQ(model.text(Field::MacAddress), "00 50 25 00 00 02");

    bridge.plug(SimulatedTracker::configured("90001"));
    detect();
    EXPECT_EQ(readsOf.size(), 2u);  // plugged in again: read again
}

TEST_F(Detection, AFailedListingChangesNothing) {
    bridge.plug(SimulatedTracker::configured("90001"));
    detect();
    bridge.failNext(sim::BridgeCall::DeviceCount, BridgeStatus::Failed);
    detect();
    EXPECT_EQ(model.currentSerial, 90001);
    EXPECT_EQ(model.text(Field::SerialNumber), "90001");

    // A description that cannot be read ends the pass; a serial that cannot be read skips one.
    bridge.plug(SimulatedTracker::configured("90003"));
    bridge.failNext(sim::BridgeCall::Description, BridgeStatus::Failed);
    detect();
    EXPECT_EQ(model.currentSerial, 90001);
    bridge.failNext(sim::BridgeCall::SerialNumber, BridgeStatus::Failed);
    detect();
    EXPECT_EQ(model.currentSerial, 90003);
    // The serial of the one tracker left cannot be read once: it is not taken for gone.
    bridge.unplug(0);
    detect();
    ASSERT_EQ(model.currentSerial, 90003);
    bridge.failNext(sim::BridgeCall::SerialNumber, BridgeStatus::Failed);
    detect();
    EXPECT_EQ(model.currentSerial, 90003);
    EXPECT_EQ(model.text(Field::SerialNumber), "90003");
    EXPECT_EQ(usbSerialsRead, (std::vector<std::string>{"90001", "90003"}));
}

TEST_F(Detection, ARefusedAccessIsToldAndTheDevicesAfterItAreStillLookedAt) {
    // A device the system will not let us read comes first: the tracker after it is found,
    // and the refusal is told whichever string it hit.
    for (auto call : {sim::BridgeCall::Description, sim::BridgeCall::SerialNumber}) {
        bridge.plug(SimulatedTracker::configured("90001"));
        bridge.plug(SimulatedTracker::configured("90002"));
        bridge.failNext(call, BridgeStatus::AccessDenied);
        detect();
        EXPECT_EQ(model.currentSerial, 90002);
        EXPECT_EQ(model.text(Field::StatusLine),
                  ansi("Нет доступа к USB: нужно правило udev из пакета korvan"));
        EXPECT_EQ(model.statusColour(), StatusColour::Red);
        bridge.unplug(0);
        bridge.unplug(0);
        detect();
        EXPECT_EQ(model.currentSerial, 0);
    }
}

TEST_F(Detection, WithTwoTrackersTheStatusLineSaysWhichOneTheWindowShows) {
    bridge.plug(SimulatedTracker::configured("90001"));
    bridge.plug(SimulatedTracker::configured("90002"));
    model.setStatusColour(StatusColour::Black);
    detect();
    EXPECT_EQ(model.text(Field::SerialNumber), "90002");
    EXPECT_EQ(model.text(Field::StatusLine), ansi("Подключено трекеров: 2. В окне трекер 90002"));
    EXPECT_EQ(usbSerialsRead, (std::vector<std::string>{"90001", "90002"}));

    // The tracker shown goes, a device that is no tracker stays: nothing is shown any more.
    bridge.unplug(1);
    bridge.unplug(0);
    auto& other = bridge.plug(SimulatedTracker::configured("90005"));
    other.usbDescription = "FT232R USB UART";
    detect();
    EXPECT_EQ(model.currentSerial, 0);
    EXPECT_EQ(model.text(Field::SerialNumber), ansi("Номер"));
    EXPECT_FALSE(model.enabled(Field::WriteButton));
}

}  // namespace
}  // namespace korvan
