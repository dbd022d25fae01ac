#include "link/clock.h"

#include <thread>

namespace korvan {

Clock::Duration SteadyClock::now() const {
    return std::chrono::duration_cast<Duration>(
        std::chrono::steady_clock::now().time_since_epoch());
}

void SteadyClock::sleepFor(Duration duration) {
    std::this_thread::sleep_for(duration);
}

}  // namespace korvan
