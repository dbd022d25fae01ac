#include "ui/window_fit.h"

#include <algorithm>

namespace korvan::ui {

WindowFit fitWindow(QSize content, QRect available, QMargins frame, int scrollBar,
                    std::optional<QPoint> wanted) {
    WindowFit fit{content, {}, false};
    const int roomWide = available.width() - frame.left() - frame.right();
    const int roomHigh = available.height() - frame.top() - frame.bottom();
    // Too high: the pages scroll up and down, with a bar beside them if there is room for it.
    if (content.height() > roomHigh) {
        fit.size.setHeight(std::max(1, roomHigh));
        fit.size.setWidth(content.width() + scrollBar);
        fit.scrolls = true;
    }
    // Too wide: across as well, with a bar under them if there is room for it.
    if (fit.size.width() > roomWide) {
        fit.size.setWidth(std::max(1, roomWide));
        if (!fit.scrolls) {
            fit.size.setHeight(std::min(content.height() + scrollBar, std::max(1, roomHigh)));
        }
        fit.scrolls = true;
    }
    const QSize outside = fit.size.grownBy(frame);
    const QPoint middle = available.center() - QPoint(outside.width() / 2, outside.height() / 2);
    const QPoint corner = wanted.value_or(middle);
    // Whole on the screen; where it cannot be, its top-left corner, and so its title bar, is.
    fit.place.setX(
        std::max(available.left(), std::min(corner.x(), available.right() + 1 - outside.width())));
    fit.place.setY(
        std::max(available.top(), std::min(corner.y(), available.bottom() + 1 - outside.height())));
    return fit;
}

}  // namespace korvan::ui
