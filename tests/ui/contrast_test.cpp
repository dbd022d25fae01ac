// Every colour the window draws text in, against what it is drawn on, in a light, a dark and a
// high-contrast theme.
#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <vector>

#include "tests/ui/window_fixture.h"
#include "ui/theme.h"

namespace korvan {
namespace {

using ui::contrastRatio;

// What shows under a widget that does not fill its own background: the nearest one that does,
// or the window.
QColor backgroundUnder(const QWidget* widget) {
    for (const QWidget* at = widget; at != nullptr; at = at->parentWidget()) {
        if (at->autoFillBackground() || at->isWindow()) {
            return at->palette().color(QPalette::Active, at->backgroundRole());
        }
    }
    return QApplication::palette().color(QPalette::Window);
}

struct Drawn {
    QString what;
    QColor text;
    QColor background;
};

// The text of every control and label, as it is drawn now.
std::vector<Drawn> drawnText(const QWidget& window) {
    std::vector<Drawn> drawn;
    for (const QWidget* widget : window.findChildren<QWidget*>()) {
        const QPalette& p = widget->palette();
        const QString name = widget->objectName();
        if (const auto* label = qobject_cast<const QLabel*>(widget)) {
            if (!label->text().trimmed().isEmpty()) {
                drawn.push_back({name, p.color(QPalette::Active, QPalette::WindowText),
                                 backgroundUnder(widget)});
            }
        } else if (qobject_cast<const QLineEdit*>(widget) != nullptr ||
                   qobject_cast<const QComboBox*>(widget) != nullptr) {
            drawn.push_back({name, p.color(QPalette::Active, QPalette::Text),
                             p.color(QPalette::Active, QPalette::Base)});
        } else if (qobject_cast<const QPushButton*>(widget) != nullptr) {
            drawn.push_back({name, p.color(QPalette::Active, QPalette::ButtonText),
                             p.color(QPalette::Active, QPalette::Button)});
        } else if (qobject_cast<const QAbstractButton*>(widget) != nullptr ||
                   qobject_cast<const QGroupBox*>(widget) != nullptr) {
            drawn.push_back(
                {name, p.color(QPalette::Active, QPalette::WindowText), backgroundUnder(widget)});
        }
    }
    return drawn;
}

class Contrast : public Window {
  protected:
    QPalette light = QApplication::palette();
    void TearDown() override { useTheme(light); }

    void useTheme(const QPalette& theme) {
        QApplication::setPalette(theme);
        for (int i = 0; i < 3; ++i) {
            QApplication::processEvents();  // the change reaches the controls, then the window
        }
    }
    // Every text drawn reads against its background.
    void expectAllReadable(const char* theme, const char* state) {
        for (const Drawn& d : drawnText(*window)) {
            EXPECT_GE(contrastRatio(d.text, d.background), ui::kReadableContrast)
                << theme << ", " << state << ": " << d.what.toStdString() << " "
                << d.text.name().toStdString() << " on " << d.background.name().toStdString();
        }
    }
};

TEST(ReadableColour, KeepsAColourThatReadsAndOtherwiseItsHueAsFarAsItTakes) {
    const QColor white(0xFF, 0xFF, 0xFF);
    const QColor dark(0x2B, 0x2B, 0x2B);
    EXPECT_EQ(ui::readableOn(QColor(0x00, 0x00, 0x80), white), QColor(0x00, 0x00, 0x80));
    for (const QColor& background : {white, dark, QColor(0xEF, 0xEF, 0xEF), QColor(Qt::black)}) {
        for (const QColor& wanted :
             {QColor(0xFF, 0x00, 0x00), QColor(0x00, 0x00, 0x80), QColor(0x00, 0x80, 0x00),
              QColor(0x00, 0x66, 0xCC), QColor(Qt::black), QColor(Qt::white)}) {
            const QColor made = ui::readableOn(wanted, background);
            EXPECT_GE(contrastRatio(made, background), ui::kReadableContrast)
                << wanted.name().toStdString() << " on " << background.name().toStdString();
            if (wanted.hslHue() >= 0 && made.hslSaturation() > 0) {
                EXPECT_NEAR(made.hslHue(), wanted.hslHue(), 3) << made.name().toStdString();
            }
        }
    }
    // Red on the light theme's grey: a darker red, no further than it needs.
    const QColor red = ui::readableOn(QColor(0xFF, 0x00, 0x00), QColor(0xEF, 0xEF, 0xEF));
    EXPECT_LT(contrastRatio(red, QColor(0xEF, 0xEF, 0xEF)), ui::kReadableContrast + 0.3);
    EXPECT_EQ(red.green(), 0);
    EXPECT_EQ(red.blue(), 0);
}

TEST_F(Contrast, EveryTextReadsInTheLightTheDarkAndTheHighContrastTheme) {
    for (const auto& [theme, palette] :
         {std::pair{"light", light}, std::pair{"dark", ui::darkPalette()},
          std::pair{"high contrast", ui::highContrastPalette()}}) {
        useTheme(palette);
        expectAllReadable(theme, "as started");
        for (const StatusColour colour :
             {StatusColour::Red, StatusColour::Black, StatusColour::WindowText}) {
            model.setStatusColour(colour);
            model.setStatusMessage("Ошибка записи");
            expectAllReadable(theme, "status line");
        }
        // Marked fields: an edit and a check box, broken, differing, changed.
        for (const FieldMarks& marks :
             {FieldMarks{"число от 1 до 65535", "", false}, FieldMarks{"", "в трекере 2224", false},
              FieldMarks{"", "", true}}) {
            model.setMarks(Field::ServerPort, marks);
            model.setMarks(Field::VerifyAfterWrite, marks);
            expectAllReadable(theme, "marked");
        }
        model.setMarks(Field::ServerPort, {});
        model.setMarks(Field::VerifyAfterWrite, {});
        auto* link = window->findChild<ui::LinkLabel*>("Link");
        ASSERT_NE(link, nullptr);
        link->highlight();
        expectAllReadable(theme, "link under the pointer");
        link->unhighlight();
    }
}

// The status line's red is the layout's red where it reads, and red wherever it is made darker
// or lighter; its black is black where black reads.
TEST_F(Contrast, TheStatusLineKeepsRedAndBlackWhereTheyRead) {
    auto* status = widget<QLabel>("CommandInfo");
    ASSERT_NE(status, nullptr);
    for (const QPalette& palette : {light, ui::darkPalette(), ui::highContrastPalette()}) {
        useTheme(palette);
        model.setStatusColour(StatusColour::Red);
        const QColor red = status->palette().color(QPalette::WindowText);
        EXPECT_GT(red.red(), 0x80);
        EXPECT_EQ(red.green(), red.blue());
        EXPECT_LT(red.green(), 0x60) << red.name().toStdString();
        model.setStatusColour(StatusColour::Black);
        const QColor black = status->palette().color(QPalette::WindowText);
        EXPECT_EQ(black == Qt::black,
                  contrastRatio(Qt::black, palette.color(QPalette::Window)) >= 4.5);
    }
    useTheme(ui::highContrastPalette());
    model.setStatusColour(StatusColour::Red);
    EXPECT_EQ(status->palette().color(QPalette::WindowText), QColor(0xFF, 0x00, 0x00));
}

}  // namespace
}  // namespace korvan
