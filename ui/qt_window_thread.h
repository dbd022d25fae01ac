#pragma once

#include <QObject>

#include "core/window_thread.h"

namespace korvan::ui {

// The window's thread as the device worker reaches it: tasks go through the event loop of the
// thread that made this object, and those still queued when it goes are dropped with it. It
// outlives the core object, whose worker may still reach it.
class QtWindowThread final : public QueuedWindowThread {
  protected:
    void enqueue(Task task) override;

  private:
    QObject context_;
};

}  // namespace korvan::ui
