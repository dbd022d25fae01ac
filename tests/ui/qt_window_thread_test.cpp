#include "ui/qt_window_thread.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QElapsedTimer>
#include <atomic>
#include <thread>

namespace korvan {
namespace {

// Runs the window's event loop until `done` holds, or a generous while has passed.
template <typename Done>
void pumpUntil(Done done) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < 20000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
}

TEST(QtWindowThread, AWorkersCallRunsOnTheWindowsThreadWhileItWaits) {
    ui::QtWindowThread window;
    const auto windowThread = std::this_thread::get_id();
    std::thread::id ranOn;
    std::atomic<bool> returned = false;
    bool answer = false;
    std::thread worker([&] {
        answer = window.call([&] { ranOn = std::this_thread::get_id(); });
        returned = true;
    });
    pumpUntil([&] { return returned.load(); });
    worker.join();
    EXPECT_TRUE(answer);
    EXPECT_EQ(ranOn, windowThread);

    // Posted tasks keep their order.
    std::vector<int> order;
    for (int i = 0; i < 3; ++i) {
        window.post([&order, i] { order.push_back(i); });
    }
    pumpUntil([&] { return order.size() == 3; });
    EXPECT_EQ(order, (std::vector<int>{0, 1, 2}));
}

TEST(QtWindowThread, AWindowThatGoesReleasesAWaitingWorkerAndDropsItsTask) {
    auto window = std::make_unique<ui::QtWindowThread>();
    std::atomic<bool> returned = false;
    std::atomic<bool> ran = false;
    bool answer = true;
    std::thread worker([&] {
        answer = window->call([&] { ran = true; });
        returned = true;
    });
    // The window's thread never turns its event loop: it is closing.
    while (!returned) {
        window->abandonCalls();
        std::this_thread::yield();
    }
    worker.join();
    EXPECT_FALSE(answer);
    window.reset();  // the task still queued goes with it
    QCoreApplication::processEvents();
    EXPECT_FALSE(ran);
    // Once abandoned, a worker's call does not wait at all.
    ui::QtWindowThread closed;
    closed.abandonCalls();
    bool late = true;
    std::thread([&] { late = closed.call([] {}); }).join();
    EXPECT_FALSE(late);
    // The window's thread calling itself runs the task there and then instead of waiting.
    bool ranAtOnce = false;
    ui::QtWindowThread open;
    EXPECT_TRUE(open.call([&] { ranAtOnce = true; }));
    EXPECT_TRUE(ranAtOnce);
}

}  // namespace
}  // namespace korvan
