#include "cli/tracker_steps.h"

#include <algorithm>

#include "base/cp1251.h"
#include "base/scan.h"
#include "core/detection.h"
#include "core/form_mapping.h"

namespace korvan::cli {

bool Listing::accessRefused() const {
    return std::any_of(devices.begin(), devices.end(),
                       [](const ListedDevice& d) { return d.accessRefused; });
}

std::vector<const ListedDevice*> Listing::trackers() const {
    std::vector<const ListedDevice*> found;
    for (const ListedDevice& device : devices) {
        if (device.tracker) {
            found.push_back(&device);
        }
    }
    return found;
}

Listing listDevices(Bridge& bridge, const std::vector<std::string>& descriptions) {
    Listing listing;
    std::uint32_t count = 0;
    if (bridge.deviceCount(count) != BridgeStatus::Ok) {
        return listing;
    }
    listing.listed = true;
    listing.complete = true;
    for (std::uint32_t index = 0; index < count; ++index) {
        ListedDevice device;
        device.index = index;
        const BridgeStatus described = bridge.description(index, device.description);
        const BridgeStatus numbered = described == BridgeStatus::Ok
                                          ? bridge.serialNumber(index, device.usbSerial)
                                          : described;
        device.accessRefused =
            described == BridgeStatus::AccessDenied || numbered == BridgeStatus::AccessDenied;
        listing.complete = listing.complete && numbered == BridgeStatus::Ok;
        device.serial = leadingInteger(device.usbSerial).value_or(0);
        device.tracker = numbered == BridgeStatus::Ok &&
                         isTrackerDescription(device.description, descriptions) &&
                         isTrackerSerial(device.serial);
        listing.devices.push_back(std::move(device));
    }
    return listing;
}

void startFields(FieldModel& model) {
    // As the window starts without a settings file.
    loadStartingFields(model, {});
    alignStartingFields(model);
}

ReadOutcome readTracker(Link& link, FieldModel& model, const ListedDevice& tracker,
                        MessageBoxes& boxes) {
    showFoundTracker(model, tracker.serial);
    link.setTarget(LinkTarget::serial(tracker.usbSerial));
    return readIntoForm(link, model, boxes);
}

}  // namespace korvan::cli
