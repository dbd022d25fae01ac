#pragma once

#include <functional>

#include "link/bridge.h"
#include "link/clock.h"
#include "settings/field_model.h"

namespace korvan {

// The two USB descriptions a supported tracker carries.
inline constexpr std::string_view kTrackerDescriptions[] = {"VANTORIUM", "Zentracor"};

// One pass over the FTDI devices the bridge lists, without opening any: a supported tracker
// with a new serial number is shown, gets its MAC address and is read with `readConfiguration`
// (up to five tries a second apart); the write button follows the outcome. No device at all
// returns the identification to its placeholders.
void DetectDevice(Bridge& bridge, Clock& clock, FieldModel& model,
                  const std::function<bool()>& readConfiguration);

}  // namespace korvan
