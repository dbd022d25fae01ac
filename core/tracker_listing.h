#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "link/bridge.h"
#include "link/clock.h"
#include "protocol/configuration_read.h"
#include "settings/field_model.h"

// What the window's detection and the command line both take for a tracker, how they list the
// devices, and how long they give a tracker just plugged in.
namespace korvan {

// The two USB descriptions a supported tracker carries: what the shipped programs accept.
inline const std::vector<std::string> kTrackerDescriptions = {"VANTORIUM", "Zentracor"};

// A device whose description is one of `descriptions` is a supported tracker, configured when
// its serial number lies in range.
bool isTrackerDescription(std::string_view description,
                          const std::vector<std::string>& descriptions = kTrackerDescriptions);
constexpr bool isTrackerSerial(int serial) {
    return serial >= 1 && serial <= 99999;
}

// One device of the listing.
struct ListedDevice {
    std::uint32_t index = 0;
    std::string description;
    std::string usbSerial;       // empty when it was not asked for or could not be read
    bool accessRefused = false;  // its strings could not be read for lack of permission
    bool complete = true;        // every string asked for was read
    bool supported = false;      // a tracker's description, and its serial string was read
    bool tracker = false;        // ... with a serial number in range
    int serial = 0;

    // Its serial number and MAC address as the window shows them ("00042").
    std::string serialText() const { return serialNumberText(serial); }
    std::string macText() const { return macAddressText(withSerial(kTrackerMacBase, serial)); }
};

struct Listing {
    bool listed = false;    // the bridge gave its listing
    bool complete = false;  // ... and every string asked for was read
    bool broken = false;    // a device's description failed: no device after it was asked for
    std::vector<ListedDevice> devices;

    bool accessRefused() const;
    std::vector<const ListedDevice*> trackers() const;
};

// Which serial strings a listing asks for. Reading a string opens the USB device for a moment:
// the window asks only supported trackers for theirs, the command line's list shows them all.
enum class ListedStrings : std::uint8_t { TrackersOnly, Every };

// The device at `index` of the bridge's listing, with its strings as far as they are asked for;
// false when its description failed for another reason than a refusal: the listing broke off
// there (a device gone in the middle of it), and the places after it may name other devices.
bool listDevice(Bridge& bridge, std::uint32_t index, const std::vector<std::string>& descriptions,
                ListedStrings strings, ListedDevice& device);

// Every device the bridge lists with its strings, without opening any for configuration.
Listing listDevices(Bridge& bridge,
                    const std::vector<std::string>& descriptions = kTrackerDescriptions,
                    ListedStrings strings = ListedStrings::TrackersOnly);

// A tracker is read up to kReadTries times, and after each failed try the next waits
// kPauseAfterFailedRead (the fifth failure too), as its bridge may answer before it does.
inline constexpr int kReadTries = 5;
inline constexpr auto kPauseAfterFailedRead = std::chrono::milliseconds(1000);

struct ReadTries {
    std::vector<ReadOutcome> reads;  // every try, in order
    bool ready = false;              // one of them read the tracker
    bool cutShort = false;           // a cancel, a stop or the tracker gone ended the tries
};
// The pause is taken in slices, so that `stopped` is not kept waiting.
ReadTries readWithTries(Clock& clock, const std::function<ReadOutcome()>& read,
                        const std::function<bool()>& stopped);

}  // namespace korvan
