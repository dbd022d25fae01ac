#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// How the device worker reaches the window's thread, where the form and the dialogs live.
namespace korvan {

class WindowThread {
  public:
    using Task = std::function<void()>;
    virtual ~WindowThread() = default;
    // Runs `task` on the window's thread later, in the order posted.
    virtual void post(Task task) = 0;
    // Runs `task` on the window's thread and waits until it has run: a dialog that an
    // operation needs in its middle. False when it did not run because the window is going;
    // what the task refers to must then outlive the window, as it may still run.
    virtual bool call(Task task) = 0;
    // The window is going: a call that waits, or comes later, returns false at once.
    virtual void abandonCalls() {}
};

// For a runner on the window's own thread: everything runs at once.
class SameThread final : public WindowThread {
  public:
    void post(Task task) override { task(); }
    bool call(Task task) override {
        task();
        return true;
    }
};

// A window's thread reached through a queue of its own, such as its event loop: `call` puts
// the task in the queue and waits for it. Made on the window's thread.
class QueuedWindowThread : public WindowThread {
  public:
    void post(Task task) final { enqueue(std::move(task)); }
    bool call(Task task) final;
    void abandonCalls() final;

  protected:
    // Puts `task` in the window's queue, from any thread.
    virtual void enqueue(Task task) = 0;

  private:
    const std::thread::id windowThread_ = std::this_thread::get_id();
    std::mutex mutex_;
    std::condition_variable ran_;
    bool abandoned_ = false;
};

}  // namespace korvan
