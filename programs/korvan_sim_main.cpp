// Korvan with simulated trackers, for trying the program without hardware. A small window
// beside the main one plugs and unplugs them. The trackers answer at the wire's own speed, so
// that a person sees the window stay alive while a tracker takes its time.
#include <QApplication>
#include <iostream>
#include <memory>

#include "options/program_options.h"
#include "sim/simulated_bridge.h"
#include "ui/application.h"
#include "ui/simulator_control.h"

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
        korvan::sim::SimulatedBridge bridge(clock);
        std::unique_ptr<korvan::ui::SimulatorControl> control;
        korvan::ui::ProgramSetup setup;
        setup.verbose = commandLine.options.verbose;
        setup.traceFile = commandLine.trace.get();
        setup.databaseFile = commandLine.databaseFile;
        setup.captionSuffix = " (трекер симулирован)";
        setup.desktopFileName = "korvan-sim";
        setup.beforeShow = [&](korvan::Configurator& core, korvan::ui::MainWindow& window) {
            control = std::make_unique<korvan::ui::SimulatorControl>(bridge);
            control->showBeside(core, window);
        };
        // The bridge tells of devices from the worker's thread too: no more once the loop ends.
        setup.afterLoop = [&bridge] { bridge.onDevicesChanged = nullptr; };
        return korvan::ui::runProgram(bridge, clock, setup);
    });
    return korvan::statusAfterTrace("korvan-sim", commandLine.options, commandLine.trace.get(),
                                    status, std::cerr);
}
