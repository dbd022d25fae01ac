#pragma once

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

// Where device operations run. The window posts work; the worker runs it, one job at a time,
// and posts progress and outcomes back through the window's thread (core/window_thread.h).
// Nothing else crosses threads.
namespace korvan {

class DeviceRunner {
  public:
    using Job = std::function<void()>;
    virtual ~DeviceRunner() = default;
    // From the window's thread.
    virtual void run(Job job) = 0;
    // Waits until every job posted has ended; no job is taken afterwards.
    virtual void finish() = 0;
};

// Runs each job at once on the caller's thread: tests and benchmarks, in virtual time.
class InlineRunner final : public DeviceRunner {
  public:
    void run(Job job) override { job(); }
    void finish() override {}
};

// One thread that owns the link and the bridge while a job runs.
class DeviceWorker final : public DeviceRunner {
  public:
    DeviceWorker();
    DeviceWorker(const DeviceWorker&) = delete;
    DeviceWorker& operator=(const DeviceWorker&) = delete;
    ~DeviceWorker() override;

    void run(Job job) override;
    void finish() override;

  private:
    void loop();

    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Job> jobs_;
    bool finishing_ = false;
    std::thread thread_;  // last: it starts once the rest is in place
};

}  // namespace korvan
