#include "sim/simulated_bridge.h"

#include <algorithm>

namespace korvan::sim {

SimulatedBridge::SimulatedBridge(Clock& clock, WireTiming timing)
    : SimulatedBridge(std::make_shared<Bench>(clock, timing)) {
    bench_->first = this;
}

SimulatedBridge::SimulatedBridge(std::shared_ptr<Bench> bench) : bench_(std::move(bench)) {
    std::lock_guard lock(bench_->mutex);
    bench_->handles.push_back(this);
}

SimulatedBridge::~SimulatedBridge() {
    std::lock_guard lock(bench_->mutex);
    std::erase(bench_->handles, this);
    if (bench_->first == this) {
        bench_->first = nullptr;
    }
}

std::unique_ptr<Bridge> SimulatedBridge::newHandle() {
    return std::unique_ptr<Bridge>(new SimulatedBridge(bench_));
}

SimulatedTracker& SimulatedBridge::plug(SimulatedTracker tracker) {
    return attach(std::move(tracker), false);
}

SimulatedTracker& SimulatedBridge::plugFirst(SimulatedTracker tracker) {
    return attach(std::move(tracker), true);
}

SimulatedTracker& SimulatedBridge::attach(SimulatedTracker tracker, bool first) {
    SimulatedTracker* plugged = nullptr;
    {
        std::lock_guard lock(bench_->mutex);
        auto& trackers = bench_->trackers;
        plugged = trackers
                      .insert(first ? trackers.begin() : trackers.end(),
                              std::make_unique<SimulatedTracker>(std::move(tracker)))
                      ->get();
    }
    tellDevicesChanged();
    return *plugged;
}

void SimulatedBridge::unplug(std::size_t index) {
    bool removed = false;
    {
        std::lock_guard lock(bench_->mutex);
        removed = remove(index);
    }
    if (removed) {
        tellDevicesChanged();
    }
}

bool SimulatedBridge::unplugSerial(const std::string& usbSerial) {
    bool removed = false;
    {
        std::lock_guard lock(bench_->mutex);
        const auto found =
            std::find_if(bench_->trackers.begin(), bench_->trackers.end(),
                         [&usbSerial](const auto& t) { return t->usbSerial == usbSerial; });
        removed = found != bench_->trackers.end() &&
                  remove(static_cast<std::size_t>(found - bench_->trackers.begin()));
    }
    if (removed) {
        tellDevicesChanged();
    }
    return removed;
}

std::vector<std::string> SimulatedBridge::attachedSerials() const {
    std::lock_guard lock(bench_->mutex);
    std::vector<std::string> serials;
    for (const auto& tracker : bench_->trackers) {
        serials.push_back(tracker->usbSerial);
    }
    return serials;
}

bool SimulatedBridge::remove(std::size_t index) {
    if (index >= bench_->trackers.size()) {
        return false;
    }
    for (SimulatedBridge* handle : bench_->handles) {
        if (handle->open_ == bench_->trackers[index].get()) {
            handle->lost();
        }
    }
    // Kept, as a tracker on the bench keeps its memory, until it is plugged in again.
    bench_->unplugged[bench_->trackers[index]->usbSerial] = std::move(bench_->trackers[index]);
    bench_->trackers.erase(bench_->trackers.begin() + static_cast<std::ptrdiff_t>(index));
    return true;
}

bool SimulatedBridge::replug(const std::string& usbSerial) {
    {
        std::lock_guard lock(bench_->mutex);
        const auto found = bench_->unplugged.find(usbSerial);
        if (found == bench_->unplugged.end()) {
            return false;
        }
        found->second->powerOn();
        bench_->trackers.push_back(std::move(found->second));
        bench_->unplugged.erase(found);
    }
    tellDevicesChanged();
    return true;
}

void SimulatedBridge::lost() {
    gone_ = true;
    open_ = nullptr;
    inbound_.clear();
}

void SimulatedBridge::tellDevicesChanged() {
    // The first bridge is read without the lock: it is set before the bridge is shared.
    if (bench_->first != nullptr && bench_->first->onDevicesChanged) {
        bench_->first->onDevicesChanged();
    }
}

std::size_t SimulatedBridge::attached() const {
    std::lock_guard lock(bench_->mutex);
    return bench_->trackers.size();
}

SimulatedTracker& SimulatedBridge::tracker(std::size_t index) {
    std::lock_guard lock(bench_->mutex);
    return *bench_->trackers.at(index);
}

std::size_t SimulatedBridge::mostOpenAtOnce() const {
    std::lock_guard lock(bench_->mutex);
    return bench_->mostOpen;
}

void SimulatedBridge::restartMostOpenAtOnce() {
    std::lock_guard lock(bench_->mutex);
    bench_->mostOpen = 0;
}

void SimulatedBridge::failNext(BridgeCall kind, BridgeStatus status) {
    std::lock_guard lock(bench_->mutex);
    failures_.emplace_back(kind, status);
}

void SimulatedBridge::setUnpluggedStatus(BridgeStatus status) {
    std::lock_guard lock(bench_->mutex);
    unpluggedStatus_ = status;
}

void SimulatedBridge::clearCalls() {
    std::lock_guard lock(bench_->mutex);
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
    std::lock_guard lock(bench_->mutex);
    if (auto status = call(BridgeCall::DeviceCount, "deviceCount"); status != BridgeStatus::Ok) {
        return status;
    }
    count = static_cast<std::uint32_t>(bench_->trackers.size());
    return BridgeStatus::Ok;
}

BridgeStatus SimulatedBridge::description(std::uint32_t index, std::string& text) {
    std::lock_guard lock(bench_->mutex);
    if (auto status = call(BridgeCall::Description, "description"); status != BridgeStatus::Ok) {
        return status;
    }
    if (index >= bench_->trackers.size()) {
        return BridgeStatus::DeviceNotFound;
    }
    if (bench_->trackers[index]->refusesAccess) {
        return BridgeStatus::AccessDenied;
    }
    text = bench_->trackers[index]->usbDescription.substr(0, kListStringLimit);
    return BridgeStatus::Ok;
}

BridgeStatus SimulatedBridge::serialNumber(std::uint32_t index, std::string& text) {
    std::lock_guard lock(bench_->mutex);
    if (auto status = call(BridgeCall::SerialNumber, "serialNumber"); status != BridgeStatus::Ok) {
        return status;
    }
    if (index >= bench_->trackers.size()) {
        return BridgeStatus::DeviceNotFound;
    }
    if (bench_->trackers[index]->refusesAccess) {
        return BridgeStatus::AccessDenied;
    }
    text = bench_->trackers[index]->usbSerial.substr(0, kListStringLimit);
    return BridgeStatus::Ok;
}

BridgeStatus SimulatedBridge::open(std::uint32_t index) {
    std::lock_guard lock(bench_->mutex);
    if (auto status = call(BridgeCall::Open, "open"); status != BridgeStatus::Ok) {
        return status;
    }
    if (open_ != nullptr) {
        return BridgeStatus::Failed;  // one device a handle, as the vendor library allows
    }
    if (index >= bench_->trackers.size()) {
        return BridgeStatus::DeviceNotFound;
    }
    return openAt(index);
}

BridgeStatus SimulatedBridge::openSerial(const std::string& usbSerial) {
    std::lock_guard lock(bench_->mutex);
    if (auto status = call(BridgeCall::Open, "openSerial"); status != BridgeStatus::Ok) {
        return status;
    }
    if (open_ != nullptr) {
        return BridgeStatus::Failed;
    }
    const auto it =
        std::find_if(bench_->trackers.begin(), bench_->trackers.end(), [&usbSerial](const auto& t) {
            return t->usbSerial.substr(0, kListStringLimit) == usbSerial;
        });
    if (it == bench_->trackers.end()) {
        return BridgeStatus::DeviceNotFound;
    }
    return openAt(static_cast<std::size_t>(it - bench_->trackers.begin()));
}

BridgeStatus SimulatedBridge::openAt(std::size_t index) {
    SimulatedTracker* tracker = bench_->trackers[index].get();
    if (tracker->refusesAccess) {
        return BridgeStatus::AccessDenied;
    }
    // A device another handle holds is refused, as the system refuses a claimed interface.
    for (const SimulatedBridge* handle : bench_->handles) {
        if (handle->open_ == tracker) {
            return BridgeStatus::Failed;
        }
    }
    open_ = tracker;
    const auto openNow = static_cast<std::size_t>(
        std::count_if(bench_->handles.begin(), bench_->handles.end(),
                      [](const SimulatedBridge* handle) { return handle->open_ != nullptr; }));
    bench_->mostOpen = std::max(bench_->mostOpen, openNow);
    gone_ = false;
    divisor_ = 0;
    eightN1_ = false;
    latency_ = std::chrono::milliseconds(16);
    inbound_.clear();
    return BridgeStatus::Ok;
}

BridgeStatus SimulatedBridge::setDivisor(std::uint16_t divisor) {
    std::lock_guard lock(bench_->mutex);
    if (auto status = call(BridgeCall::SetDivisor, "setDivisor"); status != BridgeStatus::Ok) {
        return status;
    }
    divisor_ = divisor;
    return openState();
}

BridgeStatus SimulatedBridge::setTimeouts(std::uint32_t, std::uint32_t) {
    std::lock_guard lock(bench_->mutex);
    if (auto status = call(BridgeCall::SetTimeouts, "setTimeouts"); status != BridgeStatus::Ok) {
        return status;
    }
    return openState();
}

BridgeStatus SimulatedBridge::setDataCharacteristics(std::uint8_t wordLength, std::uint8_t stopBits,
                                                     std::uint8_t parity) {
    std::lock_guard lock(bench_->mutex);
    if (auto status = call(BridgeCall::SetDataCharacteristics, "setDataCharacteristics");
        status != BridgeStatus::Ok) {
        return status;
    }
    eightN1_ = wordLength == 8 && stopBits == 0 && parity == 0;
    return openState();
}

BridgeStatus SimulatedBridge::setFlowControl(std::uint16_t, std::uint8_t, std::uint8_t) {
    std::lock_guard lock(bench_->mutex);
    if (auto status = call(BridgeCall::SetFlowControl, "setFlowControl");
        status != BridgeStatus::Ok) {
        return status;
    }
    return openState();
}

BridgeStatus SimulatedBridge::setLatencyTimer(std::uint8_t milliseconds) {
    std::lock_guard lock(bench_->mutex);
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
    std::lock_guard lock(bench_->mutex);
    if (auto status = call(BridgeCall::Purge, "purge"); status != BridgeStatus::Ok) {
        return status;
    }
    // What the chip holds is gone; bytes still on their way arrive later.
    const auto now = bench_->clock.now();
    std::erase_if(inbound_, [now](const InFlight& b) { return b.atBridge <= now; });
    return openState();
}

BridgeStatus SimulatedBridge::write(std::span<const std::uint8_t> bytes, std::size_t& written) {
    std::unique_lock lock(bench_->mutex);
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
    const auto heard = stream_.feed(*open_, bytes, bench_->clock.now() + bench_->timing.usbFrame);
    for (const TimedByte& b : heard.reply) {
        inbound_.push_back({b.due, b.due + latency_, b.byte});
    }
    if (heard.unplugged) {
        const auto index = static_cast<std::size_t>(
            std::find_if(bench_->trackers.begin(), bench_->trackers.end(),
                         [this](const auto& t) { return t.get() == open_; }) -
            bench_->trackers.begin());
        remove(index);
        lock.unlock();
        tellDevicesChanged();
    }
    return BridgeStatus::Ok;
}

BridgeStatus SimulatedBridge::read(std::span<std::uint8_t> into, std::size_t& got) {
    std::lock_guard lock(bench_->mutex);
    got = 0;
    if (auto status = failure(BridgeCall::Read); status != BridgeStatus::Ok) {
        return status;
    }
    if (auto state = openState(); state != BridgeStatus::Ok) {
        return state;
    }
    const auto now = bench_->clock.now();
    while (got < into.size() && !inbound_.empty() && inbound_.front().visible <= now) {
        into[got++] = inbound_.front().byte;
        inbound_.pop_front();
    }
    return BridgeStatus::Ok;
}

BridgeStatus SimulatedBridge::reset() {
    std::lock_guard lock(bench_->mutex);
    calls_.emplace_back("reset");
    return openState();
}

BridgeStatus SimulatedBridge::close() {
    std::lock_guard lock(bench_->mutex);
    calls_.emplace_back("close");
    const bool wasOpen = open_ != nullptr || gone_;
    open_ = nullptr;
    gone_ = false;
    inbound_.clear();
    return wasOpen ? BridgeStatus::Ok : BridgeStatus::Failed;
}

}  // namespace korvan::sim
