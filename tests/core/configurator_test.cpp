#include "core/configurator.h"

#include <gtest/gtest.h>

#include "settings/settings_file.h"
#include "sim/scripted_desktop.h"
#include "sim/simulated_bridge.h"
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
    sim::ScriptedDesktop desktop;
    Configurator core{bridge, clock, desktop};

    void SetUp() override {
        LoadSettings(core.model(), folder / "first-run.ini");
        core.model().DeviceMac = {0x00, 0x50, 0x25, 0, 0, 0};
        bridge.onDevicesChanged = [this] { core.DeviceChanged(); };
    }
    long opens() const {
        return std::count(bridge.calls().begin(), bridge.calls().end(), "setDivisor");
    }
};

TEST_F(Core, APluggedTrackerIsFoundReadAndReadyToWrite) {
    core.model().setEnabled(Field::Button5, false);
    bridge.plug(SimulatedTracker::Configured("90001"));
    EXPECT_EQ(core.model().text(Field::SerNum), "90001");
    EXPECT_EQ(core.model().text(Field::WiFiName), "Depot-North");
    EXPECT_TRUE(core.model().enabled(Field::Button5));
    EXPECT_EQ(core.model().text(Field::CommandInfo), ansi("Данные успешно считаны из устройства"));
    bridge.unplug(0);
    EXPECT_FALSE(core.model().enabled(Field::Button5));
    EXPECT_EQ(core.model().text(Field::SerNum), ansi("Номер"));
}

TEST_F(Core, ADeviceChangeDuringAWriteWaitsUntilTheWriteHasEnded) {
    bridge.plug(SimulatedTracker::Configured("90001"));
    core.model().setText(Field::DbFileName, "");  // the save asks for a file name
    long opensWhileDialogOpen = -1;
    desktop.saveAnswers = {(folder / "fleet.zcf").string()};
    desktop.whileDialogOpen = [&] {
        const long before = opens();
        bridge.plug(SimulatedTracker::Configured("90002"));  // its notification arrives now
        opensWhileDialogOpen = opens() - before;
        EXPECT_TRUE(core.operationRunning());
    };
    core.Button5Click();
    EXPECT_EQ(opensWhileDialogOpen, 0) << "a second link while the write's link was open";
    // Held, then handled once the write was over: the second tracker is read now.
    EXPECT_EQ(core.model().CurrentSerial, 90002);
    EXPECT_FALSE(core.link().isOpen());
    EXPECT_EQ(core.model().text(Field::CommandInfo),
              ansi("Подключено трекеров: 2. В окне трекер 90002"));
    EXPECT_EQ(core.database().records().size(), 1u);
}

TEST_F(Core, TheWriteGoesToTheTrackerShownWhereverItIsListed) {
    // A device that is no tracker comes first, then two trackers: the window shows the last
    // one found, and only that one hears the write, with its own serial number.
    auto& other = bridge.plug(SimulatedTracker::Configured("FT0A1B2C"));
    other.usbDescription = "FT232R USB UART";
    bridge.plug(SimulatedTracker::Configured("90001"));
    bridge.plug(SimulatedTracker::Configured("90002"));
    ASSERT_EQ(core.model().text(Field::SerNum), "90002");
    core.model().DatabasePath = (folder / "fleet.zcf").string();
    core.model().setText(Field::DbFileName, "fleet.zcf");
    for (std::size_t i = 0; i < 3; ++i) {
        bridge.tracker(i).clearRecord();
    }
    core.Button5Click();
    EXPECT_EQ(core.model().text(Field::CommandInfo), ansi("Данные успешно записаны в устройство"));
    EXPECT_TRUE(bridge.tracker(0).commands().empty());
    EXPECT_TRUE(bridge.tracker(1).commands().empty());
    const auto& heard = bridge.tracker(2).commands();
    EXPECT_EQ(std::count(heard.begin(), heard.end(), "GSM_SET_SERNUM,90002$"), 2);
    ASSERT_EQ(core.database().records().size(), 1u);
    EXPECT_EQ(core.database().records().begin()->serial, 90002);

    // The tracker shown is pulled out: the other is found and shown; once it goes too, the
    // device that is no tracker is never opened in its place.
    bridge.unplug(2);
    EXPECT_EQ(core.model().text(Field::SerNum), "90001");
    bridge.unplug(1);
    EXPECT_EQ(core.model().text(Field::SerNum), ansi("Номер"));
    core.Button1Click();
    EXPECT_TRUE(bridge.tracker(0).commands().empty());
    EXPECT_EQ(core.model().text(Field::CommandInfo), ansi("Ошибка при открытии порта USB"));
}

TEST_F(Core, TheHiddenReadButtonMarksTheStatusLineThenReads) {
    bridge.plug(SimulatedTracker::Configured("90001"));
    std::vector<std::string> shown;
    auto subscription = core.model().subscribe([&](Field f, Aspect a) {
        if (f == Field::CommandInfo && a == Aspect::Value) {
            shown.push_back(core.model().text(f));
        }
    });
    core.Button2Click();
    ASSERT_FALSE(shown.empty());
    EXPECT_EQ(shown.front(), "!");
    EXPECT_EQ(shown.back(), ansi("Данные успешно считаны из устройства"));
}

}  // namespace
}  // namespace korvan
