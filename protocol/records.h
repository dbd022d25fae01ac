#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

// The two binary records that the tracker exchanges, little-endian on the wire.
namespace korvan {

// The settings of one digital input. Only the flags and the value have a meaning; the tracker
// takes 16 further bytes after them, which are sent as zero.
struct InputRecord {
    static constexpr std::size_t kReadSize = 5;
    static constexpr std::size_t kWireSize = 21;

    // Flag bits; a cleared bit switches its option on.
    static constexpr std::uint8_t kTriggerOnClosed = 0x01;  // set: item 0, cleared: item 1
    static constexpr std::uint8_t kAlwaysSet = 0x02;
    static constexpr std::uint8_t kNoWifiSend = 0x04;
    static constexpr std::uint8_t kAnalogNotDigital = 0x08;
    static constexpr std::uint8_t kAnalogNotMoreOften =
        0x10;  // set: `AnalogRecordingMethod` item 1
    static constexpr std::uint8_t kNotTypeB = 0x20;
    static constexpr std::uint8_t kNotTypeC = 0x40;
    static constexpr std::uint8_t kAlwaysClear = 0x80;

    std::uint8_t flags = 0;
    std::uint32_t value = 0;  // bits 0..9 change threshold, bits 10..15 averaging period

    std::array<std::uint8_t, kWireSize> toBytes() const;
    // From the first five bytes of a reply.
    static InputRecord fromBytes(std::span<const std::uint8_t, kReadSize> bytes);

    static std::uint32_t analogValue(std::uint32_t threshold, std::uint32_t averaging) {
        return (threshold & 0x3FF) | ((averaging & 0x3F) << 10);
    }
    std::uint32_t threshold() const { return value & 0x3FF; }
    std::uint32_t averaging() const { return (value >> 10) & 0x3F; }
};

// One geographic control point: five 32-bit words.
struct ControlPointRecord {
    static constexpr std::size_t kWireSize = 20;

    // Flag bits of the first word; a cleared bit means the box is checked.
    static constexpr std::uint32_t kNoOutputOnEntry = 0x01;
    static constexpr std::uint32_t kNoSendOnEntry = 0x02;
    static constexpr std::uint32_t kNoOutputOnExit = 0x08;
    static constexpr std::uint32_t kNoSendOnExit = 0x10;
    // Latitude and longitude carry the southern or western hemisphere in their top bit.
    static constexpr std::uint32_t kHemisphereBit = 0x80000000u;

    std::uint32_t flags = 0xFFFFFFFFu;
    std::uint32_t latitude = 0;
    std::uint32_t longitude = 0;
    std::int32_t radius = 0;
    std::uint32_t onTimeSeconds = 0;

    std::array<std::uint8_t, kWireSize> toBytes() const;
    static ControlPointRecord fromBytes(std::span<const std::uint8_t, kWireSize> bytes);
};

// A coordinate as shown: degrees, whole minutes, and the fraction of a minute in units of
// 1/100 000 minute, with the hemisphere bit.
struct Coordinate {
    std::uint32_t degrees = 0;
    std::uint32_t minutes = 0;
    std::uint32_t fraction = 0;
    bool southOrWest = false;
};

// 32-bit arithmetic, as the tracker expects; the hemisphere goes into the top bit.
std::uint32_t encodeCoordinate(const Coordinate& coordinate);
Coordinate decodeCoordinate(std::uint32_t word);

struct FirmwareNumber {
    int major = 0;
    int minor = 0;
    // The form the version is compared in: major × 100 + minor.
    std::int32_t combined() const {
        return static_cast<std::int32_t>(static_cast<std::int64_t>(major) * 100 + minor);
    }
    // "Ver. 1.5" for WIFI-1.05.
    std::string caption() const;
};

// "WIFI-<major>.<minor>", as the version query answers.
std::optional<FirmwareNumber> parseFirmwareVersion(std::string_view reply);

}  // namespace korvan
