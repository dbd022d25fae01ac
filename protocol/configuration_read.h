#pragma once

#include <optional>
#include <vector>

#include "link/link.h"
#include "protocol/command_table.h"
#include "protocol/outcome.h"
#include "protocol/records.h"

namespace korvan {

struct ReadRequest {
    bool settings = true;  // false: only the firmware version is read
};

struct ReadOutcome : Outcome {
    std::optional<FirmwareNumber> firmware;
    // What the tracker gave: the settings in `read`, in the order they were read. Settings
    // that the tracker holds erased, or that were not asked, stay as they are in the form.
    TrackerConfiguration values;
    std::vector<Setting> read;
    // Settings the tracker was asked for and did not give: their queries failed, or their
    // replies were cut or unreadable. Their fields must not keep another tracker's values.
    std::vector<Setting> missed;
    bool reachedNetwork = false;  // the read got as far as the Wi-Fi module's settings
    bool notConfigured = false;   // an erased period or password
};

// Reads the attached tracker's configuration over one link: the firmware version, then
// (unless only the version is asked for) every query of the command table in its fixed
// order. Succeeds when the version was read and no fatal query failed; the settings it missed
// are named on the status line, in red.
ReadOutcome readConfiguration(Link& link, const ReadRequest& request, Progress& progress);

// How many steps a read takes at most, for the progress.
int readStepCount(const ReadRequest& request);

}  // namespace korvan
