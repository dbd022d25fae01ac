#pragma once

#include <string>
#include <vector>

#include "protocol/value_rules.h"
#include "settings/field_model.h"
#include "settings/tracker_profile.h"

// The value rules of the tracker's configuration, as the form's fields break them: where the
// window marks a field, why a profile is refused.
namespace korvan {

// The field that shows a value of the configuration.
Field fieldOf(const ValueField& field);

struct FieldBreak {
    Field field;
    std::string name;     // UTF-8: what the technician calls it
    std::string rule;     // UTF-8: the field's tooltip while it breaks it
    std::string message;  // Windows-1251: why the write refuses it
};

// Every field whose value breaks its rule, in the order the write sends them.
std::vector<FieldBreak> brokenFields(const FieldModel& model);

// The rules a profile's values must keep, for `loadProfile`.
ProfileJudge profileRules();

}  // namespace korvan
