#include "ui/application.h"

#include <QApplication>
#include <QMessageBox>
#include <exception>

#include "base/file_names.h"
#include "core/configurator.h"
#include "core/startup_rules.h"
#include "ui/logging.h"
#include "ui/main_window.h"
#include "ui/qt_desktop.h"
#include "ui/qt_window_thread.h"

namespace korvan::ui {

int RunProgram(Bridge& bridge, Clock& clock, const ProgramSetup& setup) {
    QtDesktop desktop;
    QtWindowThread windowThread;
    DeviceWorker worker;
    Configurator core(bridge, clock, desktop, worker, windowThread);
    core.SettingsPath =
        SettingsPathForProgram(PathFromUtf8(QCoreApplication::applicationFilePath().toStdString()));
    EnableVerboseLogging(setup.verbose);
    // Before the window shows, whose start-up may run the first detection.
    OperationLogging logging(core, setup.traceFile, OperationJournalPath());
    TOstrelForm window(core);
    desktop.setWindow(&window);
    window.setWindowTitle(window.windowTitle() + setup.captionSuffix);
    QApplication::setApplicationDisplayName(window.windowTitle());
    // What beforeShow started stops before the window and the core go, also when start-up
    // throws.
    struct AfterLoop {
        const std::function<void()>& run;
        ~AfterLoop() {
            if (run) {
                run();
            }
        }
    } afterLoop{setup.afterLoop};
    if (setup.beforeShow) {
        setup.beforeShow(core, window);
    }
    window.show();
    return QApplication::exec();
}

int RunGuarded(const std::function<int()>& entry) {
    try {
        return entry();
    } catch (const std::exception& error) {
        QMessageBox::critical(nullptr, "Korvan", QString::fromLocal8Bit(error.what()));
    } catch (...) {
        QMessageBox::critical(nullptr, "Korvan", {});
    }
    return 0;
}

}  // namespace korvan::ui
