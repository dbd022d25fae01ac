#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/bridge.h"
#include "link/clock.h"
#include "sim/simulated_tracker.h"

namespace korvan::sim {

// The wire between the program and the simulated trackers, in virtual time.
//
// Timing model (adjustable):
// - the line runs at 1 000 000 baud, 10 bits a byte: 10 us a byte each way;
// - a write reaches the bridge with the next USB frame (1 ms);
// - the bridge hands received bytes to the host when its latency timer (1 ms) runs out;
// - the tracker takes its processing time before it answers (longer for its Wi-Fi module),
//   and answers one command at a time.
// Bytes reach the tracker only while the line is set up as the tracker expects it
// (divisor 3, 8 data bits, 1 stop bit, no parity).
struct WireTiming {
    Duration byteTime = std::chrono::microseconds(10);
    Duration usbFrame = std::chrono::milliseconds(1);
    Duration latencyTimer = std::chrono::milliseconds(1);
};

// A bridge call that can be made to fail, for the link's own failure paths.
enum class BridgeCall : std::uint8_t {
    Open,
    SetDivisor,
    SetTimeouts,
    SetDataCharacteristics,
    SetFlowControl,
    SetLatencyTimer,
    DeviceCount,
    Description,
    SerialNumber,
};

class SimulatedBridge final : public Bridge {
  public:
    SimulatedBridge(VirtualClock& clock, WireTiming timing = {});

    // Attached trackers, in listing order; index 0 is what `open` opens.
    SimulatedTracker& plug(SimulatedTracker tracker);
    // Pulls out the tracker at `index`; an open link to it goes dead.
    void unplug(std::size_t index);
    std::size_t attached() const { return trackers_.size(); }
    SimulatedTracker& tracker(std::size_t index) { return *trackers_.at(index); }
    // Told after every plug and unplug, as the system tells of device changes.
    std::function<void()> onDevicesChanged;

    // The next call of this kind answers `status` instead of doing its work.
    void failNext(BridgeCall call, BridgeStatus status);
    // Every bridge call in order, by name: what the link did to the device.
    const std::vector<std::string>& calls() const { return calls_; }
    void clearCalls() { calls_.clear(); }

    BridgeStatus deviceCount(std::uint32_t& count) override;
    BridgeStatus description(std::uint32_t index, std::string& text) override;
    BridgeStatus serialNumber(std::uint32_t index, std::string& text) override;
    BridgeStatus open(std::uint32_t index) override;
    BridgeStatus setDivisor(std::uint16_t divisor) override;
    BridgeStatus setTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override;
    BridgeStatus setDataCharacteristics(std::uint8_t wordLength, std::uint8_t stopBits,
                                        std::uint8_t parity) override;
    BridgeStatus setFlowControl(std::uint16_t mode, std::uint8_t xon, std::uint8_t xoff) override;
    BridgeStatus setLatencyTimer(std::uint8_t milliseconds) override;
    BridgeStatus purge() override;
    BridgeStatus write(std::span<const std::uint8_t> bytes, std::size_t& written) override;
    BridgeStatus read(std::span<std::uint8_t> into, std::size_t& got) override;
    BridgeStatus reset() override;
    BridgeStatus close() override;

  private:
    struct InFlight {
        Duration atBridge;  // when the byte reached the bridge chip
        Duration visible;   // when the host can read it
        std::uint8_t byte;
    };

    BridgeStatus call(BridgeCall kind, const char* name);
    bool lineMatchesTracker() const;
    BridgeStatus openState() const;
    void schedule(const Response& response, Duration commandArrived);

    VirtualClock& clock_;
    WireTiming timing_;
    std::vector<std::unique_ptr<SimulatedTracker>> trackers_;
    std::vector<std::pair<BridgeCall, BridgeStatus>> failures_;
    std::vector<std::string> calls_;

    SimulatedTracker* open_ = nullptr;  // not owning: one of `trackers_`
    bool gone_ = false;
    std::uint16_t divisor_ = 0;
    bool eightN1_ = false;
    Duration latency_ = std::chrono::milliseconds(16);  // the bridge's power-on latency timer
    Duration lineFreeAt_{0};     // when the line to the tracker has sent everything written
    Duration trackerFreeAt_{0};  // when the tracker has finished its current reply
    std::deque<InFlight> inbound_;
};

}  // namespace korvan::sim
