#pragma once

#include <chrono>

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

class VirtualClock final : public Clock {
  public:
    Duration now() const override { return now_; }
    void sleepFor(Duration duration) override {
        if (duration > Duration::zero()) {
            now_ += duration;
        }
    }

  private:
    Duration now_{0};
};

}  // namespace korvan
