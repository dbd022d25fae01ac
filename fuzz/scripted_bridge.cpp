#include "fuzz/scripted_bridge.h"

#include <algorithm>
#include <chrono>

#include "fuzz/fuzz_check.h"

namespace korvan::fuzz {
namespace {

constexpr Clock::Duration kByteTime = std::chrono::microseconds(10);
constexpr auto kScriptTick = std::chrono::milliseconds(4);  // up to about a second per choice

// What becomes of the reply's bytes, by the low three bits of a choice.
void alterBytes(Script& script, std::uint8_t choice, sim::Response& response) {
    std::string& bytes = response.bytes;
    switch (choice % 8) {
        case 3:
            bytes.resize(script.next() % (bytes.size() + 1));
            break;
        case 4: {
            const auto at = script.next();
            const auto value = static_cast<char>(script.next());
            if (bytes.empty()) {
                bytes += value;
            } else {
                bytes[at % bytes.size()] = value;
            }
            break;
        }
        case 5:
            bytes = script.take(script.next());
            break;
        case 6:
            bytes.clear();
            break;
        case 7:
            response.unplug = true;
            break;
        default:
            break;  // the tracker's own reply
    }
}

// The reply as the script makes it on its way back: its bytes, a split, a slower tracker. True
// when the technician is to cancel at the next read.
bool rewriteReply(Script& script, sim::Response& response) {
    const std::uint8_t choice = script.next();
    alterBytes(script, choice, response);
    if ((choice & 0x08) != 0) {
        response.pauseAfter = script.next() % (response.bytes.size() + 1);
        response.pause = script.next() * kScriptTick;
    }
    const bool cancel = (choice & 0x10) != 0;
    if ((choice & 0x20) != 0) {
        response.processing = script.next() * kScriptTick;
    }
    return cancel;
}

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
    if (!script_.exhausted() && rewriteReply(script_, response)) {
        cancelOnRead_ = true;
    }
    if (response.unplug) {
        unplugged_ = true;
        inbound_.clear();
        return;
    }
    // The tracker answers one command at a time, a byte every 10 us.
    auto at = std::max(clock_.now(), trackerFreeAt_) + response.processing;
    for (std::size_t i = 0; i < response.bytes.size(); ++i) {
        if (i == response.pauseAfter && i > 0) {
            at += response.pause;
        }
        at += kByteTime;
        inbound_.push_back({at, static_cast<std::uint8_t>(response.bytes[i])});
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
