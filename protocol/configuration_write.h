#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "link/link.h"
#include "protocol/command_table.h"
#include "protocol/outcome.h"

namespace korvan {

struct WriteOutcome : Outcome {
    TrackerConfiguration written;         // as sent, with the corrections made on the way
    std::vector<Correction> corrections;  // in the order they were made
    bool passwordRejected = false;        // the write button stays off until it is mended
};

// Writes the configuration into the attached tracker: the password checked, numbers brought
// into range and every field checked and converted before the link opens, then over one link
// the Wi-Fi module's settings, each confirmed by its echo, the inputs, serial number, options,
// control points, periods and password, the debug log pointer check, and last the recording
// method. It succeeds only when every step was confirmed; then, and only then, the device is
// recorded by whoever ran it. `beforeOpening` runs once every field has passed its checks and
// before the link opens: what must be asked of the technician is asked there, never with the
// tracker half written, and what would keep the device from being recorded is found there; its
// answer, when it has one (UTF-8), refuses the write. A cancel meanwhile ends the write before
// it touches the tracker. The link is closed on every path.
using BeforeOpening = std::function<std::optional<std::string>()>;
WriteOutcome writeConfiguration(Link& link, const TrackerConfiguration& configuration,
                                Progress& progress, const BeforeOpening& beforeOpening = {});

// The configuration as a write would send it: every number brought into its limits and every
// control point's minutes and fractions filled in as the write does, so that it compares with
// what a tracker holds after such a write.
TrackerConfiguration asWritten(const TrackerConfiguration& configuration);

}  // namespace korvan
