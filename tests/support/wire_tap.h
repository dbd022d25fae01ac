#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "link/bridge.h"

namespace korvan::testing {

// Passes every call on to the bridge it wraps and keeps what was written, one command a write:
// the commands the link sent, which a test may count, even while the worker runs.
class WireTap final : public Bridge {
  public:
    explicit WireTap(Bridge& inner) : inner_(inner) {}

    std::vector<std::string> sent() const {
        std::lock_guard lock(mutex_);
        return sent_;
    }
    void clear() {
        std::lock_guard lock(mutex_);
        sent_.clear();
    }

    BridgeStatus deviceCount(std::uint32_t& count) override { return inner_.deviceCount(count); }
    BridgeStatus description(std::uint32_t index, std::string& text) override {
        return inner_.description(index, text);
    }
    BridgeStatus serialNumber(std::uint32_t index, std::string& text) override {
        return inner_.serialNumber(index, text);
    }
    BridgeStatus open(std::uint32_t index) override { return inner_.open(index); }
    BridgeStatus openSerial(const std::string& usbSerial) override {
        return inner_.openSerial(usbSerial);
    }
    BridgeStatus setDivisor(std::uint16_t divisor) override { return inner_.setDivisor(divisor); }
    BridgeStatus setTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override {
        return inner_.setTimeouts(readMs, writeMs);
    }
    BridgeStatus setDataCharacteristics(std::uint8_t wordLength, std::uint8_t stopBits,
                                        std::uint8_t parity) override {
        return inner_.setDataCharacteristics(wordLength, stopBits, parity);
    }
    BridgeStatus setFlowControl(std::uint16_t mode, std::uint8_t xon, std::uint8_t xoff) override {
        return inner_.setFlowControl(mode, xon, xoff);
    }
    BridgeStatus setLatencyTimer(std::uint8_t milliseconds) override {
        return inner_.setLatencyTimer(milliseconds);
    }
    BridgeStatus purge() override { return inner_.purge(); }
    BridgeStatus write(std::span<const std::uint8_t> bytes, std::size_t& written) override {
        {
            std::lock_guard lock(mutex_);
            sent_.emplace_back(bytes.begin(), bytes.end());
        }
        return inner_.write(bytes, written);
    }
    BridgeStatus read(std::span<std::uint8_t> into, std::size_t& got) override {
        return inner_.read(into, got);
    }
    BridgeStatus reset() override { return inner_.reset(); }
    BridgeStatus close() override { return inner_.close(); }

  private:
    Bridge& inner_;
    mutable std::mutex mutex_;
    std::vector<std::string> sent_;
};

}  // namespace korvan::testing
