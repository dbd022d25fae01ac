// Korvan with simulated trackers, for trying the program without hardware. A small window
// beside the main one plugs and unplugs them. The trackers answer at the wire's own speed, so
// that a person sees the window stay alive while a tracker takes its time.
#include <QApplication>
#include <QMetaObject>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <QWidget>
#include <algorithm>
#include <iostream>
#include <limits>
#include <vector>

#include "core/configurator.h"
#include "options/program_options.h"
#include "sim/simulated_bridge.h"
#include "ui/application.h"
#include "ui/main_window.h"

namespace {

using korvan::sim::SimulatedBridge;
using korvan::sim::SimulatedTracker;

struct Socket {
    QString name;
    std::function<SimulatedTracker()> make;
    QPushButton* button = nullptr;
};

bool attached(const SimulatedBridge& bridge, const std::string& serial) {
    const auto serials = bridge.attachedSerials();
    return std::find(serials.begin(), serials.end(), serial) != serials.end();
}

// Plugs the tracker in when it is out, and pulls it out when it is in. The worker may pull a
// tracker out meanwhile: the bridge looks and unplugs under its own lock. A tracker plugged in
// again keeps what was written into it, as a real one does.
void toggle(SimulatedBridge& bridge, const Socket& socket) {
    const std::string usbSerial = socket.make().usbSerial;
    if (!bridge.unplugSerial(usbSerial) && !bridge.replug(usbSerial)) {
        bridge.plug(socket.make());
    }
}

// Each button says what it will do, also after a tracker pulled itself out.
void refresh(SimulatedBridge& bridge, const std::vector<Socket>& sockets) {
    for (const Socket& socket : sockets) {
        const bool in = attached(bridge, socket.make().usbSerial);
        socket.button->setText((in ? "Отключить " : "Подключить ") + socket.name);
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Help and version need no display: the command line is read before Qt looks for one.
    auto commandLine = korvan::parseWindowCommandLine(
        "korvan-sim",
        "Korvan с симулированными трекерами вместо USB: окно программы и окно симулятора, что "
        "подключает и отключает трекеры.",
        argc, argv, std::cout, std::cerr);
    if (commandLine.exitStatus) {
        return *commandLine.exitStatus;
    }
    QApplication application(argc, argv);
    const int status = korvan::ui::runGuarded([&] {
        korvan::SteadyClock clock;
        SimulatedBridge bridge(clock);
        QWidget control;
        std::vector<Socket> sockets = {
            {"трекер 90001", [] { return SimulatedTracker::configured("90001"); }},
            {"стёртый трекер 90002", [] { return SimulatedTracker::erased("90002"); }},
            {"второй трекер 90003", [] { return SimulatedTracker::configured("90003"); }},
            {"немой трекер 90004", [] { return SimulatedTracker::muted("90004"); }},
            {"трекер 90005, что выпадет при записи",
             [] { return SimulatedTracker::pulledOutDuringWrite("90005"); }},
            {"трекер 90006 без режима работы и расширенной записи",
             [] {
                 // A firmware that knows neither query: the read names what it missed.
                 auto tracker = SimulatedTracker::configured("90006");
                 for (const char* query : {"FL_GET_MODE$", "FL_GET_WIDE$"}) {
                     tracker.injectFault({.kind = korvan::sim::Fault::Kind::NoReply,
                                          .command = query,
                                          .times = std::numeric_limits<int>::max() / 2});
                 }
                 return tracker;
             }},
            {"трекер 90007, что не сохраняет порт сервера",
             [] {
                 // It answers the port's setting as taken and keeps the one it had: only
                 // reading it back (Ctrl+Alt+V, or the option to check after a write) tells.
                 auto tracker = SimulatedTracker::configured("90007");
                 tracker.injectFault({.kind = korvan::sim::Fault::Kind::NotKept,
                                      .command = "SERPORT=",
                                      .times = std::numeric_limits<int>::max() / 2});
                 return tracker;
             }},
        };
        korvan::ui::ProgramSetup setup;
        setup.verbose = commandLine.options.verbose;
        setup.traceFile = commandLine.trace.get();
        setup.databaseFile = commandLine.databaseFile;
        setup.captionSuffix = " (трекер симулирован)";
        setup.desktopFileName = "korvan-sim";
        setup.beforeShow = [&](korvan::Configurator& core, korvan::ui::MainWindow& window) {
            control.setWindowTitle("Симулятор трекера");
            // Closing the main window ends the program, this one included.
            control.setAttribute(Qt::WA_QuitOnClose, false);
            control.setObjectName("SimulatorControl");
            auto* layout = new QVBoxLayout(&control);
            // The window follows its buttons, whose captions change as trackers come and go.
            layout->setSizeConstraint(QLayout::SetFixedSize);
            for (Socket& socket : sockets) {
                socket.button = new QPushButton(&control);
                layout->addWidget(socket.button);
                QObject::connect(socket.button, &QPushButton::clicked, socket.button,
                                 [&bridge, &socket] { toggle(bridge, socket); });
            }
            // Plugs and unplugs come from this window or, for a tracker that pulls itself out,
            // from the device worker: both are handled on the window's thread.
            bridge.onDevicesChanged = [&core, &window, &bridge, &sockets] {
                QMetaObject::invokeMethod(
                    &window,
                    [&core, &bridge, &sockets] {
                        refresh(bridge, sockets);
                        core.devicesChanged();
                    },
                    Qt::QueuedConnection);
            };
            refresh(bridge, sockets);
            bridge.plug(sockets.front().make());
            // Out of the way of the main window, which shows centred.
            if (const QScreen* screen = window.screen()) {
                control.move(screen->availableGeometry().topLeft() + QPoint(16, 16));
            }
            control.show();
        };
        // The bridge tells of devices from the worker's thread too: no more once the loop ends.
        setup.afterLoop = [&bridge] { bridge.onDevicesChanged = nullptr; };
        return korvan::ui::runProgram(bridge, clock, setup);
    });
    return korvan::statusAfterTrace("korvan-sim", commandLine.options, commandLine.trace.get(),
                                    status, std::cerr);
}
