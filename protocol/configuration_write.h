#pragma once

#include <vector>

#include "link/link.h"
#include "protocol/command_table.h"
#include "protocol/outcome.h"

namespace korvan {

// What the write needs in its middle: once the tracker has taken every setting, and before
// its recording method is sent, the device is recorded. Called on the thread that runs the
// write, which goes on once it returns; false when the record found no room.
class WrittenDeviceRecorder {
  public:
    virtual ~WrittenDeviceRecorder() = default;
    virtual bool recordWrittenDevice(const TrackerConfiguration& written) = 0;
};

struct WriteOutcome : Outcome {
    TrackerConfiguration written;         // as sent, with the corrections made on the way
    std::vector<Correction> corrections;  // in the order they were made
    bool passwordRejected = false;        // the write button stays off until it is mended
    bool recorded = false;                // the device was recorded in its middle
    bool recordRefused = false;           // ... but the record found no room
};

// Writes the configuration into the attached tracker: the password checked, numbers brought
// into range, then over one link the Wi-Fi module's settings, each confirmed by its echo, the
// inputs, serial number, options, control points, periods and password, the debug log
// pointer check, the device recorded, and last the recording method. The link is closed on
// every path.
WriteOutcome WriteConfiguration(Link& link, const TrackerConfiguration& configuration,
                                WrittenDeviceRecorder& recorder, Progress& progress);

}  // namespace korvan
