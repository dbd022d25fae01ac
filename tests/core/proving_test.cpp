// The window's core proving a tracker: rules marked where they break, changes since the read,
// a comparison with the tracker read back, and a status line that tells the present.
#include <gtest/gtest.h>

#include "base/cp1251.h"
#include "core/configurator.h"
#include "core/scripted_desktop.h"
#include "settings/settings_file.h"
#include "settings/tracker_profile.h"
#include "sim/simulated_bridge.h"
#include "tests/support/form_operations.h"
#include "tests/support/temp_folder.h"

namespace korvan {
namespace {

using sim::Fault;
using sim::SimulatedTracker;
using testing::ansi;

class Proving : public ::testing::Test {
  protected:
    testing::TempFolder folder;
    VirtualClock clock;
    sim::SimulatedBridge bridge{clock};
    ScriptedDesktop desktop;
    Configurator core{bridge, clock, desktop};
    FieldModel& model = core.model();

    void SetUp() override {
        loadSettings(model, folder / "first-run.ini");
        model.deviceMac = {0x00, 0x50, 0x25, 0, 0, 0};
        testing::nameDatabase(model, core.database(), (folder / "fleet.zcf").string());
        bridge.onDevicesChanged = [this] { core.devicesChanged(); };
    }
    std::string status() const { return cp1251::toUtf8(model.text(Field::StatusLine)); }
    std::vector<Field> marked(std::string FieldMarks::*mark) const {
        std::vector<Field> fields;
        for (int i = 0; i < kFieldCount; ++i) {
            if (!(model.marks(static_cast<Field>(i)).*mark).empty()) {
                fields.push_back(static_cast<Field>(i));
            }
        }
        return fields;
    }
};

TEST_F(Proving, AFieldIsMarkedWithItsRuleAsSoonAsItBreaksItAndTheWriteNamesIt) {
    bridge.plug(SimulatedTracker::configured("90001"));
    EXPECT_TRUE(marked(&FieldMarks::broken).empty());

    model.setText(Field::ServerPort, "65536");
    EXPECT_EQ(model.marks(Field::ServerPort).broken, "Число от 1 до 65535");
    model.setText(Field::ServerPort, "65535");
    EXPECT_EQ(model.marks(Field::ServerPort).broken, "");

    // A point's degrees make its radius needed: the mark follows another field's change.
    model.setText(Field::Point2Radius, "");
    EXPECT_EQ(model.marks(Field::Point2Radius).broken, "");
    model.setText(Field::Point2LatitudeDegrees, "55");
    EXPECT_EQ(model.marks(Field::Point2Radius).broken, "Нужно: у точки есть координаты");
    EXPECT_EQ(marked(&FieldMarks::broken),
              (std::vector<Field>{Field::Point2LongitudeDegrees, Field::Point2Radius}));
    model.setText(Field::Point2LatitudeDegrees, "");

    // A value read from the tracker that breaks its rule is shown as read, and marked.
    bridge.unplug(0);
    bridge.plug(SimulatedTracker::configured("90002"));
    bridge.tracker(0).settings.serverPort = "abc";
    core.readTracker();
    EXPECT_EQ(model.text(Field::ServerPort), "abc");
    EXPECT_EQ(model.marks(Field::ServerPort).broken, "Число от 1 до 65535");
    bridge.tracker(0).clearRecord();
    core.writeTracker();
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_NE(desktop.messages[0].text.find("«Порт сервера»"), std::string::npos);
    EXPECT_TRUE(bridge.tracker(0).commands().empty());
    // ... and the status line tells the refusal, in red, not what was said before.
    EXPECT_EQ(status(), desktop.messages[0].text);
    EXPECT_EQ(model.statusColour(), StatusColour::Red);
}

TEST_F(Proving, ChangesAreMarkedFromTheReadUntilTheNextReadOrAConfirmedWrite) {
    model.setText(Field::RecordingPeriod, "7");
    EXPECT_FALSE(model.marks(Field::RecordingPeriod).changed);  // nothing read yet
    bridge.plug(SimulatedTracker::configured("90001"));
    EXPECT_FALSE(model.marks(Field::RecordingPeriod).changed);

    model.setText(Field::RecordingPeriod, "7");
    model.setChecked(Field::WideRecording, !model.checked(Field::WideRecording));
    model.setChecked(Field::InputPeriodic3, true);
    for (Field f : {Field::RecordingPeriod, Field::WideRecording, Field::InputPeriodic3,
                    Field::InputOrdinary3}) {
        EXPECT_TRUE(model.marks(f).changed) << fieldInfo(f).name;
    }
    EXPECT_FALSE(model.marks(Field::SendingPeriod).changed);
    // Back to what was read: no change any more.
    model.setChecked(Field::InputOrdinary3, true);
    EXPECT_FALSE(model.marks(Field::InputPeriodic3).changed);

    // A profile marks what it changed, and nothing else.
    FieldModel profile;
    loadSettings(profile, {});
    profile.setText(Field::ServerPassword, model.text(Field::ServerPassword));
    ASSERT_FALSE(saveProfile(profile, folder / "p.ini").has_value());
    core.openProfileFile((folder / "p.ini").string());
    EXPECT_TRUE(model.marks(Field::AccessPoint).changed);  // the tracker's name, the profile's none
    EXPECT_FALSE(model.marks(Field::ServerPassword).changed);

    core.writeTracker();
    ASSERT_EQ(status(), "Данные успешно записаны в устройство");
    for (int i = 0; i < kFieldCount; ++i) {
        EXPECT_FALSE(model.marks(static_cast<Field>(i)).changed) << i;
    }
}

TEST_F(Proving, CtrlAltVComparesTheTrackerWithTheWindowAndMarksWhatDiffers) {
    auto& tracker = bridge.plug(SimulatedTracker::configured("90001"));
    core.compareWithTracker();
    EXPECT_EQ(status(), "Совпадает с трекером");
    EXPECT_EQ(model.statusColour(), StatusColour::Black);

    // What a write would make of the window's values is what is compared: a period of 0 is
    // written as 1.
    model.setText(Field::RecordingPeriod, "0");
    core.writeTracker();
    model.setText(Field::RecordingPeriod, "0");
    core.compareWithTracker();
    EXPECT_EQ(status(), "Совпадает с трекером");

    model.setText(Field::ServerPort, "9000");
    model.setText(Field::RecordingPeriod, "17");
    tracker.clearRecord();
    core.compareWithTracker();
    EXPECT_EQ(status(), "Отличается от трекера: Период записи точек, Порт сервера");
    EXPECT_EQ(model.statusColour(), StatusColour::Red);
    EXPECT_EQ(marked(&FieldMarks::differs),
              (std::vector<Field>{Field::ServerPort, Field::RecordingPeriod}));
    EXPECT_EQ(model.marks(Field::ServerPort).differs, "В трекере: «2224»");
    // Only asked: nothing was set.
    for (const auto& command : tracker.commands()) {
        EXPECT_EQ(command.find("SET"), std::string::npos) << command;
        EXPECT_EQ(command.find('='), std::string::npos) << command;
    }
    EXPECT_EQ(model.text(Field::ServerPort), "9000");  // the window keeps its own values

    // The tracker drops out while it is read back; what was found of it goes with it.
    tracker.injectFault({.kind = Fault::Kind::Unplug, .command = "GSERIP$"});
    core.compareWithTracker();
    EXPECT_EQ(status(), "Устройство отключено во время операции");
    EXPECT_TRUE(marked(&FieldMarks::differs).empty());
}

TEST_F(Proving, WithVerifyWriteEveryWriteIsReadBackAndOnlyAVerifiedOneIsRecorded) {
    auto& tracker = bridge.plug(SimulatedTracker::configured("90001"));
    model.setChecked(Field::VerifyAfterWrite, true);
    model.setText(Field::RecordingPeriod, "17");
    core.writeTracker();
    EXPECT_EQ(status(), "Данные записаны и проверены");
    EXPECT_EQ(model.statusColour(), StatusColour::Black);
    EXPECT_EQ(core.database().records().size(), 1u);

    core.database().clearRecords();
    model.setText(Field::RecordingPeriod, "18");
    tracker.injectFault({.kind = Fault::Kind::NotKept, .command = "FL_SET_RATE,"});
    core.writeTracker();
    EXPECT_EQ(status(),
              "Трекер хранит не то, что записано: Период записи точек: записано «18», "
              "в трекере «17»");
    EXPECT_EQ(model.statusColour(), StatusColour::Red);
    EXPECT_EQ(marked(&FieldMarks::differs), std::vector<Field>{Field::RecordingPeriod});
    EXPECT_EQ(core.database().records().size(), 0u);

    // Off, the write sends exactly what it always did: no read after it.
    model.setChecked(Field::VerifyAfterWrite, false);
    tracker.clearRecord();
    core.writeTracker();
    EXPECT_EQ(status(), "Данные успешно записаны в устройство");
    EXPECT_EQ(tracker.commands().back().rfind("FL_CHANGE_NDIST,", 0), 0u);
}

TEST_F(Proving, TheStatusLineTellsThePresentAfterARefusalAndAnUnplug) {
    bridge.plug(SimulatedTracker::configured("90001"));
    core.writeTracker();
    ASSERT_EQ(status(), "Данные успешно записаны в устройство");
    model.setText(Field::CounterPeriod12, "70000");
    core.writeTracker();
    EXPECT_NE(status().find("«Период записи показаний счётчиков 1,2» число 70000"),
              std::string::npos)
        << status();
    EXPECT_EQ(model.statusColour(), StatusColour::Red);
    model.setText(Field::CounterPeriod12, "3600");

    // Two trackers, and a device that is no tracker: the count follows the listing.
    auto& other = bridge.plug(SimulatedTracker::configured("FT0A1B2C"));
    other.usbDescription = "FT232R USB UART";
    bridge.plug(SimulatedTracker::configured("90002"));
    EXPECT_EQ(status(), "Подключено трекеров: 2. В окне трекер 90002");
    bridge.plug(SimulatedTracker::configured("90003"));
    EXPECT_EQ(status(), "Подключено трекеров: 3. В окне трекер 90003");
    bridge.unplug(0);  // 90001, not the one shown
    EXPECT_EQ(status(), "Подключено трекеров: 2. В окне трекер 90003");
    EXPECT_EQ(model.text(Field::SerialNumber), "90003");

    // The one shown goes: the next is read and shown.
    bridge.unplug(2);  // 90003
    EXPECT_EQ(model.text(Field::SerialNumber), "90002");
    core.writeTracker();
    ASSERT_EQ(status(), "Данные успешно записаны в устройство");
    // The last goes, the device that is no tracker stays: nothing of it is left on screen.
    const auto mac = model.text(Field::MacAddress);
    bridge.unplug(1);  // 90002
    EXPECT_EQ(status(), "Трекер 90002 отключён");
    EXPECT_EQ(model.text(Field::SerialNumber), ansi("Номер"));
    EXPECT_EQ(model.text(Field::FirmwareVersion), ansi("Прошивка"));
    EXPECT_FALSE(model.enabled(Field::WriteButton));
    EXPECT_EQ(model.text(Field::MacAddress), mac);  // the address last given stays shown
    EXPECT_EQ(model.currentSerial, 0);
}

}  // namespace
}  // namespace korvan

namespace korvan {
namespace {

TEST_F(Proving, WithoutADatabaseTheWriteAsksOnceAndACancelLeavesTheTrackerUntouched) {
    // A start without a database: the open dialog was cancelled.
    desktop.openAnswers = {std::nullopt};
    showDatabaseReport(model, core.database().startUp({}));
    auto& tracker = bridge.plug(SimulatedTracker::configured("90001"));
    tracker.clearRecord();
    desktop.saveAnswers = {std::nullopt};
    const int before = desktop.dialogsShown;
    core.writeTracker();
    EXPECT_EQ(desktop.dialogsShown - before, 1);
    EXPECT_TRUE(tracker.commands().empty());
    EXPECT_EQ(status(),
              "Трекер не записан: его нельзя будет внести в базу — не выбран файл базы устройств.");
    EXPECT_EQ(model.statusColour(), StatusColour::Red);

    // Named at the second try: the tracker is written and recorded, and nothing more is asked.
    desktop.saveAnswers = {(folder / "fleet.zcf").string()};
    core.writeTracker();
    EXPECT_EQ(desktop.dialogsShown - before, 2);
    EXPECT_EQ(status(), "Данные успешно записаны в устройство");
    EXPECT_NE(testing::readBytes(folder / "fleet.zcf").find("90001:"), std::string::npos);
    // The file chosen is the window's, and the settings keep it.
    EXPECT_EQ(model.databasePath, (folder / "fleet.zcf").string());
    EXPECT_EQ(model.text(Field::DatabaseName), "fleet.zcf");
    core.settingsPath = folder / "korvan.ini";
    core.windowClosing();
    FieldModel reloaded;
    loadSettings(reloaded, folder / "korvan.ini");
    EXPECT_EQ(reloaded.databasePath, (folder / "fleet.zcf").string());
}

}  // namespace
}  // namespace korvan
