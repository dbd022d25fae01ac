#include "sim/simulated_bridge.h"

#include <algorithm>

namespace korvan::sim {

SimulatedBridge::SimulatedBridge(Clock& clock, WireTiming timing)
    : clock_(clock), timing_(timing), stream_(timing.byteTime) {}

SimulatedTracker& SimulatedBridge::plug(SimulatedTracker tracker) {
    SimulatedTracker* plugged = nullptr;
    {
        std::lock_guard lock(mutex_);
        trackers_.push_back(std::make_unique<SimulatedTracker>(std::move(tracker)));
        plugged = trackers_.back().get();
    }
    tellDevicesChanged();
    return *plugged;
}

void SimulatedBridge::unplug(std::size_t index) {
    bool removed = false;
    {
        std::lock_guard lock(mutex_);
        removed = remove(index);
    }
    if (removed) {
        tellDevicesChanged();
    }
}

bool SimulatedBridge::unplugSerial(const std::string& usbSerial) {
    bool removed = false;
    {
        std::lock_guard lock(mutex_);
        const auto found =
            std::find_if(trackers_.begin(), trackers_.end(),
                         [&usbSerial](const auto& t) { return t->usbSerial == usbSerial; });
        removed =
            found != trackers_.end() && remove(static_cast<std::size_t>(found - trackers_.begin()));
    }
    if (removed) {
        tellDevicesChanged();
    }
    return removed;
}

std::vector<std::string> SimulatedBridge::attachedSerials() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> serials;
    for (const auto& tracker : trackers_) {
        serials.push_back(tracker->usbSerial);
    }
    return serials;
}

bool SimulatedBridge::remove(std::size_t index) {
    if (index >= trackers_.size()) {
        return false;
    }
    if (trackers_[index].get() == open_) {
        gone_ = true;
        open_ = nullptr;
        inbound_.clear();
    }
    // Kept, as a tracker on the bench keeps its memory, until it is plugged in again.
    unplugged_[trackers_[index]->usbSerial] = std::move(trackers_[index]);
    trackers_.erase(trackers_.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

bool SimulatedBridge::replug(const std::string& usbSerial) {
    {
        std::lock_guard lock(mutex_);
        const auto found = unplugged_.find(usbSerial);
        if (found == unplugged_.end()) {
            return false;
        }
        found->second->powerOn();
        trackers_.push_back(std::move(found->second));
        unplugged_.erase(found);
    }
    tellDevicesChanged();
    return true;
}

void SimulatedBridge::tellDevicesChanged() {
    if (onDevicesChanged) {
        onDevicesChanged();
    }
}

std::size_t SimulatedBridge::attached() const {
    std::lock_guard lock(mutex_);
    return trackers_.size();
}

SimulatedTracker& SimulatedBridge::tracker(std::size_t index) {
    std::lock_guard lock(mutex_);
    return *trackers_.at(index);
}

void SimulatedBridge::failNext(BridgeCall kind, BridgeStatus status) {
    std::lock_guard lock(mutex_);
    failures_.emplace_back(kind, status);
}

void SimulatedBridge::setUnpluggedStatus(BridgeStatus status) {
    std::lock_guard lock(mutex_);
    unpluggedStatus_ = status;
}

void SimulatedBridge::clearCalls() {
    std::lock_guard lock(mutex_);
    calls_.clear();
}

BridgeStatus SimulatedBridge::call(BridgeCall kind, const char* name) {
    calls_.emplace_back(name);
    return failure(kind);
}

BridgeStatus SimulatedBridge::failure(BridgeCall kind) {
    auto it = std::find_if(failures_.begin(), failures_.end(),
                           [kind](const auto& failure) { return failure.first == kind; });
    if (it == failures_.end()) {
        return BridgeStatus::Ok;
    }
    const BridgeStatus status = it->second;
    failures_.erase(it);
    return status;
}

BridgeStatus SimulatedBridge::openState() const {
    if (gone_) {
        return unpluggedStatus_;
    }
    return open_ != nullptr ? BridgeStatus::Ok : BridgeStatus::Failed;
}

BridgeStatus SimulatedBridge::deviceCount(std::uint32_t& count) {
    std::lock_guard lock(mutex_);
    if (auto status = call(BridgeCall::DeviceCount, "deviceCount"); status != BridgeStatus::Ok) {
        return status;
    }
    count = static_cast<std::uint32_t>(trackers_.size());
    return BridgeStatus::Ok;
}

BridgeStatus SimulatedBridge::description(std::uint32_t index, std::string& text) {
    std::lock_guard lock(mutex_);
    if (auto status = call(BridgeCall::Description, "description"); status != BridgeStatus::Ok) {
        return status;
    }
    if (index >= trackers_.size()) {
        return BridgeStatus::DeviceNotFound;
    }
    text = trackers_[index]->usbDescription.substr(0, kListStringLimit);
    return BridgeStatus::Ok;
}

BridgeStatus SimulatedBridge::serialNumber(std::uint32_t index, std::string& text) {
    std::lock_guard lock(mutex_);
    if (auto status = call(BridgeCall::SerialNumber, "serialNumber"); status != BridgeStatus::Ok) {
        return status;
    }
    if (index >= trackers_.size()) {
        return BridgeStatus::DeviceNotFound;
    }
    text = trackers_[index]->usbSerial.substr(0, kListStringLimit);
    return BridgeStatus::Ok;
}

BridgeStatus SimulatedBridge::open(std::uint32_t index) {
    std::lock_guard lock(mutex_);
    if (auto status = call(BridgeCall::Open, "open"); status != BridgeStatus::Ok) {
        return status;
    }
    if (open_ != nullptr) {
        return BridgeStatus::Failed;  // one handle at a time, as the vendor library allows
    }
    if (index >= trackers_.size()) {
        return BridgeStatus::DeviceNotFound;
    }
    return openAt(index);
}

BridgeStatus SimulatedBridge::openSerial(const std::string& usbSerial) {
    std::lock_guard lock(mutex_);
    if (auto status = call(BridgeCall::Open, "openSerial"); status != BridgeStatus::Ok) {
        return status;
    }
    if (open_ != nullptr) {
        return BridgeStatus::Failed;
    }
    const auto it = std::find_if(trackers_.begin(), trackers_.end(), [&usbSerial](const auto& t) {
        return t->usbSerial.substr(0, kListStringLimit) == usbSerial;
    });
    if (it == trackers_.end()) {
        return BridgeStatus::DeviceNotFound;
    }
    return openAt(static_cast<std::size_t>(it - trackers_.begin()));
}

BridgeStatus SimulatedBridge::openAt(std::size_t index) {
    open_ = trackers_[index].get();
    gone_ = false;
    divisor_ = 0;
    eightN1_ = false;
    latency_ = std::chrono::milliseconds(16);
    inbound_.clear();
    return BridgeStatus::Ok;
}

BridgeStatus SimulatedBridge::setDivisor(std::uint16_t divisor) {
    std::lock_guard lock(mutex_);
    if (auto status = call(BridgeCall::SetDivisor, "setDivisor"); status != BridgeStatus::Ok) {
        return status;
    }
    divisor_ = divisor;
    return openState();
}

BridgeStatus SimulatedBridge::setTimeouts(std::uint32_t, std::uint32_t) {
    std::lock_guard lock(mutex_);
    if (auto status = call(BridgeCall::SetTimeouts, "setTimeouts"); status != BridgeStatus::Ok) {
        return status;
    }
    return openState();
}

BridgeStatus SimulatedBridge::setDataCharacteristics(std::uint8_t wordLength, std::uint8_t stopBits,
                                                     std::uint8_t parity) {
    std::lock_guard lock(mutex_);
    if (auto status = call(BridgeCall::SetDataCharacteristics, "setDataCharacteristics");
        status != BridgeStatus::Ok) {
        return status;
    }
    eightN1_ = wordLength == 8 && stopBits == 0 && parity == 0;
    return openState();
}

BridgeStatus SimulatedBridge::setFlowControl(std::uint16_t, std::uint8_t, std::uint8_t) {
    std::lock_guard lock(mutex_);
    if (auto status = call(BridgeCall::SetFlowControl, "setFlowControl");
        status != BridgeStatus::Ok) {
        return status;
    }
    return openState();
}

BridgeStatus SimulatedBridge::setLatencyTimer(std::uint8_t milliseconds) {
    std::lock_guard lock(mutex_);
    if (auto status = call(BridgeCall::SetLatencyTimer, "setLatencyTimer");
        status != BridgeStatus::Ok) {
        return status;
    }
    latency_ = std::chrono::milliseconds(milliseconds);
    return openState();
}

bool SimulatedBridge::lineMatchesTracker() const {
    return divisor_ == 3 && eightN1_;
}

BridgeStatus SimulatedBridge::purge() {
    std::lock_guard lock(mutex_);
    if (auto status = call(BridgeCall::Purge, "purge"); status != BridgeStatus::Ok) {
        return status;
    }
    // What the chip holds is gone; bytes still on their way arrive later.
    const auto now = clock_.now();
    std::erase_if(inbound_, [now](const InFlight& b) { return b.atBridge <= now; });
    return openState();
}

BridgeStatus SimulatedBridge::write(std::span<const std::uint8_t> bytes, std::size_t& written) {
    std::unique_lock lock(mutex_);
    written = 0;
    if (auto status = call(BridgeCall::Write, "write"); status != BridgeStatus::Ok) {
        return status;
    }
    if (auto state = openState(); state != BridgeStatus::Ok) {
        return state;
    }
    written = bytes.size();
    if (!lineMatchesTracker()) {
        return BridgeStatus::Ok;  // the tracker hears only noise and stays silent
    }
    const auto heard = stream_.feed(*open_, bytes, clock_.now() + timing_.usbFrame);
    for (const TimedByte& b : heard.reply) {
        inbound_.push_back({b.due, b.due + latency_, b.byte});
    }
    if (heard.unplugged) {
        const auto index = static_cast<std::size_t>(
            std::find_if(trackers_.begin(), trackers_.end(),
                         [this](const auto& t) { return t.get() == open_; }) -
            trackers_.begin());
        remove(index);
        lock.unlock();
        tellDevicesChanged();
    }
    return BridgeStatus::Ok;
}

BridgeStatus SimulatedBridge::read(std::span<std::uint8_t> into, std::size_t& got) {
    std::lock_guard lock(mutex_);
    got = 0;
    if (auto status = failure(BridgeCall::Read); status != BridgeStatus::Ok) {
        return status;
    }
    if (auto state = openState(); state != BridgeStatus::Ok) {
        return state;
    }
    const auto now = clock_.now();
    while (got < into.size() && !inbound_.empty() && inbound_.front().visible <= now) {
        into[got++] = inbound_.front().byte;
        inbound_.pop_front();
    }
    return BridgeStatus::Ok;
}

BridgeStatus SimulatedBridge::reset() {
    std::lock_guard lock(mutex_);
    calls_.emplace_back("reset");
    return openState();
}

BridgeStatus SimulatedBridge::close() {
    std::lock_guard lock(mutex_);
    calls_.emplace_back("close");
    const bool wasOpen = open_ != nullptr || gone_;
    open_ = nullptr;
    gone_ = false;
    inbound_.clear();
    return wasOpen ? BridgeStatus::Ok : BridgeStatus::Failed;
}

}  // namespace korvan::sim
