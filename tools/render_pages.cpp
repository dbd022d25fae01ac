// Renders every page of both views of the window to PNG files, as a person would see them,
// with a simulated tracker's configuration read in. Usage: korvan-render-pages <folder>
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTabWidget>
#include <cstdio>

#include "core/configurator.h"
#include "sim/scripted_desktop.h"
#include "sim/simulated_bridge.h"
#include "ui/button_tabs.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    folder.mkpath(".");

    korvan::VirtualClock clock;
    korvan::sim::SimulatedBridge bridge(clock);
    // A first start: no settings file, and the database named in the open dialog.
    korvan::sim::ScriptedDesktop desktop;
    desktop.openFallback = folder.filePath("fleet.zcf").toStdString();
    korvan::Configurator core(bridge, clock, desktop);
    core.SettingsPath = folder.filePath("absent.ini").toStdString();

    korvan::ui::TOstrelForm window(core);
    window.setWindowTitle("Korvan");
    window.show();
    // The window's start runs first (settings, database); then the tracker is plugged in and
    // read, so that the pages show what was read, with the MAC of its serial number.
    app.processEvents();
    bridge.plug(korvan::sim::SimulatedTracker::Configured("90001"));
    core.DeviceChanged();
    app.processEvents();
    if (core.model().text(korvan::Field::SerNum) != "90001") {
        std::fprintf(stderr, "the tracker was not read\n");
        return 1;
    }

    int written = 0;
    auto save = [&](const QString& name) {
        app.processEvents();
        if (window.grab().save(folder.filePath(name + ".png"))) {
            ++written;
        }
    };
    auto* extended = window.PageControl1();
    for (int i = 0; i < 7; ++i) {
        extended->setCurrentIndex(i);
        save(QString("extended-%1-%2").arg(i + 1).arg(extended->page(i)->objectName()));
    }
    window.PageControl2()->setCurrentIndex(0);
    for (int i = 0; i < 2; ++i) {
        window.PageControl3()->setCurrentIndex(i);
        save(
            QString("simple-%1-%2").arg(i + 1).arg(window.PageControl3()->widget(i)->objectName()));
    }
    std::printf("%d pages rendered into %s\n", written, argv[1]);
    return written == 9 ? 0 : 1;
}
