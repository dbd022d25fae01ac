#include "core/detection.h"

#include <algorithm>
#include <cstdio>

#include "base/cp1251.h"
#include "protocol/session.h"

namespace korvan {
namespace {

void showNoDevice(FieldModel& model) {
    model.setText(Field::SerialNumber, cp1251::fromUtf8("Номер"));
    model.setText(Field::FirmwareVersion, cp1251::fromUtf8("Прошивка"));
    model.setEnabled(Field::WriteButton, false);
}

bool cutShort(const ReadOutcome& read) {
    return read.ending == Ending::Cancelled || read.ending == Ending::DeviceGone;
}

bool stopped(const DetectionHooks& hooks) {
    return hooks.stopped && hooks.stopped();
}

// A supported tracker of the listing: counted, and read unless it is the one shown or its
// serial number is out of range.
void takeTracker(const ListedDevice& device, int& currentSerial, Clock& clock,
                 const DetectionHooks& hooks, DetectionOutcome& outcome) {
    ++outcome.supported;
    const int serial = device.serial;
    outcome.listedSerials.push_back(serial);
    outcome.shownListed = outcome.shownListed || (serial != 0 && serial == outcome.shownSerial);
    if (!isTrackerSerial(serial)) {
        outcome.trackers.push_back({});
        return;
    }
    if (serial == currentSerial || (hooks.skip && hooks.skip(serial))) {
        return;
    }
    if (stopped(hooks)) {
        outcome.interrupted = true;
        return;
    }
    currentSerial = serial;
    if (hooks.found) {
        hooks.found(serial);
    }
    DetectedTracker& tracker =
        outcome.trackers.emplace_back(DetectedTracker{serial, device.usbSerial, {}, false});
    ReadTries tries = readWithTries(
        clock, [&] { return hooks.read(tracker); }, [&] { return stopped(hooks); });
    tracker.reads = std::move(tries.reads);
    tracker.ready = tries.ready;
    outcome.interrupted = tries.cutShort;
}

// Every device was listed, none refused and no read cut short.
bool wholeListing(const DetectionOutcome& outcome) {
    return !outcome.incomplete && !outcome.accessDenied && !outcome.interrupted;
}

// Each tracker of the pass shown, with its reads; the write button follows how they went.
void showTrackers(FieldModel& model, const DetectionOutcome& outcome,
                  const std::function<void(const ReadOutcome&)>& applyRead) {
    for (const DetectedTracker& tracker : outcome.trackers) {
        if (tracker.serial == 0) {
            showNoDevice(model);
            continue;
        }
        showFoundTracker(model, tracker.serial);
        for (const ReadOutcome& read : tracker.reads) {
            applyRead(read);
        }
        if (tracker.ready) {
            model.setEnabled(Field::WriteButton, true);
        } else if (!tracker.reads.empty() && cutShort(tracker.reads.back())) {
            // Its fields may still hold another tracker's values: no write until it is read.
            model.setEnabled(Field::WriteButton, false);
        }
    }
}

// The tracker shown was pulled out and no other took its place, whatever else stays
// attached: the window no longer shows it, nor a success or a count that was about it. A
// failure stays: it tells what became of the last operation.
void forgetShownIfGone(FieldModel& model, const DetectionOutcome& outcome) {
    const int shown = outcome.shownSerial;
    const bool shownGone = shown > 0 && wholeListing(outcome) && !outcome.shownListed;
    if (!shownGone || (model.currentSerial != shown && model.currentSerial != 0)) {
        return;
    }
    const bool outOfRangeListed =
        std::any_of(outcome.trackers.begin(), outcome.trackers.end(),
                    [](const DetectedTracker& t) { return t.serial == 0; });
    if (!outOfRangeListed) {
        model.currentSerial = 0;  // else kept, as a tracker out of range always left it
    }
    showNoDevice(model);
    if (model.statusColour() != StatusColour::Red) {
        char serial[16];
        std::snprintf(serial, sizeof serial, "%05d", shown);
        model.setStatusColour(StatusColour::WindowText);
        model.setStatusMessage("Трекер " + std::string(serial) + " отключён");
    }
}

// A refused access, or how many trackers are attached and which one the window shows.
void tellListing(FieldModel& model, const DetectionOutcome& outcome) {
    const std::string countPrefix = cp1251::fromUtf8("Подключено трекеров: ");
    const bool countShown = model.text(Field::StatusLine).rfind(countPrefix, 0) == 0;
    if (outcome.accessDenied) {
        model.setStatusColour(StatusColour::Red);
        model.setStatusMessage(kNoAccessMessage);
    } else if (model.currentSerial > 0 && outcome.supported >= 1 &&
               ((outcome.supported > 1 && model.statusColour() == StatusColour::Black) ||
                (countShown && wholeListing(outcome)))) {
        // Said only where it hides no failure of the reads, and kept up to date as trackers
        // come and go while it is shown.
        model.setStatusMessage("Подключено трекеров: " + std::to_string(outcome.supported) +
                               ". В окне трекер " +
                               cp1251::toUtf8(model.text(Field::SerialNumber)));
    }
}

}  // namespace

DetectionOutcome detectTrackers(Bridge& bridge, Clock& clock, int currentSerial,
                                const DetectionHooks& hooks) {
    DetectionOutcome outcome;
    outcome.shownSerial = currentSerial;
    if (bridge.deviceCount(outcome.count) != BridgeStatus::Ok) {
        return outcome;  // nothing is known, so nothing is taken back either
    }
    outcome.listed = true;
    // Each tracker is read as the listing comes to it, so that what is read is what is there.
    for (std::uint32_t index = 0; index < outcome.count && !outcome.interrupted; ++index) {
        ListedDevice device;
        if (!listDevice(bridge, index, hooks.descriptions, ListedStrings::TrackersOnly, device)) {
            outcome.incomplete = true;
            break;
        }
        outcome.accessDenied = outcome.accessDenied || device.accessRefused;
        outcome.incomplete = outcome.incomplete || !device.complete;
        if (device.supported) {
            takeTracker(device, currentSerial, clock, hooks, outcome);
        }
    }
    return outcome;
}

bool noTrackerListed(const DetectionOutcome& outcome) {
    return outcome.listed && !outcome.incomplete && !outcome.accessDenied && outcome.supported == 0;
}

void showFoundTracker(FieldModel& model, int serial) {
    char shown[8];
    std::snprintf(shown, sizeof shown, "%05d", serial);
    model.setText(Field::SerialNumber, shown);
    model.currentSerial = serial;
    model.showMac(serial);
}

void applyDetection(FieldModel& model, const DetectionOutcome& outcome,
                    const std::function<void(const ReadOutcome&)>& applyRead) {
    if (!outcome.listed) {
        return;
    }
    showTrackers(model, outcome, applyRead);
    if (noTrackerListed(outcome)) {
        model.currentSerial = 0;
        showNoDevice(model);
    }
    forgetShownIfGone(model, outcome);
    tellListing(model, outcome);
}

}  // namespace korvan
