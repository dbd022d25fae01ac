#include "ui/widgets.h"

#include <QFrame>
#include <QGroupBox>
#include <QLineEdit>
#include <QPushButton>

namespace korvan::ui {

QFont pixelFont(int pixels, bool bold) {
    QFont font(kFontFamily);
    font.setPixelSize(pixels);
    font.setBold(bold);
    // The layout was drawn with a bitmap face whose Cyrillic letters run narrower.
    font.setStretch(kFontStretch);
    return font;
}

void setTextColour(QWidget* widget, const QColor& colour) {
    QPalette palette = widget->palette();
    for (auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText}) {
        palette.setColor(QPalette::Active, role, colour);
        palette.setColor(QPalette::Inactive, role, colour);
    }
    widget->setPalette(palette);
}

void setFontLook(QWidget* widget, int pixels, bool bold) {
    widget->setFont(pixelFont(pixels, bold));
}

QLabel* makeLabel(QWidget* parent, const QString& name, const QString& text, int x, int y,
                  int width, int height, Wrap wrap, Qt::Alignment align) {
    auto* label = new QLabel(text, parent);
    label->setObjectName(name);
    label->setWordWrap(wrap == Wrap::Yes);
    label->setAlignment(align);
    if (width > 0 && height > 0) {
        label->setGeometry(x, y, width, height);
    } else {
        label->move(x, y);
        label->adjustSize();
    }
    return label;
}

QFrame* makeFramedPanel(QWidget* parent, const QString& name, int x, int y, int width, int height) {
    auto* panel = new QFrame(parent);
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    panel->setAutoFillBackground(true);
    // White inside; the bevel's light edge in grey, so that it shows against the white.
    QPalette palette = panel->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Base));
    palette.setColor(QPalette::Light, palette.color(QPalette::Mid));
    panel->setPalette(palette);
    panel->setGeometry(x, y, width, height);
    return panel;
}

QWidget* makePlainPanel(QWidget* parent, const QString& name, int x, int y, int width, int height) {
    auto* panel = new QWidget(parent);
    panel->setObjectName(name);
    panel->setGeometry(x, y, width, height);
    return panel;
}

QLabel* makeDisplayPanel(QWidget* parent, const QString& name, int x, int y, int width,
                         int height) {
    auto* panel = new QLabel(parent);
    panel->setObjectName(name);
    panel->setFrameStyle(QFrame::Panel | QFrame::Raised);
    panel->setAlignment(Qt::AlignCenter);
    panel->setGeometry(x, y, width, height);
    return panel;
}

QGroupBox* makeGroup(QWidget* parent, const QString& name, const QString& title, int x, int y,
                     int width, int height) {
    auto* group = new QGroupBox(title, parent);
    group->setObjectName(name);
    group->setGeometry(x, y, width, height);
    return group;
}

QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption, int x, int y,
                        int width, int height) {
    auto* button = new QPushButton(caption, parent);
    button->setObjectName(name);
    button->setGeometry(x, y, width, height);
    return button;
}

QLabel* captionFor(QLineEdit* edit, const QString& caption, bool left) {
    constexpr int kSpacing = 3;
    auto* label = new QLabel(caption, edit->parentWidget());
    label->setObjectName(edit->objectName() + "Caption");
    label->adjustSize();
    label->setBuddy(edit);
    const QRect box = edit->geometry();
    if (left) {
        label->move(box.left() - kSpacing - label->width(),
                    box.top() + (box.height() - label->height()) / 2);
    } else {
        label->move(box.left(), box.top() - kSpacing - label->height());
    }
    return label;
}

}  // namespace korvan::ui
