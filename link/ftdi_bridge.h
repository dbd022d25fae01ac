#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <span>
#include <vector>

#include "link/bridge.h"

struct libusb_device;

namespace korvan {

// The data of what one bulk-in transfer from the bridge brought: every packet of up to
// `packetSize` bytes begins with the chip's two status bytes, which are dropped. A packet of
// status alone adds nothing.
void appendPacketData(std::span<const std::uint8_t> transfer, std::size_t packetSize,
                      std::vector<std::uint8_t>& data);

// The real bridge, through libftdi1 and libusb-1.0. Lists the FTDI products of
// link/ftdi_products.h.
// Kept thin: the link above it owns the timing rules.
class FtdiBridge final : public Bridge {
  public:
    FtdiBridge();
    ~FtdiBridge() override;
    FtdiBridge(const FtdiBridge&) = delete;
    FtdiBridge& operator=(const FtdiBridge&) = delete;

    // Every handle has its own libftdi context and lists in contexts of its own, so handles
    // on different threads share nothing.
    std::unique_ptr<Bridge> newHandle() override { return std::make_unique<FtdiBridge>(); }

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
    struct Context;
    BridgeStatus listString(std::uint32_t index, bool serial, std::string& text);
    BridgeStatus openDevice(libusb_device* device);

    std::unique_ptr<Context> context_;
};

}  // namespace korvan
