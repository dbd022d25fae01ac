// Korvan with the real USB bridge.
#include <QApplication>
#include <QMetaObject>
#include <iostream>

#include "core/configurator.h"
#include "link/ftdi_bridge.h"
#include "link/usb_watcher.h"
#include "options/program_options.h"
#include "ui/application.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
    // Help and version need no display: the command line is read before Qt looks for one.
    auto commandLine = korvan::parseWindowCommandLine(
        "korvan", "Korvan: настройка GPS-трекеров Zentracor с модулем Wi-Fi через USB.", argc, argv,
        std::cout, std::cerr);
    if (commandLine.exitStatus) {
        return *commandLine.exitStatus;
    }
    QApplication application(argc, argv);
    const int status = korvan::ui::runGuarded([&] {
        korvan::FtdiBridge bridge;
        korvan::SteadyClock clock;
        std::unique_ptr<korvan::UsbWatcher> watcher;
        korvan::ui::ProgramSetup setup;
        setup.verbose = commandLine.options.verbose;
        setup.traceFile = commandLine.trace.get();
        setup.databaseFile = commandLine.databaseFile;
        setup.beforeShow = [&watcher](korvan::Configurator& core, korvan::ui::MainWindow& window) {
            // Devices come and go on the watcher's thread; detection runs on the window's.
            watcher = std::make_unique<korvan::UsbWatcher>([&core, &window] {
                QMetaObject::invokeMethod(
                    &window, [&core] { core.devicesChanged(); }, Qt::QueuedConnection);
            });
        };
        // The watcher's thread calls into the window: it stops before the window goes.
        setup.afterLoop = [&watcher] { watcher.reset(); };
        return korvan::ui::runProgram(bridge, clock, setup);
    });
    return korvan::statusAfterTrace("korvan", commandLine.options, commandLine.trace.get(), status,
                                    std::cerr);
}
