#pragma once

#include <algorithm>
#include <array>
#include <cstdint>

namespace korvan {

// The USB ids of the FTDI bridges the trackers carry: the devices the bridge lists, the ones
// the hot-plug watcher counts and the ones the udev rule opens to the user at the seat. A bridge
// missing here is neither listed nor usable without root, so an id is added here and nowhere
// else. The build writes the udev rule and the package's post-install step from this file: keep
// each id four hex digits, as `0xNNNN`, between the braces.
inline constexpr std::uint16_t kFtdiVendor = 0x0403;
inline constexpr auto kFtdiProducts = std::to_array<std::uint16_t>({
    0x6001,  // FT232R and FT245R, one port
    0x6010,  // FT2232, two ports
    0x6011,  // FT4232H, four ports
    0x6014,  // FT232H
    0x6015,  // FT-X series
});

constexpr bool isListedFtdiProduct(std::uint16_t vendor, std::uint16_t product) {
    return vendor == kFtdiVendor &&
           std::find(kFtdiProducts.begin(), kFtdiProducts.end(), product) != kFtdiProducts.end();
}

}  // namespace korvan
