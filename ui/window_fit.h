#pragma once

#include <QMargins>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <optional>

// Where the window goes and how big it is on the screen it opens on: where it was last, or in
// the middle, but always whole on the screen, its title bar within reach; on a screen smaller
// than its pages (a small laptop, a large scale factor), the pages scroll inside it.
namespace korvan::ui {

// A title bar where the desktop has not told the frame yet (before the window is first shown).
inline constexpr int kTitleBarAllowance = 32;

struct WindowFit {
    QSize size;    // the window's inside
    QPoint place;  // its frame's top-left corner
    bool scrolls = false;
};

// `content`: the pages' whole size; `available`: the screen less its panels; `frame`: what the
// desktop draws around the inside; `scrollBar`: the width of a scroll bar; `wanted`: where the
// frame's corner stood last, if anywhere.
WindowFit fitWindow(QSize content, QRect available, QMargins frame, int scrollBar,
                    std::optional<QPoint> wanted);

}  // namespace korvan::ui
