#pragma once

#include <QObject>
#include <condition_variable>
#include <mutex>

#include "core/device_worker.h"

namespace korvan::ui {

// The window's thread as the device worker reaches it: tasks go through the event loop of the
// thread that made this object, and those still queued when it goes are dropped with it.
class QtWindowThread final : public WindowThread {
  public:
    QtWindowThread() = default;
    QtWindowThread(const QtWindowThread&) = delete;
    QtWindowThread& operator=(const QtWindowThread&) = delete;

    void post(Task task) override;
    // Waits for the window's thread, which keeps its event loop running meanwhile.
    bool call(const Task& task) override;
    void abandonCalls() override;

  private:
    std::mutex mutex_;
    std::condition_variable done_;
    bool abandoned_ = false;
    QObject context_;  // last: gone first, and with it every task still queued
};

}  // namespace korvan::ui
