#include "link/usb_watch_plan.h"

#include <algorithm>

namespace korvan {

void UsbWatchPlan::planLaterLooks(Clock::Duration now) {
    laterLooks_.clear();
    for (auto after : kLookAgainAfter) {
        laterLooks_.push_back(now + after);
    }
}

bool UsbWatchPlan::arrived(Clock::Duration now) {
    planLaterLooks(now);
    return true;
}

bool UsbWatchPlan::left(Clock::Duration) {
    return true;
}

bool UsbWatchPlan::listed(std::vector<UsbDeviceId> devices, Clock::Duration now) {
    std::sort(devices.begin(), devices.end());
    if (!devices_) {
        devices_ = std::move(devices);
        return false;  // the first listing is what the program starts with
    }
    if (devices == *devices_) {
        return false;
    }
    const bool anyNew = std::any_of(devices.begin(), devices.end(), [this](const auto& device) {
        return !std::binary_search(devices_->begin(), devices_->end(), device);
    });
    if (anyNew) {
        planLaterLooks(now);
    }
    devices_ = std::move(devices);
    return true;
}

bool UsbWatchPlan::due(Clock::Duration now) {
    const auto due = std::find_if(laterLooks_.begin(), laterLooks_.end(),
                                  [now](Clock::Duration at) { return at <= now; });
    if (due == laterLooks_.end()) {
        return false;
    }
    // Looks that fell due together are one look.
    laterLooks_.erase(std::remove_if(laterLooks_.begin(), laterLooks_.end(),
                                     [now](Clock::Duration at) { return at <= now; }),
                      laterLooks_.end());
    return true;
}

std::optional<Clock::Duration> UsbWatchPlan::nextLook() const {
    if (laterLooks_.empty()) {
        return std::nullopt;
    }
    return *std::min_element(laterLooks_.begin(), laterLooks_.end());
}

}  // namespace korvan
