#pragma once

#include <string>
#include <string_view>

#include "sim/simulated_tracker.h"

// What a simulated tracker keeps in its memory, as text: its settings, debug log and log
// pointer, one "name value" line each, numbers in decimal and bytes in hex. A tracker kept in
// a file keeps what a program wrote into it across runs of the server, as a real one keeps it
// across power cycles.
namespace korvan::sim {

std::string saveTrackerMemory(const SimulatedTracker& tracker);

// Puts the memory saved in `text` into `tracker`; a name that is not there keeps the tracker's
// own value. False, with the first bad line named in Russian in `error` and `tracker` as it
// was, when the text is not such memory.
bool loadTrackerMemory(std::string_view text, SimulatedTracker& tracker, std::string& error);

}  // namespace korvan::sim
