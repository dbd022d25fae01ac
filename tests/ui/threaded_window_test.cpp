// The window as the programs run it: device work on the worker, reaching the window through
// its event loop, with a tracker at wire speed.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProgressBar>
#include <QPushButton>

#include "core/configurator.h"
#include "core/device_worker.h"
#include "core/scripted_desktop.h"
#include "settings/settings_file.h"
#include "sim/simulated_bridge.h"
#include "tests/support/temp_folder.h"
#include "ui/main_window.h"
#include "ui/qt_window_thread.h"

namespace korvan {
namespace {

using testing::ansi;

// Turns the event loop until `done` holds; false when a generous while passed first.
template <typename Done>
bool settleUntil(Done done) {
    QElapsedTimer waited;
    waited.start();
    while (!done()) {
        if (waited.elapsed() > 20000) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

TEST(ThreadedWindow, ReadsAndWritesOnTheWorkerAndSaysWhenItIsOver) {
    testing::TempFolder folder;
    SteadyClock clock;
    sim::SimulatedBridge bridge(clock);
    ScriptedDesktop desktop;
    desktop.openFallback = desktop.saveFallback = (folder / "fleet.zcf").string();
    ui::QtWindowThread windowThread;
    DeviceWorker worker;
    Configurator core(bridge, clock, desktop, worker, windowThread);
    core.settingsPath = folder / "korvan.ini";
    ui::MainWindow window(core);
    bridge.onDevicesChanged = [&] {
        QMetaObject::invokeMethod(
            &window, [&] { core.devicesChanged(); }, Qt::QueuedConnection);
    };
    // The form's own listener stays; this one notes what a listener sees at the end.
    bool endedWhileStillBusy = false;
    int ends = 0;
    const auto formListener = core.operationChanged;
    core.operationChanged = [&] {
        formListener();
        if (!core.operation().running) {
            ++ends;
            endedWhileStillBusy = endedWhileStillBusy || core.operationRunning();
        }
    };
    window.show();
    bridge.plug(sim::SimulatedTracker::configured("90001"));
    auto* write = window.findChild<QPushButton*>("Button5");
    ASSERT_TRUE(settleUntil(
        [&] { return core.model().currentSerial == 90001 && !core.operationRunning(); }));
    EXPECT_TRUE(write->isEnabled());
    EXPECT_EQ(core.model().text(Field::StatusLine), ansi("Данные успешно считаны из устройства"));

    auto* progress = window.findChild<QProgressBar*>("OperationProgress");
    bool progressShown = false;
    write->click();
    EXPECT_TRUE(core.operationRunning());  // the click returned at once
    ASSERT_TRUE(settleUntil([&] {
        progressShown = progressShown || progress->isVisible();
        return !core.operationRunning();
    }));
    EXPECT_TRUE(progressShown);
    EXPECT_FALSE(progress->isVisible());
    EXPECT_EQ(core.model().text(Field::StatusLine), ansi("Данные успешно записаны в устройство"));
    EXPECT_EQ(core.database().records().size(), 1u);
    EXPECT_GE(ends, 2);
    EXPECT_FALSE(endedWhileStillBusy);
    EXPECT_FALSE(core.link().isOpen());
    window.close();
}

}  // namespace
}  // namespace korvan
