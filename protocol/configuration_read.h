#pragma once

#include "link/link.h"
#include "protocol/records.h"
#include "settings/field_model.h"

namespace korvan {

// Reads the whole configuration of the attached tracker into the fields, over one link: the
// firmware version, then (unless `UnReadBox` is checked) the 24 queries in their fixed order.
// True when the version was read and no fatal query failed. `inputRecord` is the window-wide
// record of a digital input, which the last input query leaves behind.
bool ReadConfiguration(Link& link, FieldModel& model, InputRecord& inputRecord);

// The status line's words for a link that did not open: the operation's own message, and how
// to fix a refused access.
void ReportOpenFailure(FieldModel& model, OpenOutcome outcome, std::string_view messageUtf8);

}  // namespace korvan
