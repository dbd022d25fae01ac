#pragma once

#include <filesystem>

#include "protocol/configuration_read.h"
#include "protocol/tracker_configuration.h"
#include "settings/field_model.h"

// The one place where the form's controls meet the tracker's settings: the configuration that
// the form holds, and what a read or a write's corrections put back into it.
namespace korvan {

TrackerConfiguration configurationFromForm(const FieldModel& model);

// The fields as a start gives them, in two halves around the database's opening: the maker's
// address block and the stored settings (a first run's where `settingsPath` has none), then
// the reactions that bring the boxes into line with what was loaded.
void loadStartingFields(FieldModel& model, const std::filesystem::path& settingsPath);
void alignStartingFields(FieldModel& model);

// The field that shows a number of the configuration.
Field fieldOf(NumberField field);

// What a read found, into the fields, setting by setting in the order read so that the
// reactions of the boxes fire as when the technician ticks them.
void applyReadValues(FieldModel& model, const ReadOutcome& read);

}  // namespace korvan
