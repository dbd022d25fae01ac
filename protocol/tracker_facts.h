#pragma once

#include <cstddef>

// What the tracker holds and takes, in numbers: the lengths its settings have on the wire and in
// its memory. Every layer that limits or checks one of them takes it from here, the form's
// boxes and the device database included, so that this header depends on nothing.
namespace korvan {

// The data server's password: exactly this many characters, no more and no fewer.
inline constexpr std::size_t kPasswordLength = 8;
// The Wi-Fi access point's name, at most.
inline constexpr std::size_t kAccessPointLength = 35;
// A WEP key written as text: 5 characters for a 64-bit key, 13 for a 128-bit one.
inline constexpr std::size_t kWepKeyLength64 = 5;
inline constexpr std::size_t kWepKeyLength128 = 13;

}  // namespace korvan
