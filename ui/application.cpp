#include "ui/application.h"

#include <QApplication>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QSessionManager>
#include <QTranslator>
#include <exception>
#include <iostream>
#include <memory>

#include "base/file_names.h"
#include "core/configurator.h"
#include "core/startup_rules.h"
#include "ui/logging.h"
#include "ui/main_window.h"
#include "ui/qt_desktop.h"
#include "ui/qt_window_thread.h"
#include "ui/stop_signals.h"
#include "ui/widgets.h"

namespace korvan::ui {

bool loadRussianTranslation() {
    auto translation = std::make_unique<QTranslator>();
    if (!translation->load(QLocale(QLocale::Russian, QLocale::Russia), "qtbase", "_",
                           QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        std::cerr << QCoreApplication::applicationName().toStdString()
                  << ": нет русского перевода Qt (пакет qt6-translations-l10n): кнопки "
                     "стандартных окон будут по-английски\n";
        return false;
    }
    QCoreApplication::installTranslator(translation.get());
    // The application keeps it as long as it runs.
    translation.release()->setParent(QCoreApplication::instance());
    return true;
}

int runProgram(Bridge& bridge, Clock& clock, const ProgramSetup& setup) {
    loadRussianTranslation();
    QGuiApplication::setDesktopFileName(setup.desktopFileName);
    QApplication::setWindowIcon(programIcon());
    QtDesktop desktop;
    QtWindowThread windowThread;
    DeviceWorker worker;
    Configurator core(bridge, clock, desktop, worker, windowThread);
    core.settingsPath =
        settingsPathForProgram(pathFromUtf8(QCoreApplication::applicationFilePath().toStdString()));
    core.databaseToOpen = setup.databaseFile;
    enableVerboseLogging(setup.verbose);
    // Before the window shows, whose start-up may run the first detection.
    OperationLogging logging(core, setup.traceFile,
                             operationJournalPath(setup.desktopFileName.toStdString()));
    MainWindow window(core);
    desktop.setWindow(&window);
    window.setWindowTitle(window.windowTitle() + setup.captionSuffix);
    // At a logout the settings are saved as the window's close would save them, the window
    // staying, as the logout may yet be cancelled.
    QObject::connect(qApp, &QGuiApplication::commitDataRequest, &window,
                     [&window](QSessionManager&) { window.sessionEnding(); });
    // A stop signal ends the program without a question, also while a dialog is open or the
    // first start's dialog runs before the event loop.
    bool stopping = false;
    StopSignals stopSignals([&] {
        stopping = true;
        desktop.endQuestions();
        window.endWithoutQuestions();
        QApplication::quit();
    });
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
    const int status = stopping ? 0 : QApplication::exec();
    if (stopping) {
        // The window's close stops the device worker while what it reports to still exists,
        // and saves again what the cancelled dialogs' handlers did after the first save; the
        // desktop asks nothing now.
        window.close();
    }
    return status;
}

int runGuarded(const std::function<int()>& entry) {
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
