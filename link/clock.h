#pragma once

#include <atomic>
#include <chrono>
#include <thread>

namespace korvan {

// Every wait of the program goes through a clock, so that tests and benchmarks can run the
// device operations in virtual time: a real clock sleeps, a virtual one only moves forward.
class Clock {
  public:
    using Duration = std::chrono::microseconds;

    virtual ~Clock() = default;
    // Monotonic time since an arbitrary start.
    virtual Duration now() const = 0;
    virtual void sleepFor(Duration duration) = 0;
};

class SteadyClock final : public Clock {
  public:
    Duration now() const override;
    void sleepFor(Duration duration) override;
};

// Safe on several threads, as the provisioning line's workers share one: each sleep moves
// every thread's time forward, so time only ever runs faster than each alone would see it. A
// sleep gives way to the other threads, so that a worker polling a mute tracker does not keep
// the others from the bridge's lock.
class VirtualClock final : public Clock {
  public:
    Duration now() const override { return Duration(now_.load(std::memory_order_relaxed)); }
    void sleepFor(Duration duration) override {
        if (duration > Duration::zero()) {
            now_.fetch_add(duration.count(), std::memory_order_relaxed);
        }
        std::this_thread::yield();
    }

  private:
    std::atomic<Duration::rep> now_{0};
};

}  // namespace korvan
