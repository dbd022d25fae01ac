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
    bool reachedNetwork = false;  // the read got as far as the Wi-Fi module's settings
    bool notConfigured = false;   // an erased period or password
};

// Reads the attached tracker's configuration over one link: the firmware version, then
// (unless only the version is asked for) every query of the command table in its fixed
// order. Succeeds when the version was read and no fatal query failed.
ReadOutcome ReadConfiguration(Link& link, const ReadRequest& request, Progress& progress);

// How many steps a read takes at most, for the progress.
int ReadStepCount(const ReadRequest& request);

}  // namespace korvan
