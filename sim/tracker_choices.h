#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "sim/simulated_tracker.h"

// A simulated tracker as a person picks it on a command line: its kind and its faults by name.
namespace korvan::sim {

// "configured", "erased", "mute", "pulled-out-during-write" (also "pulled-out"),
// "without-mode" (a firmware without the mode and wide recording queries), "port-not-kept".
inline constexpr std::string_view kTrackerKinds[] = {
    "configured", "erased",       "mute",         "pulled-out-during-write",
    "pulled-out", "without-mode", "port-not-kept"};
std::optional<SimulatedTracker> makeTracker(std::string_view kind, std::string usbSerial);

// The pause of a split reply unless one is named: longer than the silence after which the
// program takes a reply as complete, so the reply comes cut.
inline constexpr Duration kDefaultSplitPause = std::chrono::milliseconds(60);
// What a wrong reply sends instead of the reply.
inline constexpr std::string_view kWrongReply = "ERROR";

// "KIND:COMMAND[:TIMES[:KEEP[:PAUSE_MS]]]", e.g. "no-reply:FL_GET_MODE$:1000": the next TIMES
// (default 1) commands that start with COMMAND misbehave. KIND is one of no-reply, short-reply,
// wrong-reply, wrong-echo, garbage, split-reply, unplug, not-kept; KEEP is how many bytes a short
// reply keeps or a split reply sends before its pause (default 1), PAUSE_MS the pause. Trailing
// fields of digits are taken as these numbers, so COMMAND itself may hold a colon.
// Nothing, with the reason in Russian in `error`, for text that names no fault.
std::optional<Fault> parseFaultChoice(std::string_view text, std::string& error);

std::string_view faultKindName(Fault::Kind kind);

}  // namespace korvan::sim
