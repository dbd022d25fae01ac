#pragma once

#include <chrono>

#include "link/link.h"
#include "sim/simulated_bridge.h"

namespace korvan::testing {

// A link to simulated trackers in virtual time.
struct SimRig {
    VirtualClock clock;
    sim::SimulatedBridge bridge{clock};
    Link link{bridge, clock};

    std::chrono::milliseconds elapsedSince(Clock::Duration start) const {
        return std::chrono::duration_cast<std::chrono::milliseconds>(clock.now() - start);
    }
};

}  // namespace korvan::testing
