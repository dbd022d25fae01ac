#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/tracker_listing.h"
#include "link/bridge.h"
#include "link/clock.h"
#include "protocol/configuration_read.h"
#include "settings/field_model.h"

namespace korvan {

// One tracker that a pass over the listing came upon, in listing order.
struct DetectedTracker {
    int serial = 0;                  // 0: a supported tracker whose serial number is out of range
    std::string usbSerial;           // as the bridge lists it: what the link opens it by
    std::vector<ReadOutcome> reads;  // every try, in order
    bool ready = false;              // one of the tries read it
};

struct DetectionOutcome {
    bool listed = false;      // the bridge gave its listing
    std::uint32_t count = 0;  // ... of this many devices
    std::vector<DetectedTracker> trackers;
    bool interrupted = false;   // a read was cancelled or its tracker went
    bool accessDenied = false;  // a device's strings could not be read for lack of permission
    int supported = 0;          // supported trackers listed, the one already shown included
    bool incomplete = false;    // a device's strings could not be read, or the listing broke off
    int shownSerial = 0;        // the tracker the window showed when the pass began
    bool shownListed = false;   // ... is still listed
    std::vector<int> listedSerials;  // every supported tracker's serial number listed, in order
};

// What a pass over the listing is given, besides the bridge and the clock.
struct DetectionHooks {
    // Reads the tracker just found; its link opens it by `tracker.usbSerial`.
    std::function<ReadOutcome(const DetectedTracker& tracker)> read;
    std::function<void(int serial)> found;  // told before its reads
    std::function<bool()> stopped;          // cancelled: no further tracker or try
    // The USB descriptions of a supported tracker. A test rig adds its emulated bridge's own;
    // a user has no way to change them.
    std::vector<std::string> descriptions = kTrackerDescriptions;
    // A tracker not to read this pass, by its serial number: "Записывать при подключении" takes
    // one tracker a pass and leaves those it has written alone. None: every new one is read.
    std::function<bool(int serial)> skip;
};

// One pass over the FTDI devices the bridge lists, without opening any: a supported tracker
// with a serial number other than `currentSerial` is told to `found` and read with `read` (up
// to five tries a second apart, `readWithTries`).
DetectionOutcome detectTrackers(Bridge& bridge, Clock& clock, int currentSerial,
                                const DetectionHooks& hooks);

// Every device was listed and none is a supported tracker: the one shown, if any, has gone.
bool noTrackerListed(const DetectionOutcome& outcome);

// A tracker just found, shown with its MAC address before it is read.
void showFoundTracker(FieldModel& model, int serial);

// The pass into the form: each tracker shown, with its MAC address, and its reads applied by
// `applyRead`; the write button follows the outcome. No device at all returns the
// identification to its placeholders. A refused access is told on the status line; with two
// trackers attached, the status line says which one the window shows.
void applyDetection(FieldModel& model, const DetectionOutcome& outcome,
                    const std::function<void(const ReadOutcome&)>& applyRead);

}  // namespace korvan
