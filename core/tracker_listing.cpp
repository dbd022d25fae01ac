#include "core/tracker_listing.h"

#include <algorithm>

#include "base/scan.h"

namespace korvan {
namespace {

constexpr auto kPauseSlice = std::chrono::milliseconds(20);

bool endsTheTries(const ReadOutcome& read) {
    return read.ending == Ending::Cancelled || read.ending == Ending::DeviceGone;
}

}  // namespace

bool isTrackerDescription(std::string_view description,
                          const std::vector<std::string>& descriptions) {
    return std::find(descriptions.begin(), descriptions.end(), description) != descriptions.end();
}

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

bool listDevice(Bridge& bridge, std::uint32_t index, const std::vector<std::string>& descriptions,
                ListedStrings strings, ListedDevice& device) {
    device = {};
    device.index = index;
    const BridgeStatus described = bridge.description(index, device.description);
    if (described == BridgeStatus::AccessDenied) {
        // Another device may still be readable: a refusal is per device.
        device.accessRefused = true;
        device.complete = false;
        return true;
    }
    if (described != BridgeStatus::Ok) {
        device.complete = false;
        return false;
    }
    const bool trackerDescription = isTrackerDescription(device.description, descriptions);
    if (!trackerDescription && strings == ListedStrings::TrackersOnly) {
        return true;
    }
    const BridgeStatus numbered = bridge.serialNumber(index, device.usbSerial);
    device.accessRefused = numbered == BridgeStatus::AccessDenied;
    device.complete = numbered == BridgeStatus::Ok;
    device.supported = trackerDescription && device.complete;
    device.serial = device.complete ? leadingInteger(device.usbSerial).value_or(0) : 0;
    device.tracker = device.supported && isTrackerSerial(device.serial);
    return true;
}

Listing listDevices(Bridge& bridge, const std::vector<std::string>& descriptions,
                    ListedStrings strings) {
    Listing listing;
    std::uint32_t count = 0;
    if (bridge.deviceCount(count) != BridgeStatus::Ok) {
        return listing;
    }
    listing.listed = true;
    listing.complete = true;
    for (std::uint32_t index = 0; index < count; ++index) {
        ListedDevice device;
        if (!listDevice(bridge, index, descriptions, strings, device)) {
            listing.complete = false;
            listing.broken = true;
            break;
        }
        listing.complete = listing.complete && device.complete;
        listing.devices.push_back(std::move(device));
    }
    return listing;
}

ReadTries readWithTries(Clock& clock, const std::function<ReadOutcome()>& read,
                        const std::function<bool()>& stopped) {
    ReadTries tries;
    for (int attempt = 1; attempt <= kReadTries; ++attempt) {
        tries.reads.push_back(read());
        if (tries.reads.back().succeeded()) {
            tries.ready = true;
            return tries;
        }
        if (endsTheTries(tries.reads.back())) {
            tries.cutShort = true;
            return tries;
        }
        for (auto pause = Clock::Duration(kPauseAfterFailedRead);
             pause > Clock::Duration::zero() && !stopped(); pause -= kPauseSlice) {
            clock.sleepFor(std::min(pause, Clock::Duration(kPauseSlice)));
        }
        if (stopped()) {
            tries.cutShort = true;
            return tries;
        }
    }
    return tries;
}

}  // namespace korvan
