#include "protocol/records.h"

#include "base/scan.h"

namespace korvan {
namespace {

void putWord(std::uint8_t* at, std::uint32_t word) {
    for (int i = 0; i < 4; ++i) {
        at[i] = static_cast<std::uint8_t>(word >> (8 * i));
    }
}

std::uint32_t wordAt(const std::uint8_t* at) {
    std::uint32_t word = 0;
    for (int i = 0; i < 4; ++i) {
        word |= static_cast<std::uint32_t>(at[i]) << (8 * i);
    }
    return word;
}

constexpr std::uint32_t kDegreeUnits = 10'000'000;
constexpr std::uint32_t kMinuteUnits = 100'000;

}  // namespace

std::array<std::uint8_t, InputRecord::kWireSize> InputRecord::toBytes() const {
    std::array<std::uint8_t, kWireSize> bytes{};
    bytes[0] = flags;
    putWord(&bytes[1], value);
    return bytes;
}

InputRecord InputRecord::fromBytes(std::span<const std::uint8_t, kReadSize> bytes) {
    return {bytes[0], wordAt(&bytes[1])};
}

std::array<std::uint8_t, ControlPointRecord::kWireSize> ControlPointRecord::toBytes() const {
    std::array<std::uint8_t, kWireSize> bytes{};
    putWord(&bytes[0], flags);
    putWord(&bytes[4], latitude);
    putWord(&bytes[8], longitude);
    putWord(&bytes[12], static_cast<std::uint32_t>(radius));
    putWord(&bytes[16], onTimeSeconds);
    return bytes;
}

ControlPointRecord ControlPointRecord::fromBytes(std::span<const std::uint8_t, kWireSize> bytes) {
    return {wordAt(&bytes[0]), wordAt(&bytes[4]), wordAt(&bytes[8]),
            static_cast<std::int32_t>(wordAt(&bytes[12])), wordAt(&bytes[16])};
}

std::uint32_t encodeCoordinate(const Coordinate& c) {
    // Unsigned arithmetic wraps like the tracker's 32-bit words; the top bit is then forced.
    std::uint32_t word = c.degrees * kDegreeUnits + c.minutes * kMinuteUnits + c.fraction;
    if (c.southOrWest) {
        word |= ControlPointRecord::kHemisphereBit;
    } else {
        word &= ~ControlPointRecord::kHemisphereBit;
    }
    return word;
}

Coordinate decodeCoordinate(std::uint32_t word) {
    const std::uint32_t units = word & ~ControlPointRecord::kHemisphereBit;
    return {units / kDegreeUnits, (units % kDegreeUnits) / kMinuteUnits, units % kMinuteUnits,
            (word & ControlPointRecord::kHemisphereBit) != 0};
}

std::string FirmwareNumber::caption() const {
    return "Ver. " + std::to_string(major) + "." + std::to_string(minor);
}

std::optional<FirmwareNumber> parseFirmwareVersion(std::string_view reply) {
    const auto numbers = scanNumbers(reply, "WIFI-%d.%d");
    if (numbers.size() != 2) {
        return std::nullopt;
    }
    return FirmwareNumber{numbers[0], numbers[1]};
}

}  // namespace korvan
