#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <vector>

#include "link/bridge.h"
#include "link/clock.h"
#include "link/link.h"
#include "sim/simulated_tracker.h"

// The tracker on the far side of the bridge as the fuzz input makes it answer: each command
// reaches the simulated tracker, and the script decides what becomes of its reply on the way
// back (kept, cut short, altered, replaced, lost, delayed or split), whether the technician
// cancels meanwhile and whether the tracker is pulled out.
namespace korvan::fuzz {

// The fuzz input, read front to back. Once it is used up every choice is the plain one, so
// that a short input still runs an operation to its end.
class Script {
  public:
    explicit Script(std::span<const std::uint8_t> bytes) : bytes_(bytes) {}

    bool exhausted() const { return at_ >= bytes_.size(); }
    std::uint8_t next() { return exhausted() ? 0 : bytes_[at_++]; }
    // Up to `count` bytes, fewer where the input ends.
    std::string take(std::size_t count);

  private:
    std::span<const std::uint8_t> bytes_;
    std::size_t at_ = 0;
};

// One entry of the bridge's device listing.
struct ListedDevice {
    std::string description;
    std::string serial;
    BridgeStatus status = BridgeStatus::Ok;  // what asking for its strings answers
};

// Every bridge call must come in the order a link makes them: nothing reaches the device
// while it is closed, and an open link is not opened again. A call out of order aborts.
class ScriptedBridge final : public Bridge {
  public:
    // Whichever device of `listing` is opened, `tracker` answers.
    ScriptedBridge(Clock& clock, Script& script, sim::SimulatedTracker tracker,
                   std::vector<ListedDevice> listing);

    // The link whose cancel the script presses: the technician's Esc.
    void watch(Link& link) { link_ = &link; }
    void refuseOpen(BridgeStatus status) { openRefusal_ = status; }

    // One command as the tracker received it, and every reply byte the link took while it was
    // the latest.
    struct Exchanged {
        std::string command;
        std::string delivered;
    };
    const std::vector<Exchanged>& exchanged() const { return exchanged_; }
    bool isOpen() const { return open_; }
    int opens() const { return opens_; }
    bool saidGone() const { return unplugged_; }
    bool cancelPressed() const { return cancelPressed_; }

    BridgeStatus deviceCount(std::uint32_t& count) override;
    BridgeStatus description(std::uint32_t index, std::string& text) override;
    BridgeStatus serialNumber(std::uint32_t index, std::string& text) override;
    BridgeStatus open(std::uint32_t index) override;
    BridgeStatus openSerial(const std::string& usbSerial) override;
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
        Clock::Duration visible;  // when the host can read it
        std::uint8_t byte;
    };

    BridgeStatus openAt(std::size_t index);
    // The state every call on an open device answers from.
    BridgeStatus onOpenDevice(const char* call);
    void reply(sim::Response response);

    Clock& clock_;
    Script& script_;
    sim::SimulatedTracker tracker_;
    std::vector<ListedDevice> listing_;
    Link* link_ = nullptr;  // not owning
    BridgeStatus openRefusal_ = BridgeStatus::Ok;

    bool open_ = false;
    int opens_ = 0;
    bool unplugged_ = false;
    bool cancelOnRead_ = false;
    bool cancelPressed_ = false;
    Clock::Duration trackerFreeAt_{0};
    std::deque<InFlight> inbound_;
    std::vector<Exchanged> exchanged_;
};

}  // namespace korvan::fuzz
