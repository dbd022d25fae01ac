#include "fuzz/scripted_bridge.h"

#include <algorithm>
#include <chrono>

#include "fuzz/fuzz_check.h"

namespace korvan::fuzz {
namespace {

constexpr Clock::Duration kByteTime = std::chrono::microseconds(10);
constexpr auto kScriptTick = std::chrono::milliseconds(4);  // up to about a second per choice

}  // namespace

std::string Script::take(std::size_t count) {
    count = std::min(count, bytes_.size() - std::min(at_, bytes_.size()));
    std::string out(reinterpret_cast<const char*>(bytes_.data() + at_), count);
    at_ += count;
    return out;
}

ScriptedBridge::ScriptedBridge(Clock& clock, Script& script, sim::SimulatedTracker tracker,
                               std::vector<ListedDevice> listing)
    : clock_(clock), script_(script), tracker_(std::move(tracker)), listing_(std::move(listing)) {}

BridgeStatus ScriptedBridge::deviceCount(std::uint32_t& count) {
    count = static_cast<std::uint32_t>(listing_.size());
    return BridgeStatus::Ok;
}

BridgeStatus ScriptedBridge::description(std::uint32_t index, std::string& text) {
    if (index >= listing_.size()) {
        return BridgeStatus::DeviceNotFound;
    }
    text = listing_[index].description;
    return listing_[index].status;
}

BridgeStatus ScriptedBridge::serialNumber(std::uint32_t index, std::string& text) {
    if (index >= listing_.size()) {
        return BridgeStatus::DeviceNotFound;
    }
    text = listing_[index].serial;
    return listing_[index].status;
}

BridgeStatus ScriptedBridge::open(std::uint32_t index) {
    return openAt(index);
}

BridgeStatus ScriptedBridge::openSerial(const std::string& usbSerial) {
    // A device whose strings cannot be read cannot be told by its serial string.
    const auto found =
        std::find_if(listing_.begin(), listing_.end(), [&usbSerial](const ListedDevice& device) {
            return device.status == BridgeStatus::Ok && device.serial == usbSerial;
        });
    return openAt(static_cast<std::size_t>(found - listing_.begin()));
}

BridgeStatus ScriptedBridge::openAt(std::size_t index) {
    require(!open_, "a device was opened while it was open");
    if (openRefusal_ != BridgeStatus::Ok) {
        return openRefusal_;
    }
    // Every listed device answers as the one tracker; a pulled-out tracker is not listed any
    // more.
    if (index >= listing_.size() || unplugged_) {
        return BridgeStatus::DeviceNotFound;
    }
    open_ = true;
    ++opens_;
    inbound_.clear();
    return BridgeStatus::Ok;
}

BridgeStatus ScriptedBridge::onOpenDevice(const char* call) {
    require(open_, std::string(call) + " on a closed device");
    return unplugged_ ? BridgeStatus::DeviceGone : BridgeStatus::Ok;
}

BridgeStatus ScriptedBridge::setDivisor(std::uint16_t) {
    return onOpenDevice("setDivisor");
}
BridgeStatus ScriptedBridge::setTimeouts(std::uint32_t, std::uint32_t) {
    return onOpenDevice("setTimeouts");
}
BridgeStatus ScriptedBridge::setDataCharacteristics(std::uint8_t, std::uint8_t, std::uint8_t) {
    return onOpenDevice("setDataCharacteristics");
}
BridgeStatus ScriptedBridge::setFlowControl(std::uint16_t, std::uint8_t, std::uint8_t) {
    return onOpenDevice("setFlowControl");
}
BridgeStatus ScriptedBridge::setLatencyTimer(std::uint8_t) {
    return onOpenDevice("setLatencyTimer");
}

BridgeStatus ScriptedBridge::purge() {
    const BridgeStatus status = onOpenDevice("purge");
    // Bytes still on their way from the tracker are not in the bridge yet.
    const auto now = clock_.now();
    while (!inbound_.empty() && inbound_.front().visible <= now) {
        inbound_.pop_front();
    }
    return status;
}

BridgeStatus ScriptedBridge::write(std::span<const std::uint8_t> bytes, std::size_t& written) {
    written = 0;
    const BridgeStatus status = onOpenDevice("write");
    if (status != BridgeStatus::Ok) {
        return status;
    }
    written = bytes.size();
    exchanged_.push_back({std::string(bytes.begin(), bytes.end()), {}});
    for (std::uint8_t byte : bytes) {
        if (auto response = tracker_.receive(byte)) {
            reply(std::move(*response));
        }
    }
    return BridgeStatus::Ok;
}

void ScriptedBridge::reply(sim::Response response) {
    std::string bytes = std::move(response.bytes);
    auto processing = response.processing;
    std::size_t pauseAfter = response.pauseAfter;
    auto pause = response.pause;
    bool unplug = response.unplug;
    if (!script_.exhausted()) {
        const std::uint8_t choice = script_.next();
        switch (choice % 8) {
            case 3:
                bytes.resize(script_.next() % (bytes.size() + 1));
                break;
            case 4: {
                const auto at = script_.next();
                const auto value = static_cast<char>(script_.next());
                if (bytes.empty()) {
                    bytes += value;
                } else {
                    bytes[at % bytes.size()] = value;
                }
                break;
            }
            case 5:
                bytes = script_.take(script_.next());
                break;
            case 6:
                bytes.clear();
                break;
            case 7:
                unplug = true;
                break;
            default:
                break;  // the tracker's own reply
        }
        if ((choice & 0x08) != 0) {
            pauseAfter = script_.next() % (bytes.size() + 1);
            pause = script_.next() * kScriptTick;
        }
        if ((choice & 0x10) != 0) {
            cancelOnRead_ = true;
        }
        if ((choice & 0x20) != 0) {
            processing = script_.next() * kScriptTick;
        }
    }
    if (unplug) {
        unplugged_ = true;
        inbound_.clear();
        return;
    }
    // The tracker answers one command at a time, a byte every 10 us.
    auto at = std::max(clock_.now(), trackerFreeAt_) + processing;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (i == pauseAfter && i > 0) {
            at += pause;
        }
        at += kByteTime;
        inbound_.push_back({at, static_cast<std::uint8_t>(bytes[i])});
    }
    trackerFreeAt_ = at;
}

BridgeStatus ScriptedBridge::read(std::span<std::uint8_t> into, std::size_t& got) {
    got = 0;
    if (cancelOnRead_ && link_ != nullptr) {
        cancelOnRead_ = false;
        cancelPressed_ = true;
        link_->requestCancel();
    }
    const BridgeStatus status = onOpenDevice("read");
    if (status != BridgeStatus::Ok) {
        return status;
    }
    const auto now = clock_.now();
    while (got < into.size() && !inbound_.empty() && inbound_.front().visible <= now) {
        into[got++] = inbound_.front().byte;
        if (!exchanged_.empty()) {
            exchanged_.back().delivered += static_cast<char>(inbound_.front().byte);
        }
        inbound_.pop_front();
    }
    return BridgeStatus::Ok;
}

BridgeStatus ScriptedBridge::reset() {
    require(open_, "reset on a closed device");
    return BridgeStatus::Ok;
}

BridgeStatus ScriptedBridge::close() {
    require(open_, "close on a closed device");
    open_ = false;
    inbound_.clear();
    return BridgeStatus::Ok;
}

}  // namespace korvan::fuzz
