#include "ui/widgets.h"

#include <qdrawutil.h>

#include <QFrame>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QStyle>

// The icons live in a static library, whose registration the linker would drop unless it is
// called; the call must stand outside any namespace.
static void registerIcons() {
    Q_INIT_RESOURCE(icons);
}

namespace korvan::ui {

QFont pixelFont(int pixels, bool bold) {
    QFont font(kFontFamily);
    font.setPixelSize(pixels);
    font.setBold(bold);
    // The layout was drawn with a bitmap face whose Cyrillic letters run narrower.
    font.setStretch(kFontStretch);
    return font;
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
    setInsetLook(panel);
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

int CaptionedFrame::frameTop() const {
    return fontMetrics().height() / 2;
}

void CaptionedFrame::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    const QFontMetrics metrics = fontMetrics();
    constexpr int kTitleLeft = 8;
    constexpr int kTitlePadding = 2;
    const QRect title(kTitleLeft, 0, metrics.horizontalAdvance(this->title()) + 2 * kTitlePadding,
                      metrics.height());
    // The frame's line stops either side of the title, which stands in the gap.
    painter.save();
    painter.setClipRegion(QRegion(rect()).subtracted(QRegion(title)));
    // An etched line, drawn here: the style's group box frame keeps its own distance below
    // the title whatever rectangle it is given.
    qDrawShadeRect(&painter, rect().adjusted(0, frameTop(), 0, 0), palette(), true, 1, 0);
    painter.restore();
    style()->drawItemText(&painter, title, Qt::AlignCenter | Qt::TextShowMnemonic, palette(),
                          isEnabled(), this->title(), QPalette::WindowText);
}

QGroupBox* makeGroup(QWidget* parent, const QString& name, const QString& title, int x, int y,
                     int width, int height) {
    auto* group = new CaptionedFrame(title, parent);
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

QIcon programIcon() {
    registerIcons();
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QString(":/korvan/icons/%1x%1/korvan.png").arg(size), QSize(size, size));
    }
    return icon;
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
