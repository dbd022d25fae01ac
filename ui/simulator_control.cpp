#include "ui/simulator_control.h"

#include <QMetaObject>
#include <QPushButton>
#include <QScreen>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>

#include "core/configurator.h"
#include "ui/main_window.h"

namespace korvan::ui {
namespace {

using sim::SimulatedTracker;

bool attached(const sim::SimulatedBridge& bridge, const std::string& serial) {
    const auto serials = bridge.attachedSerials();
    return std::find(serials.begin(), serials.end(), serial) != serials.end();
}

}  // namespace

SimulatorControl::SimulatorControl(sim::SimulatedBridge& bridge, QWidget* parent)
    : QWidget(parent),
      bridge_(bridge),
      sockets_{
          {"трекер 90001", [] { return SimulatedTracker::configured("90001"); }},
          {"стёртый трекер 90002", [] { return SimulatedTracker::erased("90002"); }},
          {"второй трекер 90003", [] { return SimulatedTracker::configured("90003"); }},
          {"немой трекер 90004", [] { return SimulatedTracker::muted("90004"); }},
          {"трекер 90005, что выпадет при записи",
           [] { return SimulatedTracker::pulledOutDuringWrite("90005"); }},
          {"трекер 90006 без режима работы и расширенной записи",
           [] { return SimulatedTracker::withoutModeAndWideRecording("90006"); }},
          {"трекер 90007, что не сохраняет порт сервера",
           [] { return SimulatedTracker::keepingItsServerPort("90007"); }},
      } {
    setWindowTitle("Симулятор трекера");
    // Closing the main window ends the program, this one included.
    setAttribute(Qt::WA_QuitOnClose, false);
    setObjectName("SimulatorControl");
    auto* layout = new QVBoxLayout(this);
    // The window follows its buttons, whose captions change as trackers come and go.
    layout->setSizeConstraint(QLayout::SetFixedSize);
    for (Socket& socket : sockets_) {
        socket.button = new QPushButton(this);
        layout->addWidget(socket.button);
        QObject::connect(socket.button, &QPushButton::clicked, socket.button,
                         [this, &socket] { toggle(socket); });
    }
}

void SimulatorControl::showBeside(Configurator& core, MainWindow& window) {
    // Plugs and unplugs come from this window or, for a tracker that pulls itself out, from the
    // device worker: both are handled on the window's thread.
    bridge_.onDevicesChanged = [this, &core, &window] {
        QMetaObject::invokeMethod(
            &window,
            [this, &core] {
                refresh();
                core.devicesChanged();
            },
            Qt::QueuedConnection);
    };
    refresh();
    bridge_.plug(sockets_.front().make());
    // Out of the way of the main window, which shows centred.
    if (const QScreen* screen = window.screen()) {
        move(screen->availableGeometry().topLeft() + QPoint(16, 16));
    }
    show();
}

// Plugs the tracker in when it is out, and pulls it out when it is in. The worker may pull a
// tracker out meanwhile: the bridge looks and unplugs under its own lock. A tracker plugged in
// again keeps what was written into it, as a real one does.
void SimulatorControl::toggle(const Socket& socket) {
    const std::string usbSerial = socket.make().usbSerial;
    if (!bridge_.unplugSerial(usbSerial) && !bridge_.replug(usbSerial)) {
        bridge_.plug(socket.make());
    }
}

// Each button says what it will do, also after a tracker pulled itself out.
void SimulatorControl::refresh() {
    for (const Socket& socket : sockets_) {
        const bool in = attached(bridge_, socket.make().usbSerial);
        socket.button->setText((in ? "Отключить " : "Подключить ") + socket.name);
    }
}

}  // namespace korvan::ui
