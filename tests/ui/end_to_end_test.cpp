// The whole program in one window, on a simulated tracker with scripted dialogs: from start-up
// with a settings file and a database, through reading, editing and writing a tracker, pulling
// it out and in again and copying its debug log, to the settings saved on closing.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include "core/configurator.h"
#include "core/scripted_desktop.h"
#include "sim/simulated_bridge.h"
#include "tests/support/temp_folder.h"
#include "ui/main_window.h"

namespace korvan {
namespace {

using testing::ansi;
using testing::readBytes;
using testing::writeBytes;

TEST(EndToEnd, ATechnicianReadsEditsWritesAndCopiesTheLog) {
    testing::TempFolder folder;
    writeBytes(folder / "korvan.ini", ansi("[DEVICE]\r\nPeriodDef=10\r\n[FILE]\r\nLastBegeDB=" +
                                           (folder / "fleet").string() + "\r\n"));
    writeBytes(folder / "fleet.zcf",
               "Zentracor database 1.3\r\n1 records\r\n00005:\tPASSWORD=abcdefgh;\r\n");

    VirtualClock clock;
    sim::SimulatedBridge bridge(clock);
    ScriptedDesktop desktop;
    Configurator core(bridge, clock, desktop);
    core.settingsPath = folder / "korvan.ini";
    auto window = std::make_unique<ui::MainWindow>(core);
    bridge.onDevicesChanged = [&] {
        QMetaObject::invokeMethod(
            window.get(), [&] { core.devicesChanged(); }, Qt::QueuedConnection);
    };
    auto& model = core.model();
    auto edit = [&](const char* name) { return window->findChild<QLineEdit*>(name); };
    auto settle = [] { QCoreApplication::processEvents(); };

    // Start-up: the settings and the last database.
    window->show();
    settle();
    EXPECT_EQ(edit("Edit1")->text(), "10");
    EXPECT_EQ(window->findChild<QLabel*>("DbFileName")->text(), "fleet.zcf");
    EXPECT_EQ(window->findChild<QLabel*>("MacView")->text(), "00 50 25 00 00 00");
    EXPECT_FALSE(window->findChild<QPushButton*>("Button5")->isEnabled());

    // The tracker is plugged in, found and read.
    auto& tracker = bridge.plug(sim::SimulatedTracker::configured("90001"));
    settle();
    EXPECT_EQ(window->findChild<QLabel*>("SerNum")->text(), "90001");
    EXPECT_EQ(edit("WiFiName")->text(), "Depot-North");
    EXPECT_TRUE(window->findChild<QPushButton*>("Button5")->isEnabled());

    // Edited through the widgets and written.
    edit("Edit1")->setFocus();
    edit("Edit1")->selectAll();
    QTest::keyClicks(edit("Edit1"), "30");
    edit("WiFiName")->selectAll();
    QTest::keyClicks(edit("WiFiName"), "Yard_7");
    window->findChild<QRadioButton*>("RadioButton6")->click();
    edit("DevIP")->selectAll();
    QTest::keyClicks(edit("DevIP"), "10.0.0.9");
    tracker.clearRecord();
    window->findChild<QPushButton*>("Button5")->click();
    settle();
    const auto& sent = tracker.commands();
    for (const char* command :
         {"DHCP=0;$", "WFPOINT=Yard_7;$", "DEVIP=10.0.0.9;$", "DEVMAC=00 50 25 00 00 02;$",
          "FL_SET_RATE,30,0$", "FL_CHANGE_NDIST,1$"}) {
        EXPECT_NE(std::find(sent.begin(), sent.end(), command), sent.end()) << command;
    }
    EXPECT_EQ(tracker.settings.accessPoint, "Yard_7");
    EXPECT_EQ(model.text(Field::StatusLine), ansi("Данные успешно записаны в устройство"));
    EXPECT_EQ(model.statusColour(), StatusColour::Black);
    const std::string database = readBytes(folder / "fleet.zcf");
    EXPECT_NE(database.find("2 records\r\n00005:\tPASSWORD=abcdefgh;"), std::string::npos);
    EXPECT_NE(database.find("90001:\tPASSWORD=Fleet_07;\tTELNUM=;\tPIN=;\tPERIODWR=30;"),
              std::string::npos);
    EXPECT_TRUE(std::filesystem::exists(folder / "fleet-srv.zcf"));

    // Pulled out and plugged in again: forgotten, then found and read again.
    bridge.unplug(0);
    settle();
    EXPECT_EQ(window->findChild<QLabel*>("SerNum")->text(), QString::fromUtf8("Номер"));
    EXPECT_FALSE(window->findChild<QPushButton*>("Button5")->isEnabled());
    bridge.plug(sim::SimulatedTracker::configured("90001"));
    settle();
    EXPECT_TRUE(window->findChild<QPushButton*>("Button5")->isEnabled());
    EXPECT_EQ(edit("WiFiName")->text(), "Depot-North");

    // Ctrl+Alt+R, whichever control has the focus, copies the debug log.
    desktop.logAnswers = {(folder / "log.bin").string()};
    edit("ip")->setFocus();
    QTest::keyClick(edit("ip"), Qt::Key_R, Qt::ControlModifier | Qt::AltModifier);
    ASSERT_FALSE(desktop.messages.empty());
    EXPECT_EQ(desktop.messages.back().text, "Отладочный журнал успешно считан.");
    EXPECT_EQ(std::filesystem::file_size(folder / "log.bin"), 600u);
    EXPECT_EQ(edit("ip")->text(), "192.0.2.10");  // the key never reached the box

    // Closing saves the settings: the fields as the tracker plugged in last gave them.
    edit("Usr2")->setFocus();
    QTest::keyClick(edit("Usr2"), Qt::Key_Backspace);
    window->close();
    const std::string settings = readBytes(folder / "korvan.ini");
    EXPECT_NE(settings.find("PeriodDef=10\r\n"), std::string::npos);
    EXPECT_NE(settings.find("Usr2=1\r\n"), std::string::npos);
    EXPECT_NE(settings.find("WiFiName=Depot-North\r\n"), std::string::npos);
    EXPECT_NE(settings.find(ansi("LastBegeDB=" + (folder / "fleet.zcf").string())),
              std::string::npos);
    EXPECT_NE(settings.find("AutoIP=1\r\n"), std::string::npos);  // read back from the tracker
}

}  // namespace
}  // namespace korvan
