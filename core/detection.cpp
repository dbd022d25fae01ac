#include "core/detection.h"

#include <algorithm>
#include <cstdio>

#include "base/cp1251.h"
#include "base/scan.h"

namespace korvan {
namespace {

constexpr int kReadTries = 5;
constexpr auto kPauseAfterFailedRead = std::chrono::milliseconds(1000);

void showNoDevice(FieldModel& model) {
    model.setText(Field::SerNum, cp1251::fromUtf8("Номер"));
    model.setText(Field::Panel16, cp1251::fromUtf8("Прошивка"));
    model.setEnabled(Field::Button5, false);
}

}  // namespace

void DetectDevice(Bridge& bridge, Clock& clock, FieldModel& model,
                  const std::function<bool()>& readConfiguration) {
    std::uint32_t count = 0;
    if (bridge.deviceCount(count) != BridgeStatus::Ok) {
        return;  // nothing is known, so nothing is taken back either
    }
    for (std::uint32_t index = 0; index < count; ++index) {
        std::string text;
        if (bridge.description(index, text) != BridgeStatus::Ok) {
            break;
        }
        if (std::find(std::begin(kTrackerDescriptions), std::end(kTrackerDescriptions), text) ==
            std::end(kTrackerDescriptions)) {
            continue;
        }
        if (bridge.serialNumber(index, text) != BridgeStatus::Ok) {
            continue;
        }
        const int serial = LeadingInteger(text).value_or(0);
        if (serial < 1 || serial > 99999) {
            showNoDevice(model);
            continue;
        }
        if (serial == model.CurrentSerial) {
            continue;
        }
        char shown[8];
        std::snprintf(shown, sizeof shown, "%05d", serial);
        model.setText(Field::SerNum, shown);
        model.CurrentSerial = serial;
        model.ShowMac(serial);
        for (int attempt = 1; attempt <= kReadTries; ++attempt) {
            if (readConfiguration()) {
                model.setEnabled(Field::Button5, true);
                break;
            }
            clock.sleepFor(kPauseAfterFailedRead);
        }
    }
    if (count == 0) {
        model.CurrentSerial = 0;
        showNoDevice(model);
    }
}

}  // namespace korvan
