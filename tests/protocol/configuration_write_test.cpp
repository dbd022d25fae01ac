#include "protocol/configuration_write.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <set>
#include <string>
#include <vector>

#include "core/scripted_desktop.h"
#include "protocol/configuration_read.h"
#include "settings/settings_file.h"
#include "tests/protocol/expected_rows.h"
#include "tests/support/form_operations.h"
#include "tests/support/ordinary_user.h"
#include "tests/support/sim_rig.h"
#include "tests/support/temp_folder.h"

namespace korvan {
namespace {

using sim::Fault;
using sim::SimulatedTracker;
using testing::ansi;
using Commands = std::vector<std::string>;

std::string bytes(std::initializer_list<int> values) {
    std::string out;
    for (int v : values) {
        out += static_cast<char>(v);
    }
    return out;
}

std::string inputCommand(int n, std::initializer_list<int> head) {
    return "GSM_SET_SMS," + std::to_string(n) + "," + bytes(head) + std::string(16, '\0') + "$";
}

class Write : public ::testing::Test {
  protected:
    testing::TempFolder folder;
    testing::SimRig rig;
    ScriptedDesktop desktop;
    FieldModel model;
    DeviceDatabase database{desktop};
    SimulatedTracker* tracker = nullptr;

    // As the program stands after detecting and reading the configured tracker.
    void SetUp() override {
        tracker = &rig.bridge.plug(SimulatedTracker::configured("90001"));
        model.deviceMac = {0x00, 0x50, 0x25, 0, 0, 0};
        model.setText(Field::SerialNumber, "90001");
        model.showMac(90001);
        loadSettings(model, folder / "first-run.ini");  // radii "50", on-times "1"
        testing::nameDatabase(model, database, (folder / "fleet.zcf").string());
        ASSERT_TRUE(testing::readIntoForm(rig.link, model));
        tracker->clearRecord();
        rig.bridge.clearCalls();
    }

    void write() { testing::writeFromForm(rig.link, model, database, desktop); }
    const Commands& sent() const { return tracker->commands(); }
    bool wasSent(const std::string& command) const {
        return std::find(sent().begin(), sent().end(), command) != sent().end();
    }
    bool databaseWritten() const { return std::filesystem::exists(folder / "fleet.zcf"); }
    void expectClosed() {
        EXPECT_FALSE(rig.link.isOpen());
        const auto& calls = rig.bridge.calls();
        EXPECT_EQ(std::count(calls.begin(), calls.end(), "open"),
                  std::count(calls.begin(), calls.end(), "close"));
    }
    void expectStatus(const char* message, StatusColour colour) {
        EXPECT_EQ(model.text(Field::StatusLine), ansi(message));
        EXPECT_EQ(model.statusColour(), colour);
    }
};

TEST_F(Write, AReadTrackerIsWrittenBackByteForByte) {
    const auto before = tracker->settings;
    write();
    const std::string point1 = bytes({0xFD, 0xFF, 0xFF, 0xFF, 0xEE, 0x15, 0xD6, 0xA0, 0x50, 0x72,
                                      0x45, 0x16, 0x96, 0x00, 0x00, 0x00, 0x2C, 0x01, 0x00, 0x00});
    EXPECT_EQ(sent(), (Commands{
                          "DHCP=1;$",
                          "AUTH=0;$",
                          "WFPOINT=Depot-North;$",
                          "WKEY=1:k3y05;$",
                          "DEVMAC=00 50 25 00 00 02;$",
                          "SERPORT=2224;$",
                          "SERIP=192.0.2.10;$",
                          inputCommand(1, {0x7B, 0xFF, 0x43, 0x00, 0x00}),
                          inputCommand(2, {0x5F, 0xFF, 0x43, 0x00, 0x00}),
                          "GSM_SET_SERNUM,90001$",
                          inputCommand(3, {0x7F, 0xFF, 0x43, 0x00, 0x00}),
                          inputCommand(4, {0x7F, 0xFF, 0x43, 0x00, 0x00}),
                          "GSM_SET_SERNUM,90001$",
                          "FL_CHANGE_WIDE,0$",
                          "FL_SET_MODE,1$",
                          "GSM_SET_CPOINT1," + point1 + "$",
                          "FL_SET_RATE,10,0$",
                          "GSM_SET_PERIODSEND,300$",
                          "FL_SET_ADD_R,600$",
                          "FL_SET_COUNT_R,3600$",
                          "GSM_SET_PASSWORD,Fleet_07$",
                          "DEBUG_GET_PTR$",
                          "FL_CHANGE_NDIST,1$",
                      }));
    expectStatus("Данные успешно записаны в устройство", StatusColour::Black);
    expectClosed();
    EXPECT_EQ(tracker->settings.inputs, before.inputs);
    EXPECT_EQ(tracker->settings.points, before.points);
    EXPECT_EQ(tracker->settings.mac, "00 50 25 00 00 02");
    ASSERT_EQ(database.records().size(), 1u);
    EXPECT_EQ(database.records()[0].serial, 90001);
    EXPECT_EQ(database.records()[0].password, "Fleet_07");
    EXPECT_TRUE(databaseWritten());
}

TEST_F(Write, VerifiedTheWriteIsFollowedByOneReadOnTheNextLinkAndNothingElse) {
    const Commands written = [&] {
        write();
        return sent();
    }();
    tracker->clearRecord();
    rig.bridge.clearCalls();
    const FormWritten verified = korvan::writeFromForm(rig.link, model, &database, desktop, true);
    ASSERT_TRUE(verified.verification.has_value());
    EXPECT_TRUE(verified.verification->verified());
    // The write's own bytes, unchanged, then the read's queries on a link of their own.
    Commands expected = written;
    expected.insert(expected.end(), expected::kDhcpQueries.begin(), expected::kDhcpQueries.end());
    EXPECT_EQ(sent(), expected);
    const auto& calls = rig.bridge.calls();
    EXPECT_EQ(std::count(calls.begin(), calls.end(), "open"), 2);
    expectClosed();
    expectStatus("Данные записаны и проверены", StatusColour::Black);
    EXPECT_EQ(database.records().size(), 1u);
}

TEST_F(Write, AFixedAddressAndEveryKeyFormAreSent) {
    model.setChecked(Field::FixedAddress, true);
    model.setText(Field::DeviceAddress, "10.0.0.9");
    model.setChecked(Field::NoEncryption, true);
    model.setItemIndex(Field::Authentication, 1);
    write();
    EXPECT_EQ(
        Commands(sent().begin(), sent().begin() + 8),
        (Commands{"DHCP=0;$", "AUTH=1;$", "WFPOINT=Depot-North;$", "WKEY=0:;$", "DEVIP=10.0.0.9;$",
                  "NETMASK=255.255.255.0;$", "DEFGW=192.168.0.1;$", "DEVMAC=00 50 25 00 00 02;$"}));
    model.setChecked(Field::WepEncryption, true);
    model.setChecked(Field::Key128Bit, true);
    model.setText(Field::NetworkKey, "0123456789abc");
    tracker->clearRecord();
    write();
    EXPECT_TRUE(wasSent("WKEY=2:0123456789abc;$"));
    EXPECT_EQ(tracker->settings.keyMode, 2);
}

TEST_F(Write, APasswordOfAnyOtherLengthBlocksTheWriteButton) {
    for (const char* password : {"1234567", "123456789"}) {
        model.setEnabled(Field::WriteButton, true);
        model.setText(Field::ServerPassword, password);
        model.setText(Field::RecordingPeriod, "0");
        write();
        EXPECT_FALSE(model.enabled(Field::WriteButton));
        expectStatus("Пароль должем иметь 8 символов", StatusColour::Red);
        EXPECT_EQ(model.text(Field::RecordingPeriod), "0");  // nothing corrected
        EXPECT_TRUE(rig.bridge.calls().empty());             // no link opened
    }
}

TEST_F(Write, WithoutAnIdentifiedDeviceNothingIsSent) {
    model.setText(Field::SerialNumber, ansi("Номер"));
    write();
    EXPECT_TRUE(rig.bridge.calls().empty());
    EXPECT_EQ(model.statusColour(), StatusColour::Red);
    EXPECT_FALSE(databaseWritten());
}

TEST_F(Write, FieldsAreBroughtIntoRangeBeforeTheLinkOpens) {
    rig.bridge.unplug(0);
    model.setText(Field::AnalogPollPeriod, "5");
    model.setText(Field::AnalogThreshold1, "2000");
    model.setText(Field::RecordingPeriod, "0");
    model.setText(Field::SendingPeriod, "15");
    model.setText(Field::Point2Radius, "5");
    model.setText(Field::Point3Radius, "");  // nothing to correct: the point is not sent
    model.setText(Field::Point1OnTime, "90");
    write();
    expectStatus("Ошибка при открытии USB", StatusColour::Red);
    EXPECT_EQ(model.text(Field::AnalogPollPeriod), "10");
    EXPECT_EQ(model.text(Field::AnalogThreshold1), "1023");
    EXPECT_EQ(model.text(Field::RecordingPeriod), "1");
    EXPECT_EQ(model.text(Field::SendingPeriod), "30");
    EXPECT_EQ(model.text(Field::Point2Radius), "10");
    EXPECT_EQ(model.text(Field::Point1OnTime), "60");
    EXPECT_EQ(model.text(Field::Point3Radius), "");
    EXPECT_TRUE(desktop.messages.empty());

    model.setText(Field::AnalogPollPeriod, "4000");
    model.setText(Field::RecordingPeriod, "700");
    model.setText(Field::SendingPeriod, "0");
    write();
    EXPECT_EQ(model.text(Field::AnalogPollPeriod), "3600");
    EXPECT_EQ(model.text(Field::RecordingPeriod), "600");
    EXPECT_EQ(model.text(Field::SendingPeriod), "0");
}

TEST_F(Write, AnalogueLimitsAreAppliedOnlyOnceTheNetworkIsSet) {
    model.setText(Field::AnalogThreshold1, "2");
    model.setText(Field::AnalogAveraging2, "0");
    model.setText(Field::AnalogAveraging1, "75");
    tracker->injectFault({.kind = Fault::Kind::NoReply, .command = "SERIP=", .times = 10});
    write();
    expectStatus("Ошибка настройки IP сервера", StatusColour::Red);
    EXPECT_EQ(model.text(Field::AnalogThreshold1), "2");
    tracker->clearRecord();
    write();
    EXPECT_EQ(model.text(Field::AnalogThreshold1), "3");
    EXPECT_EQ(model.text(Field::AnalogAveraging1), "60");
    EXPECT_EQ(model.text(Field::AnalogAveraging2), "1");
    EXPECT_EQ(sent()[7], inputCommand(1, {0x7B, 0x03, 0xF0, 0x00, 0x00}));  // 3 | 60 << 10
}

TEST_F(Write, EveryNetworkSettingEndsTheWriteWhenItsEchoIsWrongOrMissing) {
    model.setChecked(Field::FixedAddress, true);
    for (const auto& row : expected::kWriteRows) {
        if (row.judged != expected::Judged::Echo) {
            continue;
        }
        SCOPED_TRACE(row.command);
        tracker->clearRecord();
        tracker->injectFault({.kind = Fault::Kind::WrongEcho, .command = row.command});
        write();
        const std::string echo = sent().back().substr(0, sent().back().size() - 1);
        std::string wrong = echo;
        wrong[wrong.size() / 2] = wrong[wrong.size() / 2] == '#' ? '*' : '#';
        EXPECT_EQ(model.text(Field::StatusLine), ansi(row.onGarbage) + wrong);
        EXPECT_EQ(model.statusColour(), StatusColour::Red);
        EXPECT_EQ(sent().back().rfind(row.command, 0), 0u);  // nothing after it
        expectClosed();

        tracker->clearRecord();
        tracker->injectFault({.kind = Fault::Kind::NoReply, .command = row.command, .times = 10});
        write();
        EXPECT_EQ(std::count_if(sent().begin(), sent().end(),
                                [&](const std::string& c) { return c.rfind(row.command, 0) == 0; }),
                  10);
        expectStatus(row.failure, StatusColour::Red);
        expectClosed();
    }
    EXPECT_FALSE(databaseWritten());
}

TEST_F(Write, EveryTrackerSettingFailsAsItsRowSays) {
    std::set<std::string> tried;
    for (const auto& row : expected::kWriteRows) {
        // The echoes have their own test; the pointer check and the recording method, too.
        if (row.judged != expected::Judged::Count || row.afterDatabase ||
            std::string(row.command) == "DEBUG_GET_PTR$" || !tried.insert(row.command).second) {
            continue;
        }
        SCOPED_TRACE(row.command);
        std::filesystem::remove(folder / "fleet.zcf");
        tracker->clearRecord();
        tracker->injectFault({.kind = Fault::Kind::NoReply, .command = row.command, .times = 10});
        write();
        expectClosed();
        if (row.fatal) {
            expectStatus(row.failure, StatusColour::Red);
            EXPECT_EQ(sent().back().rfind(row.command, 0), 0u);
            EXPECT_FALSE(databaseWritten());
        } else {
            // The write goes on to the end, then names the step that was not confirmed; the
            // device is not recorded.
            const std::string shown = model.text(Field::StatusLine);
            EXPECT_EQ(shown.rfind(ansi("Устройство не подтвердило: "), 0), 0u) << shown;
            EXPECT_EQ(model.statusColour(), StatusColour::Red);
            EXPECT_EQ(sent().back(), "FL_CHANGE_NDIST,1$");
            EXPECT_FALSE(databaseWritten());
        }
    }
}

TEST_F(Write, ARejectedSettingIsToldAndTheWriteGoesOnButIsNotDone) {
    model.setText(Field::Point3LatitudeDegrees, "1");
    model.setText(Field::Point3LongitudeDegrees, "2");
    model.setText(Field::Point3Radius, "30");
    tracker->injectFault(
        {.kind = Fault::Kind::WrongReply, .command = "GSM_SET_CPOINT3,", .replacement = "NOT_OK"});
    std::vector<std::string> shown;
    auto subscription = model.subscribe([&](Field f, Aspect a) {
        if (f == Field::StatusLine && a == Aspect::Value) {
            shown.push_back(model.text(f));
        }
    });
    write();
    EXPECT_NE(
        std::find(shown.begin(), shown.end(), ansi("Ошибка установки третьей контрольной точки")),
        shown.end());
    expectStatus("Устройство не подтвердило: контрольная точка 3", StatusColour::Red);
    EXPECT_FALSE(databaseWritten());

    // Every input that answers anything but SET_OK is named, each one of the four.
    for (int n = 1; n <= 4; ++n) {
        tracker->injectFault({.kind = Fault::Kind::WrongReply,
                              .command = "GSM_SET_SMS," + std::to_string(n) + ",",
                              .replacement = "NOT_OK"});
    }
    tracker->injectFault({.kind = Fault::Kind::NoReply, .command = "FL_SET_MODE,", .times = 10});
    shown.clear();
    write();
    for (int n = 1; n <= 4; ++n) {
        EXPECT_NE(std::find(shown.begin(), shown.end(),
                            ansi("Ошибка установки цифрового входа " + std::to_string(n))),
                  shown.end());
    }
    expectStatus(
        "Устройство не подтвердило: цифровой вход 1, цифровой вход 2, цифровой вход 3, "
        "цифровой вход 4, режим работы",
        StatusColour::Red);
    EXPECT_FALSE(databaseWritten());
}

TEST_F(Write, ControlPointsArePaddedAndSkippedAsTheTrackerNeedsThem) {
    model.setText(Field::Point1LatitudeFraction, "");
    model.setText(Field::Point1LongitudeFraction, "5");
    model.setChecked(Field::Point1SendOnEntry, false);
    model.setText(Field::Point1OnTime, "45");
    model.setText(Field::Point2Radius, "20");  // a radius without coordinates: not sent
    write();
    EXPECT_EQ(model.text(Field::Point1LatitudeFraction), "00000");
    EXPECT_EQ(model.text(Field::Point1LongitudeFraction), "50000");
    EXPECT_FALSE(wasSent("GSM_SET_CPOINT2,"));
    const auto& point = tracker->settings.points[0];
    ASSERT_TRUE(point);
    const auto record = ControlPointRecord::fromBytes(*point);
    EXPECT_EQ(record.onTimeSeconds, 60u);  // no sending box: always a minute
    EXPECT_EQ(decodeCoordinate(record.latitude).fraction, 0u);
    EXPECT_EQ(decodeCoordinate(record.longitude).fraction, 50000u);
    EXPECT_EQ(std::count_if(sent().begin(), sent().end(),
                            [](const std::string& c) { return c.rfind("GSM_SET_CPOINT", 0) == 0; }),
              1);
}

TEST_F(Write, InputThreeCarriesTheValueBuiltForInputTwo) {
    model.setChecked(Field::InputPeriodic3, true);
    model.setItemIndex(Field::InputTrigger3, 1);
    model.setText(Field::AnalogThreshold2, "700");
    model.setText(Field::AnalogAveraging2, "45");
    write();
    // 700 | 45 << 10 = 0xB6BC
    EXPECT_EQ(sent()[10], inputCommand(3, {0x3E, 0xBC, 0xB6, 0x00, 0x00}));
}

TEST_F(Write, CounterPeriodsShareOneWordThatMayGoNegative) {
    model.setText(Field::CounterPeriod34, "40000");
    write();
    EXPECT_TRUE(wasSent("FL_SET_COUNT_R,-1673523696$"));
}

TEST_F(Write, TheDebugLogPointerIsCheckedFromFirmwareOneOn) {
    model.firmwareVersion = 99;
    write();
    EXPECT_FALSE(wasSent("DEBUG_GET_PTR$"));

    model.firmwareVersion = 100;
    tracker->debugPointer = 0x40000010;
    tracker->clearRecord();
    write();
    EXPECT_TRUE(wasSent("DEBUG_GET_PTR$"));
    EXPECT_FALSE(wasSent("DEBUG_CLEAR_LOG$"));

    tracker->debugPointer = 0x40001000;
    tracker->clearRecord();
    write();
    EXPECT_EQ(std::count(sent().begin(), sent().end(), "DEBUG_CLEAR_LOG$"), 1);
    EXPECT_EQ(tracker->debugPointer, 0x40000000u);

    // A log that never clears is tried ten times; the write goes on but is not done.
    tracker->debugPointer = 0x12345678;
    tracker->injectFault({.kind = Fault::Kind::WrongReply,
                          .command = "DEBUG_CLEAR_LOG$",
                          .times = 10,
                          .replacement = "NOT CLEAR"});
    tracker->injectFault({.kind = Fault::Kind::WrongReply,
                          .command = "DEBUG_GET_PTR$",
                          .times = 10,
                          .replacement = bytes({0x78, 0x56, 0x34, 0x12})});
    tracker->clearRecord();
    write();
    EXPECT_EQ(std::count(sent().begin(), sent().end(), "DEBUG_GET_PTR$"), 10);
    EXPECT_EQ(std::count(sent().begin(), sent().end(), "DEBUG_CLEAR_LOG$"), 10);
    EXPECT_EQ(sent().back(), "FL_CHANGE_NDIST,1$");
    expectStatus("Устройство не подтвердило: указатель отладочного журнала", StatusColour::Red);
}

TEST_F(Write, ATrackerPulledOutDuringThePointerCheckIsNotRecorded) {
    model.firmwareVersion = 100;
    tracker->debugPointer = 0x40001000;  // the log is erased, and the tracker goes meanwhile
    tracker->injectFault({.kind = Fault::Kind::Unplug, .command = "DEBUG_CLEAR_LOG$"});
    write();
    expectStatus(std::string(kDeviceGoneMessage).c_str(), StatusColour::Red);
    expectClosed();
    EXPECT_EQ(database.records().size(), 0u);
    EXPECT_FALSE(databaseWritten());
}

TEST_F(Write, TheOutcomeListsEveryExchangeWithItsStatus) {
    tracker->injectFault({.kind = Fault::Kind::NoReply, .command = "FL_CHANGE_WIDE,", .times = 10});
    const WriteOutcome outcome = testing::writeFromForm(rig.link, model, database, desktop);
    EXPECT_EQ(outcome.ending, Ending::Failed);
    EXPECT_FALSE(databaseWritten());
    // Each command once, as sent, a record command by its text before the record.
    Commands distinct;
    for (const auto& command : sent()) {
        if (distinct.empty() || distinct.back() != command) {
            distinct.push_back(command);
        }
    }
    ASSERT_EQ(outcome.steps.size(), distinct.size());
    for (std::size_t i = 0; i < distinct.size(); ++i) {
        const Step& step = outcome.steps[i];
        SCOPED_TRACE(step.command);
        EXPECT_EQ(distinct[i].rfind(step.command, 0), 0u);
        EXPECT_GE(step.command.size(), std::min<std::size_t>(distinct[i].size(), 14));
        const bool wide = step.command == "FL_CHANGE_WIDE,0$";
        EXPECT_EQ(step.status, wide ? StepStatus::Failed : StepStatus::Done);
        EXPECT_EQ(step.attempts, wide ? 10 : 1);
    }
}

TEST_F(Write, TheDeviceIsRecordedOnlyOnceItsLastCommandIsConfirmed) {
    tracker->injectFault(
        {.kind = Fault::Kind::NoReply, .command = "FL_CHANGE_NDIST,", .times = 10});
    write();
    expectStatus("Ошибка отправки данных устройству", StatusColour::Red);
    EXPECT_FALSE(databaseWritten());
    EXPECT_EQ(database.records().size(), 0u);
    expectClosed();
    write();
    expectStatus("Данные успешно записаны в устройство", StatusColour::Black);
    EXPECT_TRUE(databaseWritten());
}

TEST_F(Write, AFieldWithoutANumberEndsTheWriteWithAMessageNamingIt) {
    model.setText(Field::RecordingPeriod, "abc");
    write();
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Error);
    EXPECT_NE(desktop.messages[0].text.find("Период записи точек"), std::string::npos);
    EXPECT_NE(desktop.messages[0].text.find("abc"), std::string::npos);
    EXPECT_TRUE(rig.bridge.calls().empty());

    // Numbers that only later steps convert are tried before anything is sent, so the
    // tracker is never left half written: once after the Wi-Fi settings, once at the end.
    model.setText(Field::RecordingPeriod, "10");
    for (Field f : {Field::AnalogAveraging2, Field::CounterPeriod34}) {
        const std::string kept = model.text(f);
        model.setText(f, "");
        rig.bridge.clearCalls();
        write();
        EXPECT_TRUE(rig.bridge.calls().empty());
        model.setText(f, kept);
    }
    ASSERT_EQ(desktop.messages.size(), 3u);
    EXPECT_NE(desktop.messages[1].text.find("вход 2"), std::string::npos);
    EXPECT_NE(desktop.messages[2].text.find("3,4"), std::string::npos);
    EXPECT_FALSE(databaseWritten());
}

TEST_F(Write, ADeviceTheDatabaseCannotTakeIsRefusedBeforeTheTrackerIsTouched) {
    std::string contents = "Zentracor database 1.3\r\n1024 records\r\n";
    for (int serial = 1; serial <= 1024; ++serial) {
        contents += std::to_string(serial) + ":\tPASSWORD=abcdefgh;\r\n";
    }
    testing::writeBytes(folder / "fleet.zcf", contents);
    database.openDatabase();  // cancel: the current database is read
    write();
    EXPECT_TRUE(sent().empty());
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(desktop.messages[0].text,
              "Трекер не записан: его нельзя будет внести в базу — в базе уже 1024 записи.");
    EXPECT_EQ(model.statusColour(), StatusColour::Red);

    // A device already in the list takes its place again.
    contents.replace(contents.find("\r\n1024:"), 7, "\r\n90001:");
    testing::writeBytes(folder / "fleet.zcf", contents);
    database.openDatabase();
    desktop.messages.clear();
    write();
    expectStatus("Данные успешно записаны в устройство", StatusColour::Black);
    EXPECT_TRUE(desktop.messages.empty());

    // A password the file would give back cut: refused alike.
    desktop.messages.clear();
    tracker->clearRecord();
    model.setText(Field::ServerPassword, "ab; PIN=");
    write();
    EXPECT_TRUE(sent().empty());
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_NE(desktop.messages[0].text.find("пароль"), std::string::npos);
}

// Files and folders an ordinary user may not write, each refused before the tracker is touched
// and named in the message. Run as an ordinary user, as root writes past read-only marks.
TEST_F(Write, ADatabaseThisUserMayNotWriteIsRefusedBeforeTheTrackerIsTouched) {
    namespace fs = std::filesystem;
    const auto data = folder / "data";
    const auto closed = folder / "closed";
    const std::string empty = "Zentracor database 1.3\r\n0 records\r\n";
    // Each case on files of its own, the ordinary user's.
    const auto fresh = [&] {
        fs::remove_all(data);
        fs::remove_all(closed);
        fs::create_directory(data);
        fs::create_directory(closed);
        testing::writeBytes(data / "fleet.zcf", empty);
        testing::writeBytes(data / "fleet-srv.zcf", empty);
        testing::writeBytes(closed / "fleet.zcf", empty);
        fs::create_symlink(closed / "fleet.zcf", data / "linked.zcf");
        testing::handToOrdinaryUser(folder.path());
    };
    const std::string longName(241, 'a');
    const bool root = ::geteuid() == 0;

    struct Case {
        const char* what;
        fs::path database;
        std::function<void()> arrange;
        const char* named;  // in the message
    };
    const fs::perms readOnly = fs::perms::owner_read | fs::perms::group_read;
    const std::vector<Case> cases = {
        {"read-only database", data / "fleet.zcf",
         [&] { fs::permissions(data / "fleet.zcf", readOnly); }, "fleet.zcf только для чтения"},
        {"read-only server file", data / "fleet.zcf",
         [&] { fs::permissions(data / "fleet-srv.zcf", readOnly); },
         "fleet-srv.zcf только для чтения"},
        {"read-only folder", data / "new.zcf",
         [&] { fs::permissions(data, fs::perms::owner_read | fs::perms::owner_exec); },
         "нельзя записывать"},
        {"link into a read-only folder", data / "linked.zcf",
         [&] { fs::permissions(folder / "closed", fs::perms::owner_read | fs::perms::owner_exec); },
         "нельзя записывать"},
        {"name too long for the temporary file", data / (longName + ".zcf"), [] {},
         "слишком длинное"},
        // Root's own database, writable by its group, which the user is not in.
        {"group-writable database of another user", data / "fleet.zcf",
         [&] {
             if (root && ::chown((data / "fleet.zcf").c_str(), 0, 0) == 0) {
                 fs::permissions(data / "fleet.zcf",
                                 fs::perms::owner_read | fs::perms::owner_write |
                                     fs::perms::group_read | fs::perms::group_write |
                                     fs::perms::others_read);
             }
         },
         "fleet.zcf только для чтения"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (!root && std::string_view(c.what).starts_with("group")) {
            continue;  // only root can give a file to another user to begin with
        }
        fresh();
        c.arrange();
        const std::string wrong = testing::asOrdinaryUser([&]() -> std::string {
            database.nameFile(c.database.string());
            database.openLast();
            desktop.messages.clear();
            write();
            if (!sent().empty()) {
                return "the tracker was written: " + sent().front();
            }
            if (desktop.messages.size() != 1) {
                return "messages: " + std::to_string(desktop.messages.size());
            }
            if (desktop.messages[0].text.find(c.named) == std::string::npos) {
                return desktop.messages[0].text;
            }
            return {};
        });
        EXPECT_EQ(wrong, "");
    }
}

// One field changed to `text`, the write tried, the field put back: the write must be refused
// before the link opens, with a message box that names `named`; or, where `refused` is false,
// the write must go through.
class WriteRefusals : public Write {
  protected:
    void expectRefused(Field field, const std::string& text, const std::string& named,
                       bool refused = true) {
        SCOPED_TRACE(std::string(fieldInfo(field).name) + " = " + text);
        const std::string kept = model.text(field);
        model.setText(field, text);
        ASSERT_EQ(model.text(field), text);
        desktop.messages.clear();
        rig.bridge.clearCalls();
        write();
        if (refused) {
            EXPECT_EQ(desktop.messages.size(), 1u);
            for (const auto& message : desktop.messages) {
                EXPECT_EQ(message.icon, MessageIcon::Error);
                EXPECT_NE(message.text.find("«" + named + "»"), std::string::npos) << message.text;
            }
            EXPECT_TRUE(rig.bridge.calls().empty());
        } else {
            EXPECT_TRUE(desktop.messages.empty());
            EXPECT_EQ(model.text(Field::StatusLine), ansi("Данные успешно записаны в устройство"));
        }
        model.setText(field, kept);
    }
};

TEST_F(WriteRefusals, NoFieldCanForgeACommand) {
    model.setChecked(Field::FixedAddress, true);  // the device's own addresses are sent too
    model.setChecked(Field::WepEncryption, true);
    model.setChecked(Field::Key64Bit, true);
    model.setText(Field::NetworkKey, "abcde");
    const struct {
        Field field;
        const char* name;
        bool wifi;
        std::size_t longest;
    } texts[] = {
        {Field::AccessPoint, "Имя сети Wi-Fi", true, 35},
        {Field::NetworkKey, "Ключ шифрования", true, 13},
        {Field::DeviceAddress, "IP устройства", true, 15},
        {Field::Netmask, "Маска сети", true, 15},
        {Field::Gateway, "Шлюз", true, 15},
        {Field::ServerPort, "Порт сервера", true, 5},
        {Field::ServerAddress, "IP сервера", true, 15},
        {Field::ServerPassword, "Пароль", false, 8},
    };
    for (const auto& t : texts) {
        // Of the field's own length where it has one, so that only the character is wrong.
        const std::string fits =
            model.text(t.field).substr(0, t.field == Field::ServerPassword ? 7 : 3);
        expectRefused(t.field, fits + "$", t.name);
        expectRefused(t.field, "$" + fits, t.name);
        expectRefused(t.field, fits + "\r", t.name);
        expectRefused(t.field, fits + ";", t.name, t.wifi);
        if (t.field != Field::ServerPassword) {  // the password has a length of its own
            expectRefused(t.field, std::string(t.longest + 1, '1'), t.name);
        }
    }
    // The longest name the tracker gives back is written whole.
    expectRefused(Field::AccessPoint, std::string(35, 'N'), "Имя сети Wi-Fi", false);
    EXPECT_EQ(tracker->settings.accessPoint, std::string(35, 'N'));
}

TEST_F(WriteRefusals, NumbersTheTrackerCannotHoldAreRefusedAtTheEdgeOfTheirRange) {
    expectRefused(Field::CounterPeriod12, "65536", "Период записи показаний счётчиков 1,2");
    expectRefused(Field::CounterPeriod34, "70000", "Период записи показаний счётчиков 3,4");
    expectRefused(Field::CounterPeriod34, "-1", "Период записи показаний счётчиков 3,4");
    expectRefused(Field::CounterPeriod12, "65535", "", false);
    const char* ordinals[] = {"первой", "второй", "третьей"};
    for (int n = 1; n <= 3; ++n) {
        SCOPED_TRACE(n);
        const auto f = [n](Field ofPoint1) { return ofPoint(ofPoint1, n); };
        const std::string of = std::string(" ") + ordinals[n - 1] + " контрольной точки";
        model.setText(f(Field::Point1LatitudeDegrees), "55");
        model.setText(f(Field::Point1LongitudeDegrees), "37");
        model.setText(f(Field::Point1Radius), "50");
        model.setChecked(f(Field::Point1SendOnEntry), true);
        expectRefused(f(Field::Point1LatitudeDegrees), "91", "Градусы широты" + of);
        expectRefused(f(Field::Point1LatitudeDegrees), "-1", "Градусы широты" + of);
        expectRefused(f(Field::Point1LongitudeDegrees), "181", "Градусы долготы" + of);
        expectRefused(f(Field::Point1LongitudeDegrees), "215", "Градусы долготы" + of);
        expectRefused(f(Field::Point1LatitudeMinutes), "60", "Минуты широты" + of);
        expectRefused(f(Field::Point1LongitudeMinutes), "60", "Минуты долготы" + of);
        expectRefused(f(Field::Point1LatitudeFraction), "123456", "Доли минуты широты" + of);
        expectRefused(f(Field::Point1LatitudeHemisphere), "X", "Полушарие широты" + of);
        expectRefused(f(Field::Point1LongitudeHemisphere), "N", "Полушарие долготы" + of);
        expectRefused(f(Field::Point1Radius), "", "Радиус" + of);
        expectRefused(f(Field::Point1LongitudeDegrees), "", "Градусы долготы" + of);
        expectRefused(f(Field::Point1OnTime), "", "Время включения" + of);
        expectRefused(f(Field::Point1LatitudeMinutes), "59", "", false);
        // At the pole or the date line, a coordinate has no minutes left.
        model.setText(f(Field::Point1LatitudeMinutes), "1");
        expectRefused(f(Field::Point1LatitudeDegrees), "90", "Градусы широты" + of);
        model.setText(f(Field::Point1LatitudeMinutes), "0");
        model.setText(f(Field::Point1LatitudeFraction), "00000");
        model.setText(f(Field::Point1LongitudeMinutes), "0");
        model.setText(f(Field::Point1LongitudeFraction), "00000");
        expectRefused(f(Field::Point1LatitudeDegrees), "90", "", false);
        expectRefused(f(Field::Point1LongitudeDegrees), "180", "", false);
        model.setChecked(f(Field::Point1SendOnEntry), false);
        expectRefused(f(Field::Point1OnTime), "", "", false);  // not sending: not needed
    }
}

}  // namespace
}  // namespace korvan
