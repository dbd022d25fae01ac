#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTest>
#include <memory>
#include <ostream>

#include "core/configurator.h"
#include "core/scripted_desktop.h"
#include "settings/settings_file.h"
#include "sim/simulated_bridge.h"
#include "tests/support/temp_folder.h"
#include "ui/main_window.h"

// QStrings in the tests' failure messages as text.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace korvan {

// The window over a core with a simulated bridge and scripted dialogs, shown on a first start
// with the WEP key, 64-bit key and automatic address interlocks brought into line.
class Window : public ::testing::Test {
  protected:
    testing::TempFolder folder;
    VirtualClock clock;
    sim::SimulatedBridge bridge{clock};
    ScriptedDesktop desktop;
    Configurator core{bridge, clock, desktop};
    FieldModel& model = core.model();
    std::unique_ptr<ui::MainWindow> window;

    void SetUp() override {
        loadSettings(model, folder / "absent.ini");
        model.encryptionChosen();
        model.keySizeChosen();
        model.addressingChosen();
        window = std::make_unique<ui::MainWindow>(core);
        window->show();
    }

    template <typename W = QWidget>
    W* widget(const char* name) const {
        auto* found = window->findChild<W*>(name);
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    QLineEdit* edit(const char* name) const { return widget<QLineEdit>(name); }

    // Types `keys` into the edit as a user would, one key at a time.
    void type(QLineEdit* box, const QString& keys) {
        box->setFocus();
        for (QChar c : keys) {
            if (c.unicode() < 0x80) {
                QTest::keyClick(box, c.toLatin1());
                continue;
            }
            // QTest knows only ASCII keys; a Cyrillic letter comes as its text.
            QKeyEvent press(QEvent::KeyPress, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(box, &press);
            QKeyEvent release(QEvent::KeyRelease, Qt::Key_unknown, Qt::NoModifier, QString(c));
            QApplication::sendEvent(box, &release);
        }
    }
    void control(QWidget* box, Qt::Key key) { QTest::keyClick(box, key, Qt::ControlModifier); }
};

}  // namespace korvan
