// The window on screens of every size: whole on the screen, where it stood last if that is on
// the screen, scrolling where the screen is smaller than its pages.
#include "ui/window_fit.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>

#include "tests/ui/window_fixture.h"

namespace korvan {
namespace {

using ui::fitWindow;

const QSize kPages(365, 537);
const QMargins kFrame(1, 30, 1, 1);
constexpr int kBar = 15;

// The frame's rectangle for a fit.
QRect frameOf(const ui::WindowFit& fit) {
    return QRect(fit.place, fit.size.grownBy(kFrame));
}

TEST(WindowFit, OnARoomyScreenTheWindowIsWholeWhereItWasOrInTheMiddle) {
    const QRect screen(0, 0, 1920, 1050);
    const auto middle = fitWindow(kPages, screen, kFrame, kBar, std::nullopt);
    EXPECT_EQ(middle.size, kPages);
    EXPECT_FALSE(middle.scrolls);
    EXPECT_EQ(frameOf(middle).center().x(), screen.center().x());

    const auto kept = fitWindow(kPages, screen, kFrame, kBar, QPoint(1500, 20));
    EXPECT_EQ(kept.place, QPoint(1500, 20));

    // Partly or wholly off the screen (a second screen since unplugged): moved in, whole.
    for (const QPoint off :
         {QPoint(1800, 900), QPoint(-200, -50), QPoint(4000, 3000), QPoint(-4000, 500)}) {
        const auto moved = fitWindow(kPages, screen, kFrame, kBar, off);
        EXPECT_TRUE(screen.contains(frameOf(moved))) << off.x() << "," << off.y();
        EXPECT_EQ(moved.size, kPages);
    }
    // A screen that is not at the origin, as the second of two.
    const QRect second(1920, 0, 1280, 1024);
    const auto there = fitWindow(kPages, second, kFrame, kBar, QPoint(100, 100));
    EXPECT_TRUE(second.contains(frameOf(there)));
}

TEST(WindowFit, OnAScreenLowerThanThePagesTheyScrollAndTheTitleBarStaysOnIt) {
    // 1920x1080 at a scale of 2, less a panel: 960x510 for the program.
    const QRect screen(0, 30, 960, 510);
    const auto fit = fitWindow(kPages, screen, kFrame, kBar, QPoint(300, 200));
    EXPECT_TRUE(fit.scrolls);
    EXPECT_EQ(fit.size.height(), 510 - 31);
    EXPECT_EQ(fit.size.width(), 365 + kBar);  // room for the bar beside the pages
    EXPECT_EQ(fit.place.y(), 30);             // the title bar at the screen's top
    EXPECT_TRUE(screen.contains(frameOf(fit)));

    // Exactly as high as the pages and the frame: no scrolling. One pixel less: scrolling.
    const QRect exact(0, 0, 800, 537 + 31);
    EXPECT_FALSE(fitWindow(kPages, exact, kFrame, kBar, std::nullopt).scrolls);
    EXPECT_TRUE(fitWindow(kPages, exact.adjusted(0, 0, 0, -1), kFrame, kBar, std::nullopt).scrolls);

    // Narrower too (a tiny screen): both ways, and still whole on it.
    const QRect tiny(0, 0, 320, 240);
    const auto small = fitWindow(kPages, tiny, kFrame, kBar, QPoint(50, 50));
    EXPECT_TRUE(small.scrolls);
    EXPECT_TRUE(tiny.contains(frameOf(small)));
    EXPECT_EQ(small.place, tiny.topLeft());
    // Only narrower: the pages scroll across, with room for the bar under them.
    const QRect narrow(0, 0, 300, 1000);
    const auto across = fitWindow(kPages, narrow, kFrame, kBar, std::nullopt);
    EXPECT_EQ(across.size, QSize(298, 537 + kBar));
}

using WindowOnScreens = Window;

// On a small screen every control can still be reached: the pages scroll, and the keyboard
// brings the one it reaches into view.
TEST_F(WindowOnScreens, OnASmallScreenThePagesScrollToEveryControl) {
    window->fitOnto(QRect(0, 0, 960, 400));
    EXPECT_LE(window->height(), 400);
    auto* scroll = widget<QScrollArea>("PagesScroll");
    ASSERT_NE(scroll, nullptr);
    EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);
    auto* write = widget("Button5");
    write->setEnabled(true);
    write->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    const QPoint inView = write->mapTo(scroll->viewport(), QPoint(0, 0));
    EXPECT_GE(inView.y(), 0);
    EXPECT_LE(inView.y() + write->height(), scroll->viewport()->height());

    // The screen's free part shrinks while the window is up (a panel, a new scale): fitted
    // again where it stands.
    window->fitOnto(QRect(0, 0, 1920, 1050));
    ASSERT_EQ(window->size(), QSize(365, 537));
    emit window->screen()->availableGeometryChanged(QRect(0, 0, 960, 300));
    EXPECT_LE(window->frameGeometry().bottom(), 300);
    EXPECT_GT(scroll->verticalScrollBar()->maximum(), 0);

    // On a screen with room, the layout as drawn: nothing scrolls.
    window->fitOnto(QRect(0, 0, 1920, 1050));
    EXPECT_EQ(window->size(), QSize(365, 537));
    EXPECT_EQ(scroll->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(scroll->horizontalScrollBar()->maximum(), 0);
}

// Closed, the window leaves its place for the next start, which opens it there.
TEST_F(WindowOnScreens, TheWindowOpensWhereItWasClosed) {
    core.settingsPath = folder / "korvan.ini";
    window->move(140, 90);
    const QPoint closedAt = window->pos();
    window->close();
    ASSERT_TRUE(model.windowPlace.has_value());
    EXPECT_EQ(QPoint(model.windowPlace->left, model.windowPlace->top), closedAt);

    // As the next start reads it.
    model.windowPlace.reset();
    loadSettings(model, core.settingsPath);
    window = std::make_unique<ui::MainWindow>(core);
    window->show();
    EXPECT_EQ(window->pos(), closedAt);
}

}  // namespace
}  // namespace korvan
