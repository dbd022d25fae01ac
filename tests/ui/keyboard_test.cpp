// The window as the keyboard reaches it: where the focus starts, what Enter and Space do, and
// the order Tab follows.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <QTest>
#include <memory>

#include "tests/ui/window_fixture.h"
#include "ui/button_tabs.h"

namespace korvan {
namespace {

using testing::ansi;

class Keyboard : public Window {
  protected:
    // A window of its own, shown and active, as the user gets it.
    std::unique_ptr<ui::MainWindow> freshWindow() {
        auto opened = std::make_unique<ui::MainWindow>(core);
        opened->show();
        QApplication::setActiveWindow(opened.get());
        EXPECT_TRUE(QTest::qWaitForWindowActive(opened.get()));
        return opened;
    }

    static QString focused() {
        const QWidget* at = QApplication::focusWidget();
        return at == nullptr ? QString("(none)") : at->objectName();
    }

    // The controls Tab visits from the focused one until the focus comes back to it.
    static QStringList tabRound(const ui::MainWindow& form) {
        QStringList visited{focused()};
        for (int i = 0; i < 200; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            if (focused() == visited.front()) {
                return visited;
            }
            EXPECT_TRUE(form.isAncestorOf(QApplication::focusWidget())) << focused().toStdString();
            visited << focused();
        }
        ADD_FAILURE() << "Tab never came back to " << visited.front().toStdString();
        return visited;
    }
};

TEST_F(Keyboard, TheFocusStartsOnTheWriteButtonAndComesBackToItOnceATrackerIsRead) {
    window.reset();
    bridge.plug(sim::SimulatedTracker::configured("90001"));
    auto opened = freshWindow();  // its start finds and reads the tracker
    ASSERT_EQ(model.text(Field::SerialNumber), "90001");
    EXPECT_EQ(focused(), "Button5");

    // Started without a tracker, the button is off and the keyboard on the next control,
    // until a tracker is read.
    opened.reset();
    bridge.unplug(0);
    opened = freshWindow();
    ASSERT_FALSE(opened->findChild<QWidget*>("Button5")->isEnabled());
    EXPECT_EQ(focused(), "SaveAs");
    bridge.plug(sim::SimulatedTracker::configured("90001"));
    core.devicesChanged();
    EXPECT_EQ(focused(), "Button5");

    // Once the user has moved the keyboard, a later read leaves it where it is.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_EQ(focused(), "SaveAs");
    bridge.unplug(0);
    core.devicesChanged();
    bridge.plug(sim::SimulatedTracker::configured("90003"));
    core.devicesChanged();
    ASSERT_EQ(model.text(Field::SerialNumber), "90003");
    EXPECT_EQ(focused(), "SaveAs");
}

TEST_F(Keyboard, TabGoesThroughTheButtonsThenTheShownPageThenView) {
    window.reset();
    bridge.plug(sim::SimulatedTracker::configured("90001"));
    auto opened = freshWindow();
    const QStringList extended = tabRound(*opened);
    ASSERT_GE(extended.size(), 6);
    EXPECT_EQ(extended.mid(0, 4), (QStringList{"Button5", "SaveAs", "Open", "Button2"}));
    EXPECT_EQ(extended.back(), "Button1");
    // Between the hidden read button and "Просмотреть": the views' tabs and the shown page
    // ("Настройки сервера"), in the page's own order, and nothing from another page.
    for (const QString& name : extended.mid(4, extended.size() - 5)) {
        QWidget* control = opened->findChild<QWidget*>(name);
        ASSERT_NE(control, nullptr) << name.toStdString();
        EXPECT_TRUE(opened->pageControl2()->isAncestorOf(control)) << name.toStdString();
        EXPECT_TRUE(control->isVisible()) << name.toStdString();
    }
    // Every tab of both rows, not only the chosen ones, then the shown page.
    QStringList tabs;
    for (const ui::ButtonTabs* row : {opened->pageControl2(), opened->pageControl1()}) {
        for (int i = 0; i < row->count(); ++i) {
            tabs << row->tab(i)->objectName();
        }
    }
    ASSERT_EQ(tabs.size(), 9);
    EXPECT_EQ(extended.mid(4, 9), tabs);
    const auto server = extended.indexOf("ip");
    ASSERT_GE(server, 13);
    EXPECT_EQ(extended.mid(server, 3), (QStringList{"ip", "edPassword", "port"}));

    // The arrows still go from tab to tab, and each shows its page.
    auto* pages = opened->pageControl1();
    pages->tab(0)->setFocus(Qt::TabFocusReason);
    QTest::keyClick(pages->tab(0), Qt::Key_Right);
    EXPECT_EQ(QApplication::focusWidget(), pages->tab(1));
    EXPECT_EQ(pages->currentIndex(), 1);
    QTest::keyClick(pages->tab(1), Qt::Key_Left);
    EXPECT_EQ(pages->currentIndex(), 0);
    // Tab from the chosen tab still reaches the next one.
    QTest::keyClick(pages->tab(0), Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), pages->tab(1));

    // The simple view: its panels come between the same buttons, still before "Просмотреть",
    // and the recording panel's two hidden check boxes are not reached.
    opened->pageControl2()->setCurrentIndex(0);
    opened->findChild<QWidget*>("Button5")->setFocus();
    const QStringList simple = tabRound(*opened);
    EXPECT_EQ(simple.mid(0, 4), (QStringList{"Button5", "SaveAs", "Open", "Button2"}));
    EXPECT_EQ(simple.back(), "Button1");
    EXPECT_TRUE(simple.contains("InputBox1"));
    EXPECT_TRUE(simple.contains("AnalogTime"));
    EXPECT_FALSE(simple.contains("StaticBox"));
    EXPECT_FALSE(simple.contains("WideWrite"));
}

TEST_F(Keyboard, EnterAndSpaceClickTheFocusedButtonAndNothingElse) {
    desktop.saveFallback = (folder / "fleet.zcf").string();  // the database the write records in
    bridge.plug(sim::SimulatedTracker::configured("90001"));
    core.devicesChanged();
    auto* write = widget<QPushButton>("Button5");
    ASSERT_TRUE(write->isEnabled());
    QApplication::setActiveWindow(window.get());

    // Enter on "Установить" writes.
    write->setFocus();
    QTest::keyClick(write, Qt::Key_Return);
    EXPECT_EQ(model.text(Field::StatusLine), ansi("Данные успешно записаны в устройство"));

    // Ctrl+Return writes from whichever control has the focus, as "Установить"; while the
    // button is off it does nothing.
    model.setText(Field::StatusLine, "");
    QTest::keyClick(edit("WiFiName"), Qt::Key_Return, Qt::ControlModifier);
    EXPECT_EQ(model.text(Field::StatusLine), ansi("Данные успешно записаны в устройство"));
    const auto sent = bridge.tracker(0).commands().size();
    model.setEnabled(Field::WriteButton, false);
    QTest::keyClick(edit("WiFiName"), Qt::Key_Enter, Qt::ControlModifier | Qt::KeypadModifier);
    EXPECT_EQ(bridge.tracker(0).commands().size(), sent);
    model.setEnabled(Field::WriteButton, true);

    // The keypad's Enter and Space on the unseen read button read.
    model.setText(Field::AccessPoint, "typed over");
    auto* read = widget<QPushButton>("Button2");
    read->setFocus();
    QTest::keyClick(read, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_EQ(edit("WiFiName")->text(), "Depot-North");
    model.setText(Field::AccessPoint, "typed over");
    QTest::keyClick(read, Qt::Key_Space);
    EXPECT_EQ(edit("WiFiName")->text(), "Depot-North");

    // Enter on "Открыть..." asks for a database.
    const int dialogsBefore = desktop.dialogsShown;
    widget("Open")->setFocus();
    QTest::keyClick(widget("Open"), Qt::Key_Return);
    EXPECT_GT(desktop.dialogsShown, dialogsBefore);

    // Enter on a check box or in an edit clicks nothing; Shift+Enter on a button neither.
    auto* box = widget<QCheckBox>("UnReadBox");
    window->pageControl1()->setCurrentIndex(6);
    const bool checked = box->isChecked();
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_EQ(box->isChecked(), checked);
    model.setText(Field::AccessPoint, "typed over");
    read->setFocus();
    QTest::keyClick(read, Qt::Key_Return, Qt::ShiftModifier);
    EXPECT_EQ(edit("WiFiName")->text(), "typed over");
    const int openedBefore = desktop.dialogsShown;
    window->pageControl1()->setCurrentIndex(1);
    edit("ip")->setFocus();
    QTest::keyClick(edit("ip"), Qt::Key_Return);
    EXPECT_EQ(desktop.dialogsShown, openedBefore);
    EXPECT_EQ(model.text(Field::AccessPoint), "typed over");
}

}  // namespace
}  // namespace korvan
