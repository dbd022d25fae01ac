#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace korvan {

enum class BridgeStatus : std::uint8_t {
    Ok,
    DeviceNotFound,  // nothing at that index
    AccessDenied,    // the system refused access: on Linux, the udev rule is missing
    DeviceGone,      // unplugged while open
    Failed,          // any other refusal of the bridge
};

// The USB-serial bridge, shaped like the vendor library the tracker was built for. Every call
// returns a status; the link decides which ones matter. Backends: the real bridge through
// libftdi1, and the simulated tracker.
class Bridge {
  public:
    // Longest description or serial-number string the listing gives, as the vendor's 64-byte
    // buffer holds it with its terminating zero.
    static constexpr std::size_t kListStringLimit = 63;

    virtual ~Bridge() = default;

    // Another handle on the same bus: it lists what this one lists and opens a device of its
    // own, so that several trackers are worked at once, each on its own link and thread. A
    // handle may not outlive the bridge it came from. Null where the backend has only one.
    virtual std::unique_ptr<Bridge> newHandle() { return nullptr; }

    // Listing, without opening anything.
    virtual BridgeStatus deviceCount(std::uint32_t& count) = 0;
    virtual BridgeStatus description(std::uint32_t index, std::string& text) = 0;
    virtual BridgeStatus serialNumber(std::uint32_t index, std::string& text) = 0;

    virtual BridgeStatus open(std::uint32_t index) = 0;
    // The device whose USB serial string is exactly `usbSerial`, wherever it is listed.
    virtual BridgeStatus openSerial(const std::string& usbSerial) = 0;
    virtual BridgeStatus setDivisor(std::uint16_t divisor) = 0;
    virtual BridgeStatus setTimeouts(std::uint32_t readMs, std::uint32_t writeMs) = 0;
    // Word length in bits; stop bits 0 = one, 2 = two; parity 0 = none.
    virtual BridgeStatus setDataCharacteristics(std::uint8_t wordLength, std::uint8_t stopBits,
                                                std::uint8_t parity) = 0;
    // Mode 0 = no flow control.
    virtual BridgeStatus setFlowControl(std::uint16_t mode, std::uint8_t xon,
                                        std::uint8_t xoff) = 0;
    virtual BridgeStatus setLatencyTimer(std::uint8_t milliseconds) = 0;
    // Empties the receive and transmit buffers.
    virtual BridgeStatus purge() = 0;
    virtual BridgeStatus write(std::span<const std::uint8_t> bytes, std::size_t& written) = 0;
    // Takes what has arrived so far, at most `into.size()` bytes, and returns at once.
    virtual BridgeStatus read(std::span<std::uint8_t> into, std::size_t& got) = 0;
    virtual BridgeStatus reset() = 0;
    virtual BridgeStatus close() = 0;
};

}  // namespace korvan
