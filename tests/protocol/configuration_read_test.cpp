#include "protocol/configuration_read.h"

#include <gtest/gtest.h>

#include <span>
#include <string>
#include <utility>
#include <vector>

#include "link/link_observer.h"
#include "settings/settings_file.h"
#include "tests/protocol/expected_rows.h"
#include "tests/support/form_operations.h"
#include "tests/support/sim_rig.h"
#include "tests/support/temp_folder.h"

namespace korvan {
namespace {

using namespace std::chrono_literals;
using sim::Fault;
using sim::SimulatedTracker;
using testing::ansi;
using Commands = std::vector<std::string>;

class Read : public ::testing::Test {
  protected:
    testing::SimRig rig;
    FieldModel model;

    SimulatedTracker& plug(SimulatedTracker tracker) { return rig.bridge.plug(std::move(tracker)); }
    bool read() { return testing::readIntoForm(rig.link, model); }
    int count(const char* call) const {
        return static_cast<int>(
            std::count(rig.bridge.calls().begin(), rig.bridge.calls().end(), call));
    }
    void expectClosed() {
        EXPECT_FALSE(rig.link.isOpen());
        EXPECT_EQ(count("open"), count("close"));
    }
};

TEST_F(Read, EachCounterPeriodIsItsOwnHalfOfTheWordWhateverItsTopBit) {
    auto& tracker = plug(SimulatedTracker::configured());
    // Both halves with their top bit set, and neither all ones (an erased word).
    tracker.settings.counterPeriods = 0xFFFE8001u;
    ASSERT_TRUE(read());
    EXPECT_EQ(model.text(Field::CounterPeriod12), "32769");
    EXPECT_EQ(model.text(Field::CounterPeriod34), "65534");
    tracker.settings.counterPeriods = 0x0001FFFFu;
    ASSERT_TRUE(read());
    EXPECT_EQ(model.text(Field::CounterPeriod12), "65535");
    EXPECT_EQ(model.text(Field::CounterPeriod34), "1");
}

TEST_F(Read, AConfiguredTrackerFillsEveryField) {
    auto& tracker = plug(SimulatedTracker::configured());
    model.setText(Field::Point2LatitudeFraction, "12");
    ASSERT_TRUE(read());
    EXPECT_EQ(tracker.commands(), expected::kDhcpQueries);
    expectClosed();
    EXPECT_EQ(model.statusColour(), StatusColour::Black);
    EXPECT_EQ(model.text(Field::StatusLine), ansi("Данные успешно считаны из устройства"));
    EXPECT_EQ(model.statusFont(), StatusFont::Pixels21);

    EXPECT_EQ(model.text(Field::FirmwareVersion), "Ver. 1.5");
    EXPECT_EQ(model.firmwareVersion, 105);
    EXPECT_EQ(model.text(Field::RecordingPeriod), "10");
    EXPECT_EQ(model.text(Field::SendingPeriod), "300");
    EXPECT_EQ(model.text(Field::AnalogPollPeriod), "600");
    EXPECT_EQ(model.text(Field::CounterPeriod12), "3600");
    EXPECT_EQ(model.text(Field::CounterPeriod34), "0");
    EXPECT_EQ(model.text(Field::ServerPassword), "Fleet_07");
    EXPECT_EQ(model.itemIndex(Field::RecordingMethod), 0);
    EXPECT_EQ(model.text(Field::RecordingPeriodCaption), ansi("Период записи точек (сек):"));
    EXPECT_FALSE(model.checked(Field::StaticProcessing));
    EXPECT_TRUE(model.checked(Field::WideRecording));
    // Input 1 ordinary, sending over Wi-Fi; input 2 a counter; 3 and 4 ordinary.
    EXPECT_TRUE(model.checked(Field::InputSendsAtOnce1));
    EXPECT_TRUE(model.checked(Field::InputOrdinary1));
    EXPECT_EQ(model.text(Field::AnalogThreshold1), "1023");
    EXPECT_EQ(model.text(Field::AnalogAveraging1), "16");
    EXPECT_EQ(model.itemIndex(Field::AnalogRecordingMethod), 1);
    EXPECT_FALSE(model.checked(Field::AnalogAsDigital1));
    EXPECT_TRUE(model.checked(Field::InputAccumulating2));
    EXPECT_FALSE(model.checked(Field::InputSendsAtOnce2));
    EXPECT_TRUE(model.checked(Field::InputOrdinary4));
    // Control point 1 as stored; points 2 and 3 "EMPTY" keep their fields, fractions padded.
    EXPECT_EQ(model.text(Field::Point1LatitudeHemisphere), "S");
    EXPECT_EQ(model.text(Field::Point1LatitudeDegrees), "55");
    EXPECT_EQ(model.text(Field::Point1LatitudeMinutes), "9");
    EXPECT_EQ(model.text(Field::Point1LatitudeFraction), "01230");
    EXPECT_EQ(model.text(Field::Point1LongitudeHemisphere), "E");
    EXPECT_EQ(model.text(Field::Point1LongitudeDegrees), "37");
    EXPECT_EQ(model.text(Field::Point1LongitudeFraction), "50000");
    EXPECT_EQ(model.text(Field::Point1Radius), "150");
    EXPECT_TRUE(model.checked(Field::Point1SendOnEntry));
    EXPECT_FALSE(model.checked(Field::Point1OutputOnExit));
    EXPECT_EQ(model.text(Field::Point1OnTime), "5");
    EXPECT_TRUE(model.enabled(Field::Point1OnTime));
    EXPECT_EQ(model.text(Field::Point2LatitudeFraction), "00012");
    EXPECT_EQ(model.text(Field::Point3LongitudeFraction), "00000");
    // The Wi-Fi module.
    EXPECT_TRUE(model.checked(Field::AutomaticAddress));
    EXPECT_EQ(model.itemIndex(Field::Authentication), 0);
    EXPECT_EQ(model.text(Field::ServerAddress), "192.0.2.10");
    EXPECT_EQ(model.text(Field::ServerPort), "2224");
    EXPECT_TRUE(model.checked(Field::WepEncryption));
    EXPECT_TRUE(model.checked(Field::Key64Bit));
    EXPECT_EQ(model.text(Field::NetworkKey), "k3y05");
    EXPECT_TRUE(model.enabled(Field::NetworkKey));
    EXPECT_EQ(model.text(Field::AccessPoint), "Depot-North");
}

TEST_F(Read, AFixedAddressIsReadBackWithItsMaskAndGateway) {
    auto& tracker = plug(SimulatedTracker::configured());
    tracker.settings.dhcp = 0;
    tracker.settings.deviceIp = "10.1.1.7";
    tracker.settings.netmask = "255.255.0.0";
    tracker.settings.gateway = "10.1.0.1";
    tracker.settings.authentication = 1;
    tracker.settings.keyMode = 2;
    tracker.settings.key = "0123456789abc";
    ASSERT_TRUE(read());
    Commands expected = expected::kDhcpQueries;
    expected.insert(expected.begin() + 20, {"GDEVIP$", "GNETMASK$", "GDEFGW$"});
    EXPECT_EQ(tracker.commands(), expected);
    EXPECT_TRUE(model.checked(Field::FixedAddress));
    EXPECT_TRUE(model.enabled(Field::DeviceAddress));
    EXPECT_EQ(model.text(Field::DeviceAddress), "10.1.1.7");
    EXPECT_EQ(model.text(Field::Netmask), "255.255.0.0");
    EXPECT_EQ(model.text(Field::Gateway), "10.1.0.1");
    EXPECT_EQ(model.itemIndex(Field::Authentication), 1);
    EXPECT_TRUE(model.checked(Field::Key128Bit));
    EXPECT_EQ(model.maxLength(Field::NetworkKey), 13);
    EXPECT_EQ(model.text(Field::NetworkKey), "0123456789abc");
}

TEST_F(Read, NoEncryptionLeavesTheKeyAsItWas) {
    auto& tracker = plug(SimulatedTracker::configured());
    tracker.settings.keyMode = 0;
    model.setChecked(Field::WepEncryption, true);
    model.setText(Field::NetworkKey, "old12");
    ASSERT_TRUE(read());
    EXPECT_TRUE(model.checked(Field::NoEncryption));
    EXPECT_FALSE(model.enabled(Field::NetworkKey));
    EXPECT_EQ(model.text(Field::NetworkKey), "old12");
}

TEST_F(Read, AnErasedTrackerLeavesTheFieldsAndSaysItIsNotConfigured) {
    plug(SimulatedTracker::erased());
    model.setText(Field::RecordingPeriod, "7");
    model.setText(Field::ServerPassword, "keepthis");
    model.setText(Field::Point1LatitudeDegrees, "12");
    ASSERT_TRUE(read());
    EXPECT_EQ(model.text(Field::RecordingPeriod), "7");
    EXPECT_EQ(model.text(Field::ServerPassword), "keepthis");
    EXPECT_EQ(model.text(Field::Point1LatitudeDegrees), "12");
    EXPECT_EQ(model.statusColour(), StatusColour::Black);
    EXPECT_EQ(model.statusFont(), StatusFont::Points12);
    EXPECT_EQ(model.text(Field::StatusLine),
              ansi("Устройство не настроено. Заполните пустые поля и нажмите кнопку "
                   "\"Установить\""));
}

TEST_F(Read, OnlyAnErasedPeriodOrPasswordMarksTheTrackerNotConfigured) {
    auto& tracker = plug(SimulatedTracker::configured());
    tracker.settings.inputs[2].reset();
    tracker.settings.points[0].reset();
    ASSERT_TRUE(read());
    EXPECT_EQ(model.text(Field::StatusLine), ansi("Данные успешно считаны из устройства"));
    tracker.settings.analogPeriod = 0xFFFF;
    model.currentSerial = 0;
    ASSERT_TRUE(read());
    EXPECT_EQ(model.statusFont(), StatusFont::Points12);
}

TEST_F(Read, WithUnReadBoxOnlyTheVersionIsRead) {
    auto& tracker = plug(SimulatedTracker::configured());
    tracker.firmware = "WIFI-2.10";
    model.setChecked(Field::ReadIdentityOnly, true);
    model.setText(Field::RecordingPeriod, "7");
    ASSERT_TRUE(read());
    EXPECT_EQ(tracker.commands(), Commands{"FL_READ_VERSION$"});
    EXPECT_EQ(model.text(Field::FirmwareVersion), "Ver. 2.10");
    EXPECT_EQ(model.firmwareVersion, 210);
    EXPECT_EQ(model.text(Field::RecordingPeriod), "7");
    EXPECT_EQ(model.statusColour(), StatusColour::Black);
    EXPECT_EQ(model.text(Field::StatusLine), ansi("Параметры не были считаны"));
    expectClosed();
}

TEST_F(Read, AVersionThatCannotBeReadEndsTheRead) {
    auto& tracker = plug(SimulatedTracker::configured());
    tracker.firmware = "GPS-7.0.1";  // nine bytes that are not a version
    EXPECT_FALSE(read());
    EXPECT_EQ(tracker.commands(), Commands{"FL_READ_VERSION$"});  // not asked again
    EXPECT_EQ(model.text(Field::StatusLine), ansi("Неизвестная версия"));
    EXPECT_EQ(model.statusColour(), StatusColour::Red);
    expectClosed();

    tracker.clearRecord();
    tracker.firmware = "WIFI-1.5";  // eight bytes: never the nine asked for
    EXPECT_FALSE(read());
    EXPECT_EQ(tracker.commands(), Commands(10, "FL_READ_VERSION$"));
    EXPECT_EQ(model.text(Field::StatusLine), ansi("Ошибка чтения версии устройства"));
    expectClosed();
}

TEST_F(Read, ALinkThatDoesNotOpenIsReportedAndHowToFixARefusal) {
    EXPECT_FALSE(read());
    EXPECT_EQ(model.text(Field::StatusLine), ansi("Ошибка при открытии порта USB"));
    EXPECT_EQ(model.statusColour(), StatusColour::Red);
    plug(SimulatedTracker::configured());
    rig.bridge.failNext(sim::BridgeCall::Open, BridgeStatus::AccessDenied);
    EXPECT_FALSE(read());
    EXPECT_EQ(model.text(Field::StatusLine),
              ansi("Нет доступа к USB: нужно правило udev из пакета korvan"));
    EXPECT_EQ(count("close"), 0);
}

TEST_F(Read, EveryQueryThatStaysUnansweredEndsAsItsRowSays) {
    for (const auto& row : expected::kReadRows) {
        if (std::string(row.command) == "FL_READ_VERSION$") {
            continue;  // the version has a test of its own
        }
        SCOPED_TRACE(row.command);
        testing::SimRig fresh;
        auto& tracker = fresh.bridge.plug(SimulatedTracker::configured());
        tracker.settings.dhcp = 0;  // so that the fixed-address queries are asked too
        tracker.injectFault({.kind = Fault::Kind::NoReply, .command = row.command, .times = 10});
        FieldModel m;
        m.setText(Field::RecordingPeriod, "untouched");
        const auto start = fresh.clock.now();
        const bool result = testing::readIntoForm(fresh.link, m);
        EXPECT_EQ(std::count(tracker.commands().begin(), tracker.commands().end(), row.command),
                  10);
        EXPECT_GE(fresh.clock.now() - start, 6000ms);
        EXPECT_FALSE(fresh.link.isOpen());
        if (row.fatal) {
            EXPECT_FALSE(result);
            EXPECT_EQ(tracker.commands().back(), row.command);
            EXPECT_EQ(m.text(Field::StatusLine), ansi(row.failure));
            EXPECT_EQ(m.statusColour(), StatusColour::Red);
        } else {
            // The read goes on to its end and names what it missed.
            EXPECT_TRUE(result);
            EXPECT_EQ(tracker.commands().back(), "GWFPOINT$");
            EXPECT_EQ(m.text(Field::StatusLine),
                      ansi(std::string("Не считано: ") + expected::kStepTitles.at(row.command)));
            EXPECT_EQ(m.statusColour(), StatusColour::Red);
        }
        if (std::string(row.command) == "FL_GET_RATE$") {
            EXPECT_EQ(m.text(Field::RecordingPeriod), "untouched");
        }
    }
}

TEST_F(Read, AnInputsWifiBoxGivesWayToACounterType) {
    auto& tracker = plug(SimulatedTracker::configured());
    // Input 1: Wi-Fi on (bit 2 clear) and type B (bit 5 clear); input 2: bits 5 and 6 clear.
    // Input 1 also records its analogue input as digital (bit 3 clear).
    (*tracker.settings.inputs[0])[0] = 0x5B & ~0x08;
    (*tracker.settings.inputs[1])[0] = 0x1F;
    (*tracker.settings.inputs[0])[2] = static_cast<std::uint8_t>(30 << 2);  // averaging 30 s
    ASSERT_TRUE(read());
    EXPECT_TRUE(model.checked(Field::InputAccumulating1));
    EXPECT_FALSE(model.checked(Field::InputSendsAtOnce1));
    EXPECT_TRUE(model.checked(Field::AnalogAsDigital1));
    EXPECT_EQ(model.text(Field::AnalogAveraging1), "1");  // the analogue box's reaction wins
    EXPECT_TRUE(model.checked(Field::InputPeriodic2));
}

TEST_F(Read, InputsOneAndTwoLeftWithoutATypeBecomeOrdinary) {
    auto& tracker = plug(SimulatedTracker::configured());
    tracker.settings.inputs[1].reset();
    tracker.settings.inputs[2].reset();
    model.setChecked(Field::InputOrdinary2, false);  // no type selected for input 2
    model.setChecked(Field::InputOrdinary3, false);
    ASSERT_TRUE(read());
    EXPECT_TRUE(model.checked(Field::InputOrdinary2));
    EXPECT_FALSE(model.checked(Field::InputOrdinary3));  // inputs 3 and 4 are not touched
}

TEST_F(Read, WhatTheTrackerDidNotGiveTakesFirstRunValuesNotThoseOfTheTrackerBefore) {
    FieldModel firstRun;
    loadSettings(firstRun, {});
    // The tracker read before left its marks in every field that the next read will miss.
    auto& before = plug(SimulatedTracker::configured("90001"));
    before.settings.points[1] = before.settings.points[0];
    ASSERT_TRUE(read());
    ASSERT_FALSE(model.text(Field::Point2LatitudeDegrees).empty());
    model.setChecked(Field::StaticProcessing, !firstRun.checked(Field::StaticProcessing));
    model.setChecked(Field::WideRecording, !firstRun.checked(Field::WideRecording));
    model.setText(Field::AccessPoint, "Old-Depot");
    rig.bridge.unplug(0);

    auto& tracker = plug(SimulatedTracker::configured("90002"));
    tracker.injectFault(
        {.kind = Fault::Kind::WrongReply, .command = "FL_GET_MODE$", .replacement = "MODE=x"});
    tracker.injectFault({.kind = Fault::Kind::NoReply, .command = "FL_GET_WIDE$", .times = 10});
    tracker.injectFault({.kind = Fault::Kind::NoReply, .command = "GSM_GET_CPOINT2$", .times = 10});
    // A name longer than the reply has room for comes without its closing ";".
    tracker.settings.accessPoint = std::string(36, 'N');
    ASSERT_TRUE(read());
    EXPECT_EQ(model.text(Field::StatusLine),
              ansi("Не считано: режим работы, расширенная запись, контрольная точка 2, точка "
                   "доступа"));
    EXPECT_EQ(model.statusColour(), StatusColour::Red);
    EXPECT_EQ(model.checked(Field::StaticProcessing), firstRun.checked(Field::StaticProcessing));
    EXPECT_EQ(model.checked(Field::WideRecording), firstRun.checked(Field::WideRecording));
    EXPECT_EQ(model.text(Field::Point2LatitudeDegrees),
              firstRun.text(Field::Point2LatitudeDegrees));
    EXPECT_EQ(model.text(Field::AccessPoint), firstRun.text(Field::AccessPoint));
    EXPECT_EQ(std::count(tracker.commands().begin(), tracker.commands().end(), "FL_GET_MODE$"), 1);
}

TEST_F(Read, EarlyCompletionReadsExactlyWhatCountOrTimeoutReadsRead) {
    auto& tracker = plug(SimulatedTracker::configured());
    tracker.settings.dhcp = 0;
    tracker.settings.accessPoint = "Yard;Gate;7";
    ASSERT_TRUE(read());
    FieldModel plain;
    rig.link.setEarlyCompletion(false);
    ASSERT_TRUE(testing::readIntoForm(rig.link, plain));
    for (int i = 0; i < kFieldCount; ++i) {
        const auto f = static_cast<Field>(i);
        EXPECT_EQ(model.text(f), plain.text(f)) << fieldInfo(f).name;
        EXPECT_EQ(model.checked(f), plain.checked(f)) << fieldInfo(f).name;
        EXPECT_EQ(model.itemIndex(f), plain.itemIndex(f)) << fieldInfo(f).name;
    }
    EXPECT_EQ(model.text(Field::AccessPoint), "Yard;Gate;7");
}

// For each command sent, how long the link went on waiting after the last byte of its reply
// came in, before it sent the next command or closed.
class WaitsAfterReplies final : public LinkObserver {
  public:
    void opened(const LinkTarget&) override {}
    void written(std::span<const std::uint8_t> bytes, Clock::Duration at) override {
        settle(at);
        command_.assign(bytes.begin(), bytes.end());
    }
    void received(std::span<const std::uint8_t>, Clock::Duration at) override { lastByte_ = at; }
    void closed(Clock::Duration at) override { settle(at); }

    std::vector<std::pair<std::string, Clock::Duration>> waits;

  private:
    void settle(Clock::Duration at) {
        if (!command_.empty()) {
            waits.emplace_back(std::move(command_), at - lastByte_);
            command_.clear();
        }
    }
    std::string command_;
    Clock::Duration lastByte_{0};
};

// Of a whole read, with a fixed address and with DHCP, only the access point's name and the key
// wait for the line to go quiet; every other reply, the Wi-Fi module's included, is taken the
// moment it is whole. Before, each of the nine Wi-Fi replies waited.
TEST_F(Read, OnlyTheNameAndTheKeyWaitForTheLineToGoQuiet) {
    for (const int dhcp : {0, 1}) {
        SCOPED_TRACE(dhcp ? "DHCP" : "fixed address");
        testing::SimRig fresh;
        auto& tracker = fresh.bridge.plug(SimulatedTracker::configured());
        tracker.settings.dhcp = dhcp;
        WaitsAfterReplies observer;
        fresh.link.setObserver(&observer);
        FieldModel m;
        ASSERT_TRUE(testing::readIntoForm(fresh.link, m));
        ASSERT_EQ(observer.waits.size(),
                  dhcp ? expected::kDhcpQueries.size() : expected::kDhcpQueries.size() + 3);
        Commands waited;
        for (const auto& [command, wait] : observer.waits) {
            if (wait > Clock::Duration::zero()) {
                waited.push_back(command);
                EXPECT_GE(wait, Link::kIdleGap) << command;
                EXPECT_LE(wait, Link::kIdleGap + Link::kPollInterval) << command;
            }
        }
        EXPECT_EQ(waited, (Commands{"GWKEY$", "GWFPOINT$"}));
    }
}

}  // namespace
}  // namespace korvan
