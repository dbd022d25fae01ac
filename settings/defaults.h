#pragma once

#include "settings/field_model.h"

// The three buttons that put fixed values into groups of fields. They change only the fields:
// nothing is sent to the device and nothing is saved; the reactions fire as for a click.
namespace korvan {

// Everything but the recording and analogue methods and the Wi-Fi network.
void applyDefaults(FieldModel& model);
void applyAnalogDefaults(FieldModel& model);
void applyDigitalDefaults(FieldModel& model);

}  // namespace korvan
