// Korvan with the real USB bridge.
#include <QApplication>
#include <QMetaObject>

#include "core/configurator.h"
#include "link/ftdi_bridge.h"
#include "link/usb_watcher.h"
#include "ui/application.h"
#include "ui/main_window.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    return korvan::ui::RunGuarded([&] {
        korvan::FtdiBridge bridge;
        korvan::SteadyClock clock;
        std::unique_ptr<korvan::UsbWatcher> watcher;
        korvan::ui::ProgramSetup setup;
        setup.beforeShow = [&watcher](korvan::Configurator& core, korvan::ui::TOstrelForm& window) {
            // Devices come and go on the watcher's thread; detection runs on the window's.
            watcher = std::make_unique<korvan::UsbWatcher>([&core, &window] {
                QMetaObject::invokeMethod(
                    &window, [&core] { core.DeviceChanged(); }, Qt::QueuedConnection);
            });
        };
        // The watcher's thread calls into the window: it stops before the window goes.
        setup.afterLoop = [&watcher] { watcher.reset(); };
        return korvan::ui::RunProgram(bridge, clock, setup);
    });
}
