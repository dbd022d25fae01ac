#pragma once

#include <string>

#include "settings/field_model.h"
#include "settings/settings_keys.h"

// The tracker's settings as the technician reads them in a list of differences: each field's
// Russian name and its value in words.
namespace korvan {

// "Порт сервера", "Градусы широты второй контрольной точки": UTF-8. A field that shows a value
// of the rules is named as the rules name it.
std::string fieldTitle(Field field);

// A key's value in the model as the window shows it: a text as typed, an item by its caption,
// a box as "да" or "нет", a pair by the choice it makes. Secrets (the server password and the
// network key) come masked. UTF-8.
std::string shownValue(const FieldModel& model, const SettingsKey& key);

}  // namespace korvan
