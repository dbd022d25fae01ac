#pragma once

#include "database/device_database.h"
#include "link/link.h"
#include "core/message_boxes.h"
#include "protocol/records.h"
#include "settings/field_model.h"

namespace korvan {

struct WriteServices {
    DeviceDatabase& database;  // records the device and saves, in the middle of the write
    MessageBoxes& messages;    // tells of a field that holds no number
};

// Writes the fields into the attached tracker: the password checked, numeric fields brought
// into range in place, then over one link the Wi-Fi module's settings, each confirmed by its
// echo, the inputs, serial number, options, control points, periods and password, the debug
// log pointer check, the device's record in the database, and last the recording method.
// Every failure is told on the status line, or for a field without a number in a message box;
// the link is closed on every path.
void WriteConfiguration(Link& link, FieldModel& model, InputRecord& inputRecord,
                        WriteServices services);

// A field's text as a whole decimal number (an optional sign and digits, within 32 bits).
std::optional<std::int32_t> StrictNumber(std::string_view text);

}  // namespace korvan
