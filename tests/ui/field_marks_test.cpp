// What the window shows of a field's marks: a tint from the theme's own palette, readable in a
// light and a dark theme, and the tooltip that says why.
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QPalette>
#include <algorithm>

#include "tests/ui/window_fixture.h"
#include "ui/theme.h"

namespace korvan {
namespace {

using ui::contrastRatio;
using ui::darkPalette;

class FieldMarksLook : public Window {
  protected:
    // A theme's change reaches the controls through posted events, and the marks follow it
    // through one more: as the running program's event loop would.
    static void settle() {
        for (int i = 0; i < 3; ++i) {
            QApplication::processEvents();
        }
    }

    // Every mark in turn on an edit and on a check box: tinted, still readable, and told.
    void expectEveryMarkReadable() {
        for (const char* name : {"port", "Point1Latd"}) {
            SCOPED_TRACE(name);
            QLineEdit* box = edit(name);
            const QColor plain = box->palette().color(QPalette::Base);
            const QString hint = box->toolTip();
            FieldMarks marks;
            marks.broken = "Число от 1 до 65535";
            model.setMarks(*fieldByName(name), marks);
            const QColor broken = box->palette().color(QPalette::Base);
            EXPECT_NE(broken, plain);
            EXPECT_GT(broken.redF(), broken.greenF());  // towards red, whatever the theme
            EXPECT_GE(contrastRatio(broken, box->palette().color(QPalette::Text)), 4.5);
            EXPECT_EQ(box->toolTip(), "Число от 1 до 65535");

            marks = {};
            marks.differs = "В трекере: «2224»";
            marks.changed = true;
            model.setMarks(*fieldByName(name), marks);
            const QColor differs = box->palette().color(QPalette::Base);
            EXPECT_NE(differs, plain);
            EXPECT_NE(differs, broken);
            EXPECT_GE(contrastRatio(differs, box->palette().color(QPalette::Text)), 4.5);
            EXPECT_EQ(box->toolTip(),
                      QString::fromUtf8("В трекере: «2224»\nИзменено после чтения трекера"));

            marks = {};
            marks.changed = true;
            model.setMarks(*fieldByName(name), marks);
            const QColor changed = box->palette().color(QPalette::Base);
            EXPECT_NE(changed, plain);
            EXPECT_GE(contrastRatio(changed, box->palette().color(QPalette::Text)), 4.5);

            // Unmarked, the box is as it was, its own hint back.
            model.setMarks(*fieldByName(name), {});
            EXPECT_EQ(box->palette().color(QPalette::Base), plain);
            EXPECT_EQ(box->toolTip(), hint);
        }
        // A box keeps the caption's own colour (red here, as the window has it): the tint takes
        // away little of its contrast.
        auto* wide = widget<QCheckBox>("WideWrite");
        const auto captionContrast = [wide] {
            return contrastRatio(wide->palette().color(QPalette::Window),
                                 wide->palette().color(QPalette::WindowText));
        };
        const double unmarked = captionContrast();
        FieldMarks changed;
        changed.changed = true;
        model.setMarks(Field::WideRecording, changed);
        EXPECT_TRUE(wide->autoFillBackground());
        EXPECT_GE(captionContrast(), std::min(4.5, 0.85 * unmarked));
        model.setMarks(Field::WideRecording, {});
        EXPECT_FALSE(wide->autoFillBackground());
    }
};

TEST_F(FieldMarksLook, AMarkIsATintOfTheLightThemeThatKeepsTheTextReadable) {
    expectEveryMarkReadable();
}

TEST_F(FieldMarksLook, AMarkIsATintOfTheDarkThemeThatKeepsTheTextReadable) {
    const QPalette before = QApplication::palette();
    QApplication::setPalette(darkPalette());
    expectEveryMarkReadable();
    QApplication::setPalette(before);
}

TEST_F(FieldMarksLook, AMarkFollowsTheThemeWhenItChangesWhileTheProgramRuns) {
    const QPalette before = QApplication::palette();
    FieldMarks marks;
    marks.broken = "Число от 1 до 65535";
    model.setMarks(Field::ServerPort, marks);
    marks = {};
    marks.changed = true;
    model.setMarks(Field::ServerAddress, marks);
    QApplication::setPalette(darkPalette());
    settle();
    for (const char* name : {"port", "ip"}) {
        QLineEdit* box = edit(name);
        EXPECT_GE(contrastRatio(box->palette().color(QPalette::Base),
                                box->palette().color(QPalette::Text)),
                  4.5)
            << name;
        EXPECT_LT(box->palette().color(QPalette::Base).lightness(), 128) << name;
    }
    QApplication::setPalette(before);
    settle();
    EXPECT_GT(edit("port")->palette().color(QPalette::Base).lightness(), 128);
}

TEST_F(FieldMarksLook, CtrlAltVComparesWhicheverControlHasTheFocus) {
    bridge.plug(sim::SimulatedTracker::configured("90001"));
    core.devicesChanged();
    model.setText(Field::SendingPeriod, "600");
    edit("WiFiName")->setFocus();
    QTest::keyClick(edit("WiFiName"), Qt::Key_V, Qt::ControlModifier | Qt::AltModifier);
    EXPECT_EQ(edit("WiFiName")->text(), "Depot-North");  // the key went no further
    EXPECT_EQ(widget<QLabel>("CommandInfo")->text(),
              QString::fromUtf8("Отличается от трекера: Период отсылки данных по WiFi"));
    EXPECT_EQ(edit("Edit2")->toolTip(), QString::fromUtf8("В трекере: «300»\nИзменено после "
                                                          "чтения трекера"));
}

TEST_F(FieldMarksLook, TypingOrPastingAValueThatBreaksItsRuleMarksTheBoxAtOnce) {
    QLineEdit* port = edit("port");
    const QColor plain = port->palette().color(QPalette::Base);
    port->selectAll();
    type(port, "70000");
    EXPECT_EQ(port->toolTip(), QString::fromUtf8("Число от 1 до 65535"));
    EXPECT_NE(port->palette().color(QPalette::Base), plain);
    QTest::keyClick(port, Qt::Key_Backspace);
    EXPECT_EQ(model.text(Field::ServerPort), "7000");
    EXPECT_EQ(port->palette().color(QPalette::Base), plain);

    // Pasted letters are dropped, and what is left (nothing) is judged.
    port->selectAll();
    QApplication::clipboard()->setText("abc");
    control(port, Qt::Key_V);
    EXPECT_EQ(port->text(), "");
    EXPECT_EQ(port->toolTip(), QString::fromUtf8("Число от 1 до 65535"));
}

}  // namespace
}  // namespace korvan
