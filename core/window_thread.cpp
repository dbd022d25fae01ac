#include "core/window_thread.h"

#include <memory>

namespace korvan {

bool QueuedWindowThread::call(Task task) {
    if (std::this_thread::get_id() == windowThread_) {
        task();  // waiting for itself would never end
        return true;
    }
    // Shared with the queued task: it does not run once the caller has given up on it.
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
    enqueue([this, state, task = std::move(task)] {
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
        ran_.notify_all();
    });
    std::unique_lock lock(mutex_);
    ran_.wait(lock, [&] { return state->ran || abandoned_; });
    state->givenUp = !state->ran;
    return state->ran;
}

void QueuedWindowThread::abandonCalls() {
    {
        std::lock_guard lock(mutex_);
        abandoned_ = true;
    }
    ran_.notify_all();
}

}  // namespace korvan
