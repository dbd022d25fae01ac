// Korvan with simulated trackers, for trying the program without hardware. A small window
// beside the main one plugs and unplugs them.
#include <QApplication>
#include <QMetaObject>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>

#include "core/configurator.h"
#include "sim/simulated_bridge.h"
#include "ui/application.h"
#include "ui/main_window.h"

namespace {

using korvan::sim::SimulatedBridge;
using korvan::sim::SimulatedTracker;

struct Socket {
    QString name;
    std::function<SimulatedTracker()> make;
};

// Plugs the tracker in when it is out, and pulls it out when it is in.
void toggle(SimulatedBridge& bridge, const Socket& socket, QPushButton* button) {
    const std::string serial = socket.make().usbSerial;
    for (std::size_t i = 0; i < bridge.attached(); ++i) {
        if (bridge.tracker(i).usbSerial == serial) {
            bridge.unplug(i);
            button->setText("Подключить " + socket.name);
            return;
        }
    }
    bridge.plug(socket.make());
    button->setText("Отключить " + socket.name);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    return korvan::ui::RunGuarded([&] {
        korvan::VirtualClock clock;
        SimulatedBridge bridge(clock);
        QWidget control;
        korvan::ui::ProgramSetup setup;
        setup.captionSuffix = " (трекер симулирован)";
        setup.beforeShow = [&](korvan::Configurator& core, korvan::ui::TOstrelForm& window) {
            bridge.onDevicesChanged = [&core, &window] {
                QMetaObject::invokeMethod(
                    &window, [&core] { core.DeviceChanged(); }, Qt::QueuedConnection);
            };
            bridge.plug(SimulatedTracker::Configured("90001"));

            control.setWindowTitle("Симулятор трекера");
            // Closing the main window ends the program, this one included.
            control.setAttribute(Qt::WA_QuitOnClose, false);
            control.setObjectName("SimulatorControl");
            auto* layout = new QVBoxLayout(&control);
            const Socket sockets[] = {
                {"трекер 90001", [] { return SimulatedTracker::Configured("90001"); }},
                {"стёртый трекер 90002", [] { return SimulatedTracker::Erased("90002"); }},
                {"второй трекер 90003", [] { return SimulatedTracker::Configured("90003"); }},
            };
            for (const auto& socket : sockets) {
                const bool in = socket.name.contains("90001");
                auto* button =
                    new QPushButton((in ? "Отключить " : "Подключить ") + socket.name, &control);
                layout->addWidget(button);
                QObject::connect(button, &QPushButton::clicked, button,
                                 [&bridge, socket, button] { toggle(bridge, socket, button); });
            }
            // Out of the way of the main window, which shows centred.
            if (const QScreen* screen = window.screen()) {
                control.move(screen->availableGeometry().topLeft() + QPoint(16, 16));
            }
            control.show();
        };
        return korvan::ui::RunProgram(bridge, clock, setup);
    });
}
