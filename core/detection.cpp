#include "core/detection.h"

#include <algorithm>
#include <cstdio>

#include "base/cp1251.h"
#include "base/scan.h"
#include "protocol/session.h"

namespace korvan {
namespace {

constexpr int kReadTries = 5;
constexpr auto kPauseAfterFailedRead = std::chrono::milliseconds(1000);
constexpr auto kPauseSlice = std::chrono::milliseconds(20);

void showNoDevice(FieldModel& model) {
    model.setText(Field::SerialNumber, cp1251::fromUtf8("Номер"));
    model.setText(Field::FirmwareVersion, cp1251::fromUtf8("Прошивка"));
    model.setEnabled(Field::WriteButton, false);
}

bool cutShort(const ReadOutcome& read) {
    return read.ending == Ending::Cancelled || read.ending == Ending::DeviceGone;
}

}  // namespace

DetectionOutcome detectTrackers(Bridge& bridge, Clock& clock, int currentSerial,
                                const DetectionHooks& hooks) {
    const auto stopped = [&hooks] { return hooks.stopped && hooks.stopped(); };
    DetectionOutcome outcome;
    outcome.shownSerial = currentSerial;
    if (bridge.deviceCount(outcome.count) != BridgeStatus::Ok) {
        return outcome;  // nothing is known, so nothing is taken back either
    }
    outcome.listed = true;
    for (std::uint32_t index = 0; index < outcome.count && !outcome.interrupted; ++index) {
        std::string text;
        const BridgeStatus described = bridge.description(index, text);
        if (described == BridgeStatus::AccessDenied) {
            // Another device may still be readable: a refusal is per device.
            outcome.accessDenied = true;
            continue;
        }
        if (described != BridgeStatus::Ok) {
            outcome.incomplete = true;
            break;
        }
        if (std::find(hooks.descriptions.begin(), hooks.descriptions.end(), text) ==
            hooks.descriptions.end()) {
            continue;
        }
        const BridgeStatus numbered = bridge.serialNumber(index, text);
        if (numbered != BridgeStatus::Ok) {
            // A tracker all the same, perhaps the one shown: the pass does not say it is gone.
            outcome.accessDenied = outcome.accessDenied || numbered == BridgeStatus::AccessDenied;
            outcome.incomplete = true;
            continue;
        }
        ++outcome.supported;
        const int serial = leadingInteger(text).value_or(0);
        outcome.shownListed = outcome.shownListed || (serial != 0 && serial == outcome.shownSerial);
        if (serial < 1 || serial > 99999) {
            outcome.trackers.push_back({});
            continue;
        }
        if (serial == currentSerial) {
            continue;
        }
        if (stopped()) {
            outcome.interrupted = true;
            break;
        }
        currentSerial = serial;
        if (hooks.found) {
            hooks.found(serial);
        }
        DetectedTracker& tracker =
            outcome.trackers.emplace_back(DetectedTracker{serial, text, {}, false});
        for (int attempt = 1; attempt <= kReadTries; ++attempt) {
            tracker.reads.push_back(hooks.read(tracker));
            if (tracker.reads.back().succeeded()) {
                tracker.ready = true;
                break;
            }
            if (cutShort(tracker.reads.back())) {
                outcome.interrupted = true;
                break;
            }
            // In slices, so that a cancel is not kept waiting.
            for (auto pause = Clock::Duration(kPauseAfterFailedRead);
                 pause > Clock::Duration::zero() && !stopped(); pause -= kPauseSlice) {
                clock.sleepFor(std::min(pause, Clock::Duration(kPauseSlice)));
            }
            if (stopped()) {
                outcome.interrupted = true;
                break;
            }
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
    if (noTrackerListed(outcome)) {
        model.currentSerial = 0;
        showNoDevice(model);
    }
    // The tracker shown was pulled out and no other took its place, whatever else stays
    // attached: the window no longer shows it, nor a success or a count that was about it. A
    // failure stays: it tells what became of the last operation.
    const bool wholeListing = !outcome.incomplete && !outcome.accessDenied && !outcome.interrupted;
    const int shown = outcome.shownSerial;
    const bool shownGone = shown > 0 && wholeListing && !outcome.shownListed;
    if (shownGone && (model.currentSerial == shown || model.currentSerial == 0)) {
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
    const std::string countPrefix = cp1251::fromUtf8("Подключено трекеров: ");
    const bool countShown = model.text(Field::StatusLine).rfind(countPrefix, 0) == 0;
    if (outcome.accessDenied) {
        model.setStatusColour(StatusColour::Red);
        model.setStatusMessage(kNoAccessMessage);
    } else if (model.currentSerial > 0 && outcome.supported >= 1 &&
               ((outcome.supported > 1 && model.statusColour() == StatusColour::Black) ||
                (countShown && wholeListing))) {
        // Said only where it hides no failure of the reads, and kept up to date as trackers
        // come and go while it is shown.
        model.setStatusMessage("Подключено трекеров: " + std::to_string(outcome.supported) +
                               ". В окне трекер " +
                               cp1251::toUtf8(model.text(Field::SerialNumber)));
    }
}

}  // namespace korvan
