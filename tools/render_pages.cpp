// Renders every page of both views of the window to PNG files, as a person would see them,
// with a simulated tracker's configuration read in, and one message box and the first start's
// file dialog as the program shows them. Usage: korvan-render-pages <folder>
#include <QApplication>
#include <QDir>
#include <QPainter>
#include <QPushButton>
#include <QTabWidget>
#include <QTimer>
#include <cstdio>
#include <functional>

#include "core/configurator.h"
#include "core/scripted_desktop.h"
#include "sim/simulated_bridge.h"
#include "ui/application.h"
#include "ui/button_tabs.h"
#include "ui/main_window.h"
#include "ui/qt_desktop.h"
#include "ui/theme.h"

namespace {

// The server page with marked fields: a port the tracker cannot take and an address changed
// since the read, in the light and the dark theme; then a verified write that the tracker did
// not keep, its difference marked and told.
void renderMarks(QApplication& app, korvan::ui::MainWindow& window, korvan::Configurator& core,
                 korvan::sim::SimulatedBridge& bridge,
                 const std::function<void(const QString&)>& save) {
    using korvan::Field;
    window.pageControl2()->setCurrentIndex(1);
    auto* extended = window.pageControl1();
    for (int i = 0; i < 7; ++i) {  // the extended view's pages
        if (extended->page(i)->findChild<QWidget*>("port") != nullptr) {
            extended->setCurrentIndex(i);
        }
    }
    auto& model = core.model();
    const std::string port = model.text(Field::ServerPort);
    model.setText(Field::ServerPort, "70000");
    model.setText(Field::ServerAddress, "192.0.2.77");
    save("marked-light");
    const QPalette light = QApplication::palette();
    QApplication::setPalette(korvan::ui::darkPalette());
    for (int i = 0; i < 3; ++i) {
        app.processEvents();  // the change reaches the controls, then the marks follow it
    }
    save("marked-dark");
    QApplication::setPalette(light);
    for (int i = 0; i < 3; ++i) {
        app.processEvents();
    }

    model.setText(Field::ServerPort, "9000");
    model.setText(Field::ServerAddress, "192.0.2.10");
    model.setChecked(Field::VerifyAfterWrite, true);
    bridge.tracker(0).injectFault(
        {.kind = korvan::sim::Fault::Kind::NotKept, .command = "SERPORT="});
    core.writeTracker();
    app.processEvents();
    save("verify-difference");
    model.setChecked(Field::VerifyAfterWrite, false);
    model.setText(Field::ServerPort, port);
}

// The server page with a port the tracker cannot take and a failure on the status line, in the
// light, the dark and the high-contrast theme: every colour chosen against the theme.
void renderThemes(QApplication& app, korvan::ui::MainWindow& window, korvan::Configurator& core,
                  const std::function<void(const QString&)>& save) {
    using korvan::Field;
    window.pageControl2()->setCurrentIndex(1);
    auto* extended = window.pageControl1();
    for (int i = 0; i < extended->count(); ++i) {
        if (extended->page(i)->findChild<QWidget*>("port") != nullptr) {
            extended->setCurrentIndex(i);
        }
    }
    auto& model = core.model();
    const std::string port = model.text(Field::ServerPort);
    model.setText(Field::ServerPort, "70000");
    model.setStatusColour(korvan::StatusColour::Red);
    model.setStatusMessage("Ошибка при открытии USB");
    const QPalette light = QApplication::palette();
    for (const auto& [name, theme] :
         {std::pair{"light", light}, std::pair{"dark", korvan::ui::darkPalette()},
          std::pair{"high-contrast", korvan::ui::highContrastPalette()}}) {
        QApplication::setPalette(theme);
        for (int i = 0; i < 3; ++i) {
            app.processEvents();
        }
        save(QString("theme-%1").arg(name));
    }
    QApplication::setPalette(light);
    for (int i = 0; i < 3; ++i) {
        app.processEvents();
    }
    model.setText(Field::ServerPort, port);
}

// "Записывать при подключении" on: a tracker written, then one pulled out in the middle of its
// write, each shown in the band.
void renderProvisioning(QApplication& app, korvan::Configurator& core,
                        korvan::sim::SimulatedBridge& bridge,
                        const std::function<void(const QString&)>& save) {
    core.model().setText(korvan::Field::ServerPassword, "Fleet_07");
    core.toggleProvisioning();
    bridge.plug(korvan::sim::SimulatedTracker::configured("90002"));
    core.devicesChanged();
    app.processEvents();
    save("provisioning-written");
    bridge.plug(korvan::sim::SimulatedTracker::pulledOutDuringWrite("90003"));
    core.devicesChanged();
    app.processEvents();
    save("provisioning-failed");
    core.toggleProvisioning();
}

// True when the tracker plugged in was read.
bool plugAndRead(QApplication& app, korvan::Configurator& core,
                 korvan::sim::SimulatedBridge& bridge) {
    // The window's start runs first (settings, database); then the tracker is plugged in and
    // read, so that the pages show what was read, with the MAC of its serial number.
    app.processEvents();
    bridge.plug(korvan::sim::SimulatedTracker::configured("90001"));
    core.devicesChanged();
    app.processEvents();
    return core.model().text(korvan::Field::SerialNumber) == "90001";
}

// Every page of the extended view, then of the simple one.
void renderPages(korvan::ui::MainWindow& window, const std::function<void(const QString&)>& save) {
    auto* extended = window.pageControl1();
    for (int i = 0; i < 7; ++i) {
        extended->setCurrentIndex(i);
        save(QString("extended-%1-%2").arg(i + 1).arg(extended->page(i)->objectName()));
    }
    window.pageControl2()->setCurrentIndex(0);
    for (int i = 0; i < 2; ++i) {
        window.pageControl3()->setCurrentIndex(i);
        save(
            QString("simple-%1-%2").arg(i + 1).arg(window.pageControl3()->widget(i)->objectName()));
    }
}

// Xvfb has no window manager to draw the title bar: a plain bar above the dialog shows the
// title the program gave it.
QPixmap withTitleBar(QWidget& dialog) {
    const QPixmap inside = dialog.grab();
    const qreal ratio = inside.devicePixelRatio();
    const QSize logical = inside.deviceIndependentSize().toSize();
    constexpr int kBar = 24;
    QPixmap framed(QSize(logical.width(), logical.height() + kBar) * ratio);
    framed.setDevicePixelRatio(ratio);
    framed.fill(QColor(0x3C, 0x3C, 0x3C));
    QPainter painter(&framed);
    painter.drawPixmap(QPoint(0, kBar), inside);
    painter.setPen(Qt::white);
    painter.drawText(QRect(8, 0, logical.width() - 16, kBar), Qt::AlignVCenter | Qt::AlignLeft,
                     dialog.windowTitle());
    painter.end();
    return framed;
}

// Opens one of the program's dialogs with `open`, grabs it into `path` once it shows, then
// closes it. True when the picture was saved.
bool grabModal(const QString& path, const std::function<void()>& open) {
    bool saved = false;
    // Looked for until its event loop has shown it, however long the start takes.
    QTimer poll;
    poll.setInterval(100);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QWidget* dialog = QApplication::activeModalWidget();
        if (dialog == nullptr) {
            return;
        }
        poll.stop();
        if (withTitleBar(*dialog).save(path)) {
            saved = true;
        }
        dialog->close();
    });
    poll.start();
    open();
    poll.stop();
    return saved;
}

// The program's own dialogs, through the desktop the program uses: each is grabbed once it
// shows and then closed. Returns how many pictures were saved.
int renderDialogs(korvan::ui::MainWindow& window, const QDir& folder) {
    korvan::ui::QtDesktop shown;
    shown.setWindow(&window);
    const bool box = grabModal(folder.filePath("message-box.png"), [&] {
        shown.confirm("Вы действительно хотите стереть отладочный журнал?");
    });
    const bool fileDialog = grabModal(folder.filePath("file-dialog-first-start.png"), [&] {
        shown.chooseDatabaseToOpen(folder.filePath("fleet.zcf").toStdString(),
                                   korvan::DatabaseDialogs::OpenReason::FirstStart);
    });
    return (box ? 1 : 0) + (fileDialog ? 1 : 0);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    korvan::ui::loadRussianTranslation();
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    folder.mkpath(".");

    korvan::VirtualClock clock;
    korvan::sim::SimulatedBridge bridge(clock);
    // A first start: no settings file, and the database named in the open dialog.
    korvan::ScriptedDesktop desktop;
    desktop.openFallback = folder.filePath("fleet.zcf").toStdString();
    korvan::Configurator core(bridge, clock, desktop);
    core.settingsPath = folder.filePath("absent.ini").toStdString();

    korvan::ui::MainWindow window(core);
    window.setWindowTitle("Korvan");
    window.show();
    if (!plugAndRead(app, core, bridge)) {
        std::fprintf(stderr, "the tracker was not read\n");
        return 1;
    }

    int written = 0;
    // At a scale factor above 1 the window may be smaller than its pages: its title bar is
    // drawn, to show that it stays on the screen.
    const bool scaled = window.devicePixelRatioF() > 1;
    auto save = [&](const QString& name) {
        app.processEvents();
        const QPixmap picture = scaled ? withTitleBar(window) : window.grab();
        if (picture.save(folder.filePath(name + (scaled ? "-x2" : "") + ".png"))) {
            ++written;
        }
    };
    renderPages(window, save);
    renderMarks(app, window, core, bridge, save);
    renderThemes(app, window, core, save);
    written += renderDialogs(window, folder);
    renderProvisioning(app, core, bridge, save);
    std::printf("%d pictures rendered into %s\n", written, argv[1]);
    return written == 19 ? 0 : 1;
}
