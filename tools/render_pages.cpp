// Renders every page of both views of the window to PNG files, as a person would see them,
// with a simulated tracker's configuration read in. Usage: korvan-render-pages <folder>
#include <QApplication>
#include <QDir>
#include <QPushButton>
#include <QTabWidget>
#include <cstdio>

#include "core/configurator.h"
#include "settings/settings_file.h"
#include "sim/simulated_bridge.h"
#include "ui/button_tabs.h"
#include "ui/main_window.h"

namespace {

class NoDesktop final : public korvan::Desktop {
  public:
    std::optional<std::string> chooseDatabaseToOpen(const std::string&) override { return {}; }
    std::optional<std::string> chooseDatabaseToSave(const std::string&) override { return {}; }
    std::optional<std::string> chooseLogFile() override { return {}; }
    void showFile(const std::string&) override {}
    void message(korvan::MessageIcon, std::string_view) override {}
    bool confirm(std::string_view) override { return false; }
};

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <folder>\n", argv[0]);
        return 2;
    }
    const QDir folder(QString::fromLocal8Bit(argv[1]));
    folder.mkpath(".");

    korvan::VirtualClock clock;
    korvan::sim::SimulatedBridge bridge(clock);
    NoDesktop desktop;
    korvan::Configurator core(bridge, clock, desktop);
    auto& model = core.model();
    korvan::LoadSettings(model, folder.filePath("absent.ini").toStdString());
    model.DeviceMac = {0x00, 0x50, 0x25, 0, 0, 0};
    model.NoEncrClick();
    model.bit64Click();
    model.AutoIPClick();
    model.ShowMac(0);
    model.setText(korvan::Field::DbFileName, "fleet.zcf");

    korvan::ui::TOstrelForm window(core);
    window.setWindowTitle("Korvan");
    bridge.plug(korvan::sim::SimulatedTracker::Configured("90001"));
    core.DeviceChanged();
    window.show();

    int written = 0;
    auto save = [&](const QString& name) {
        app.processEvents();
        if (window.grab().save(folder.filePath(name + ".png"))) {
            ++written;
        }
    };
    auto* extended = window.PageControl1();
    for (int i = 0; i < 7; ++i) {
        extended->setCurrentIndex(i);
        save(QString("extended-%1-%2").arg(i + 1).arg(extended->page(i)->objectName()));
    }
    window.PageControl2()->setCurrentIndex(0);
    for (int i = 0; i < 2; ++i) {
        window.PageControl3()->setCurrentIndex(i);
        save(
            QString("simple-%1-%2").arg(i + 1).arg(window.PageControl3()->widget(i)->objectName()));
    }
    std::printf("%d pages rendered into %s\n", written, argv[1]);
    return written == 9 ? 0 : 1;
}
