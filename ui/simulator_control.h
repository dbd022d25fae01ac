#pragma once

#include <QString>
#include <QWidget>
#include <functional>
#include <vector>

#include "sim/simulated_bridge.h"
#include "sim/simulated_tracker.h"

class QPushButton;

namespace korvan {
class Configurator;
}

namespace korvan::ui {

class MainWindow;

// korvan-sim's small window beside the main one: a button for each socket, which plugs its
// simulated tracker in or pulls it out, and says which of the two it will do.
class SimulatorControl : public QWidget {
  public:
    explicit SimulatorControl(sim::SimulatedBridge& bridge, QWidget* parent = nullptr);

    // Has every plug and unplug reach the buttons and the program, plugs the first tracker in
    // and shows this window out of the way of `window`.
    void showBeside(Configurator& core, MainWindow& window);

  private:
    struct Socket {
        QString name;
        std::function<sim::SimulatedTracker()> make;
        QPushButton* button = nullptr;
    };

    void toggle(const Socket& socket);
    void refresh();

    sim::SimulatedBridge& bridge_;
    std::vector<Socket> sockets_;
};

}  // namespace korvan::ui
