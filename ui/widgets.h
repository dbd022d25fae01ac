#pragma once

#include <QColor>
#include <QFont>
#include <QGroupBox>
#include <QIcon>
#include <QLabel>
#include <QString>

#include "ui/theme.h"

class QFrame;
class QLineEdit;
class QPushButton;
class QWidget;

// Small builders for the window's controls, at the places and in the looks the layout gives:
// pixel sizes at 96 dots per inch, fonts by character height.
namespace korvan::ui {

namespace colours {
inline const QColor kRed{0xFF, 0x00, 0x00};
inline const QColor kBlue{0x00, 0x00, 0xFF};
inline const QColor kGreen{0x00, 0x80, 0x00};
inline const QColor kNavy{0x00, 0x00, 0x80};
inline const QColor kMaroon{0x80, 0x00, 0x00};
// The desktop has no hot-track colour: the one the layout was drawn with stands in for it.
inline const QColor kHotTrack{0x00, 0x66, 0xCC};
}  // namespace colours

// The face that stands in for the layout's narrow sans-serif; it has Cyrillic.
inline constexpr const char* kFontFamily = "Liberation Sans";
inline constexpr int kFontStretch = 90;

QFont pixelFont(int pixels, bool bold = false);
void setFontLook(QWidget* widget, int pixels, bool bold = false);

enum class Wrap : bool { No, Yes };

// A label at (x, y); with a width and height a fixed label of that size, else sized to its
// text.
QLabel* makeLabel(QWidget* parent, const QString& name, const QString& text, int x, int y,
                  int width = 0, int height = 0, Wrap wrap = Wrap::No,
                  Qt::Alignment align = Qt::AlignLeft | Qt::AlignTop);
QFrame* makeFramedPanel(QWidget* parent, const QString& name, int x, int y, int width, int height);
QWidget* makePlainPanel(QWidget* parent, const QString& name, int x, int y, int width, int height);
QLabel* makeDisplayPanel(QWidget* parent, const QString& name, int x, int y, int width, int height);
// A group box as the layout places its contents: the frame's top line runs through the middle
// of the title, and the contents are placed from the box's own top edge, above the title's
// line. The style's group box puts the frame below the title, where a header inside the box
// would sit on the line.
class CaptionedFrame : public QGroupBox {
  public:
    using QGroupBox::QGroupBox;
    // Where the frame's top line runs, from the box's top edge.
    int frameTop() const;

  protected:
    void paintEvent(QPaintEvent* event) override;
};
QGroupBox* makeGroup(QWidget* parent, const QString& name, const QString& title, int x, int y,
                     int width, int height);
QPushButton* makeButton(QWidget* parent, const QString& name, const QString& caption, int x, int y,
                        int width, int height);
// The program's icon from its own resources, so that it shows from the build folder too and
// needs no image plugin for SVG.
QIcon programIcon();
// The caption of a captioned edit: above it, or on its left.
QLabel* captionFor(QLineEdit* edit, const QString& caption, bool left = false);

}  // namespace korvan::ui
