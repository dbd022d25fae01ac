#include "ui/qt_window_thread.h"

#include <QMetaObject>
#include <memory>

namespace korvan::ui {

void QtWindowThread::post(Task task) {
    QMetaObject::invokeMethod(&context_, std::move(task), Qt::QueuedConnection);
}

bool QtWindowThread::call(const Task& task) {
    // `ran` is shared so that a task still queued when the call gives up finds out that it
    // must not run: what it refers to lives on the waiting thread's stack.
    struct State {
        bool ran = false;
        bool givenUp = false;
    };
    auto state = std::make_shared<State>();
    {
        std::lock_guard lock(mutex_);
        if (abandoned_) {
            return false;
        }
    }
    QMetaObject::invokeMethod(
        &context_,
        [this, state, &task] {
            {
                std::lock_guard lock(mutex_);
                if (state->givenUp) {
                    return;
                }
            }
            task();
            {
                std::lock_guard lock(mutex_);
                state->ran = true;
            }
            done_.notify_all();
        },
        Qt::QueuedConnection);
    std::unique_lock lock(mutex_);
    done_.wait(lock, [&] { return state->ran || abandoned_; });
    if (!state->ran) {
        state->givenUp = true;
        return false;
    }
    return true;
}

void QtWindowThread::abandonCalls() {
    {
        std::lock_guard lock(mutex_);
        abandoned_ = true;
    }
    done_.notify_all();
}

}  // namespace korvan::ui
