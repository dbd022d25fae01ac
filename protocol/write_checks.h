#pragma once

#include <optional>
#include <string>

#include "protocol/tracker_configuration.h"

namespace korvan {

// What the tracker cannot take as the fields hold it, found before the link opens, so that a
// write is refused whole rather than stopped halfway:
// - a text with "$", which ends a command early and would make the rest a command of its own;
//   a ";" in a value of the Wi-Fi module, which ends the value there; a control character;
// - a text longer than the tracker gives back when it is read;
// - a number outside what the tracker's record holds: counter periods, the degrees, minutes
//   and fractions of a control point, its hemisphere letters;
// - a control point with coordinates but without its radius, or without the on-time that
//   its sending needs.
// The message names the field, in Windows-1251 for the message box; nothing when the
// configuration can be written.
std::optional<std::string> WriteRefusal(const TrackerConfiguration& configuration);

}  // namespace korvan
