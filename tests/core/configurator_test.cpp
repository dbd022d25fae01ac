#include "core/configurator.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <utility>

#include "core/scripted_desktop.h"
#include "settings/settings_file.h"
#include "settings/tracker_profile.h"
#include "sim/simulated_bridge.h"
#include "tests/support/form_operations.h"
#include "tests/support/temp_folder.h"

namespace korvan {
namespace {

using sim::SimulatedTracker;
using testing::ansi;

class Core : public ::testing::Test {
  protected:
    testing::TempFolder folder;
    VirtualClock clock;
    sim::SimulatedBridge bridge{clock};
    ScriptedDesktop desktop;
    Configurator core{bridge, clock, desktop};

    void SetUp() override {
        loadSettings(core.model(), folder / "first-run.ini");
        core.model().deviceMac = {0x00, 0x50, 0x25, 0, 0, 0};
        bridge.onDevicesChanged = [this] { core.devicesChanged(); };
    }
    // An empty database, written and opened; or `contents` instead.
    std::filesystem::path openDatabase(const char* name,
                                       std::string_view contents = kEmptyDatabase) {
        const auto file = folder / name;
        testing::writeBytes(file, contents);
        testing::nameDatabase(core.model(), core.database(), file.string());
        showDatabaseReport(core.model(), core.database().openLast());
        return file;
    }
    static constexpr std::string_view kEmptyDatabase = "Zentracor database 1.3\r\n0 records\r\n";
    long opens() const {
        return std::count(bridge.calls().begin(), bridge.calls().end(), "setDivisor");
    }
};

TEST_F(Core, APluggedTrackerIsFoundReadAndReadyToWrite) {
    core.model().setEnabled(Field::WriteButton, false);
    bridge.plug(SimulatedTracker::configured("90001"));
    EXPECT_EQ(core.model().text(Field::SerialNumber), "90001");
    EXPECT_EQ(core.model().text(Field::AccessPoint), "Depot-North");
    EXPECT_TRUE(core.model().enabled(Field::WriteButton));
    EXPECT_EQ(core.model().text(Field::StatusLine), ansi("Данные успешно считаны из устройства"));
    bridge.unplug(0);
    EXPECT_FALSE(core.model().enabled(Field::WriteButton));
    EXPECT_EQ(core.model().text(Field::SerialNumber), ansi("Номер"));
}

TEST_F(Core, ADeviceChangeDuringAWriteWaitsUntilTheWriteHasEnded) {
    bridge.plug(SimulatedTracker::configured("90001"));
    // No database is named: the save asks for a file name.
    long opensWhileDialogOpen = -1;
    desktop.saveAnswers = {(folder / "fleet.zcf").string()};
    bridge.clearCalls();
    desktop.whileDialogOpen = [&] {
        // The file is asked for before the tracker is touched.
        EXPECT_EQ(opens(), 0);
        const long before = opens();
        bridge.plug(SimulatedTracker::configured("90002"));  // its notification arrives now
        opensWhileDialogOpen = opens() - before;
        EXPECT_TRUE(core.operationRunning());
    };
    core.writeTracker();
    EXPECT_EQ(opensWhileDialogOpen, 0) << "a second link while the write's link was open";
    // Held, then handled once the write was over: the second tracker is read now.
    EXPECT_EQ(core.model().currentSerial, 90002);
    EXPECT_FALSE(core.link().isOpen());
    EXPECT_EQ(core.model().text(Field::StatusLine),
              ansi("Подключено трекеров: 2. В окне трекер 90002"));
    EXPECT_EQ(core.database().records().size(), 1u);
}

TEST_F(Core, TheWriteGoesToTheTrackerShownWhereverItIsListed) {
    // A device that is no tracker comes first, then two trackers: the window shows the last
    // one found, and only that one hears the write, with its own serial number.
    auto& other = bridge.plug(SimulatedTracker::configured("FT0A1B2C"));
    other.usbDescription = "FT232R USB UART";
    bridge.plug(SimulatedTracker::configured("90001"));
    bridge.plug(SimulatedTracker::configured("90002"));
    ASSERT_EQ(core.model().text(Field::SerialNumber), "90002");
    testing::nameDatabase(core.model(), core.database(), (folder / "fleet.zcf").string());
    for (std::size_t i = 0; i < 3; ++i) {
        bridge.tracker(i).clearRecord();
    }
    core.writeTracker();
    EXPECT_EQ(core.model().text(Field::StatusLine), ansi("Данные успешно записаны в устройство"));
    EXPECT_TRUE(bridge.tracker(0).commands().empty());
    EXPECT_TRUE(bridge.tracker(1).commands().empty());
    const auto& heard = bridge.tracker(2).commands();
    EXPECT_EQ(std::count(heard.begin(), heard.end(), "GSM_SET_SERNUM,90002$"), 2);
    ASSERT_EQ(core.database().records().size(), 1u);
    EXPECT_EQ(core.database().records().begin()->serial, 90002);

    // The tracker shown is pulled out: the other is found and shown; once it goes too, the
    // device that is no tracker is never opened in its place.
    bridge.unplug(2);
    EXPECT_EQ(core.model().text(Field::SerialNumber), "90001");
    bridge.unplug(1);
    EXPECT_EQ(core.model().text(Field::SerialNumber), ansi("Номер"));
    core.readTracker();
    EXPECT_TRUE(bridge.tracker(0).commands().empty());
    EXPECT_EQ(core.model().text(Field::StatusLine), ansi("Ошибка при открытии порта USB"));
}

TEST_F(Core, AWriteButtonTurnedOffByTheWrongPasswordComesBackOnceItHasEightCharacters) {
    bridge.plug(SimulatedTracker::configured("90001"));
    ASSERT_TRUE(core.model().enabled(Field::WriteButton));
    core.model().setText(Field::ServerPassword, "short");
    core.writeTracker();
    EXPECT_FALSE(core.model().enabled(Field::WriteButton));
    core.model().setText(Field::ServerPassword, "shortr7");
    EXPECT_FALSE(core.model().enabled(Field::WriteButton));
    core.model().setText(Field::ServerPassword, "shortr78");
    EXPECT_TRUE(core.model().enabled(Field::WriteButton));

    // Once the tracker has gone, a mended password gives no write button to a tracker absent.
    core.model().setText(Field::ServerPassword, "short");
    core.writeTracker();
    bridge.unplug(0);
    core.model().setText(Field::ServerPassword, "shortr78");
    EXPECT_FALSE(core.model().enabled(Field::WriteButton));
}

TEST_F(Core, ARecordTheDatabaseCouldNotSaveIsToldAndKeptForTheNextSave) {
    bridge.plug(SimulatedTracker::configured("90001"));
    const auto file = openDatabase("fleet.zcf");
    for (bool mended : {true, false}) {
        SCOPED_TRACE(mended);
        std::filesystem::permissions(file, std::filesystem::perms::owner_read);
        desktop.messages.clear();
        core.writeTracker();
        EXPECT_EQ(core.model().text(Field::StatusLine),
                  ansi("Данные успешно записаны в устройство"));
        ASSERT_EQ(desktop.messages.size(), 1u);
        EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Error);
        EXPECT_NE(desktop.messages[0].text.find("90001"), std::string::npos);
        EXPECT_EQ(core.database().records().size(), 1u);
        EXPECT_EQ(testing::readBytes(file).find("90001"), std::string::npos);
        if (mended) {
            // The technician makes the file writable again; the next save has the record.
            std::filesystem::permissions(file, std::filesystem::perms::owner_all);
            core.writeTracker();
            EXPECT_NE(testing::readBytes(file).find("90001:"), std::string::npos);
            std::filesystem::remove(file);
            openDatabase("fleet.zcf");
        }
    }
    // Closing tries once more, and says what it could not keep.
    desktop.messages.clear();
    core.windowClosing();
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Error);
}

TEST_F(Core, ClosingSavesARecordThatCouldNotBeSavedAfterItsWrite) {
    bridge.plug(SimulatedTracker::configured("90001"));
    const auto file = openDatabase("fleet.zcf");
    std::filesystem::permissions(file, std::filesystem::perms::owner_read);
    core.writeTracker();
    std::filesystem::permissions(file, std::filesystem::perms::owner_all);
    desktop.messages.clear();
    core.windowClosing();
    EXPECT_TRUE(desktop.messages.empty());
    EXPECT_NE(testing::readBytes(file).find("90001:"), std::string::npos);
}

TEST_F(Core, ADatabaseNamedAtTheStartIsOpenedInsteadOfTheLastOne) {
    const auto last = openDatabase("last.zcf");
    const auto settings = folder / "korvan.ini";
    ASSERT_TRUE(saveSettings(core.model(), settings).ok);
    const auto named = folder / "named.zcf";
    testing::writeBytes(named, kEmptyDatabase);

    Configurator started{bridge, clock, desktop};
    started.settingsPath = settings;
    // As the file manager gives it: relative to the folder the program starts in.
    const auto here = std::filesystem::current_path();
    std::filesystem::current_path(folder.path());
    started.databaseToOpen = "named.zcf";
    const int dialogsBefore = desktop.dialogsShown;
    started.windowShown({});
    std::filesystem::current_path(here);
    EXPECT_EQ(desktop.dialogsShown, dialogsBefore);
    EXPECT_EQ(started.model().databasePath, named.string());
    EXPECT_EQ(started.model().text(Field::DatabaseName), "named.zcf");
    // It is the one remembered from now on.
    started.windowClosing();
    FieldModel reloaded;
    loadSettings(reloaded, settings);
    EXPECT_EQ(reloaded.databasePath, named.string());
    EXPECT_NE(reloaded.databasePath, last.string());
}

TEST_F(Core, TheDatabaseIsNamedBeforeTheWireAndOnlyForAWriteThatWillStart) {
    bridge.plug(SimulatedTracker::configured("90001"));
    // A database whose file could not be read must not be saved over: the write asks for
    // another name, and asks before the tracker is touched.
    const auto unreadable = openDatabase("old.zcf", "not a database\r\n");
    core.model().setText(Field::ServerPassword, "short");
    desktop.saveAnswers = {(folder / "fleet.zcf").string()};
    bool asked = false;
    desktop.whileDialogOpen = [&] { asked = true; };
    core.writeTracker();  // refused for its password: nothing asked
    EXPECT_FALSE(asked);
    core.model().setText(Field::ServerPassword, "shortr78");
    bridge.clearCalls();
    desktop.whileDialogOpen = [&] {
        asked = true;
        EXPECT_EQ(opens(), 0);
    };
    core.writeTracker();
    EXPECT_TRUE(asked);
    EXPECT_EQ(testing::readBytes(unreadable), "not a database\r\n");
    EXPECT_NE(testing::readBytes(folder / "fleet.zcf").find("90001:"), std::string::npos);
}

TEST_F(Core, OpeningAnotherDatabaseNeverDropsAnUnsavedRecordInSilence) {
    bridge.plug(SimulatedTracker::configured("90001"));
    const auto file = openDatabase("fleet.zcf");
    std::filesystem::permissions(file, std::filesystem::perms::owner_read);
    core.writeTracker();
    ASSERT_TRUE(core.database().hasUnsavedRecords());
    // Declined: the list stays as it is, and so does the file chosen.
    desktop.confirmAnswer = false;
    desktop.openAnswers = {(folder / "other.zcf").string()};
    core.openDatabase();
    EXPECT_EQ(core.database().records().size(), 1u);
    EXPECT_EQ(core.model().databasePath, file.string());
    // The file is writable again: the record is saved before the other file is opened.
    std::filesystem::permissions(file, std::filesystem::perms::owner_all);
    core.openDatabase();
    EXPECT_NE(testing::readBytes(file).find("90001:"), std::string::npos);
    EXPECT_FALSE(core.database().hasUnsavedRecords());
}

TEST_F(Core, TheHiddenReadButtonMarksTheStatusLineThenReads) {
    bridge.plug(SimulatedTracker::configured("90001"));
    std::vector<std::string> shown;
    auto subscription = core.model().subscribe([&](Field f, Aspect a) {
        if (f == Field::StatusLine && a == Aspect::Value) {
            shown.push_back(core.model().text(f));
        }
    });
    core.readTrackerAfresh();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), "!");
    EXPECT_EQ(shown.back(), ansi("Данные успешно считаны из устройства"));
}

TEST_F(Core, AProfileIsSavedAndLoadedThroughItsDialogsOrADropAndFaultsAreShown) {
    auto& model = core.model();
    model.setEnabled(Field::WriteButton, false);       // no tracker to write to
    model.setText(Field::ServerPassword, "Fleet_17");  // a profile is judged by the write's rules
    model.setText(Field::AccessPoint, "Depot-West");
    const auto path = (folder / "депо.ini").string();
    desktop.profileSaveAnswers = {path};
    core.saveProfile();
    EXPECT_EQ(testing::readBytes(path), profileText(model));
    EXPECT_EQ(model.text(Field::StatusLine), ansi("Профиль депо.ini сохранён"));
    EXPECT_EQ(model.statusColour(), StatusColour::Black);

    model.setText(Field::AccessPoint, "Other");
    desktop.profileOpenAnswers = {std::nullopt, path};
    core.openProfile();  // cancelled
    EXPECT_EQ(model.text(Field::AccessPoint), "Other");
    core.openProfile();
    EXPECT_EQ(model.text(Field::AccessPoint), "Depot-West");
    EXPECT_EQ(model.text(Field::StatusLine), ansi("Профиль депо.ini загружен"));
    EXPECT_FALSE(model.enabled(Field::WriteButton));
    EXPECT_TRUE(desktop.messages.empty());

    // A profile at fault is shown with its line, and the fields stay as they were.
    const auto bad = folder / "bad.ini";
    testing::writeBytes(bad, profileText(model) + "[NET]\r\n");
    model.setText(Field::AccessPoint, "Other");
    core.openProfileFile(bad.string());
    EXPECT_EQ(model.text(Field::AccessPoint), "Other");
    EXPECT_EQ(model.text(Field::StatusLine), ansi("Профиль bad.ini не загружен"));
    EXPECT_EQ(model.statusColour(), StatusColour::Red);
    ASSERT_EQ(desktop.messages.size(), 1u);
    EXPECT_EQ(desktop.messages[0].icon, MessageIcon::Error);
    EXPECT_EQ(desktop.messages[0].text.rfind("Профиль bad.ini не загружен.\nСтрока ", 0), 0u)
        << desktop.messages[0].text;

    desktop.profileSaveAnswers = {(folder / "нет" / "p.ini").string()};
    core.saveProfile();
    EXPECT_EQ(model.text(Field::StatusLine), ansi("Профиль p.ini не сохранён"));
    ASSERT_EQ(desktop.messages.size(), 2u);
    EXPECT_NE(desktop.messages[1].text.find("нет"), std::string::npos);
}

TEST_F(Core, ProfilesWaitForTheOperationAndLeaveTheTrackerShownAsItIs) {
    bridge.plug(SimulatedTracker::configured("90001"));
    const auto path = folder / "west.ini";
    {
        FieldModel west;
        loadSettings(west, {});
        west.setText(Field::ServerPassword,
                     "Fleet_17");  // a profile is judged by the write's rules
        west.setText(Field::AccessPoint, "Depot-West");
        ASSERT_EQ(saveProfile(west, path), std::nullopt);
    }
    // No database is named: the write asks for the database's file.
    desktop.saveAnswers = {(folder / "fleet.zcf").string()};
    int dialogsMeanwhile = -1;
    bool inside = false;
    desktop.whileDialogOpen = [&] {
        if (std::exchange(inside, true)) {
            return;  // a dialog the profile handlers opened after all
        }
        const int before = desktop.dialogsShown;
        core.saveProfile();
        core.openProfile();
        core.openProfileFile(path.string());
        dialogsMeanwhile = desktop.dialogsShown - before;
    };
    core.writeTracker();
    EXPECT_EQ(dialogsMeanwhile, 0);
    EXPECT_EQ(core.model().text(Field::AccessPoint), "Depot-North");

    const auto mac = core.model().text(Field::MacAddress);
    const auto firmware = core.model().text(Field::FirmwareVersion);
    core.openProfileFile(path.string());
    EXPECT_EQ(core.model().text(Field::AccessPoint), "Depot-West");
    EXPECT_EQ(core.model().text(Field::SerialNumber), "90001");
    EXPECT_EQ(core.model().currentSerial, 90001);
    EXPECT_EQ(core.model().text(Field::MacAddress), mac);
    EXPECT_EQ(core.model().text(Field::FirmwareVersion), firmware);
    EXPECT_TRUE(core.model().enabled(Field::WriteButton));
}

}  // namespace
}  // namespace korvan
