#pragma once

#include <filesystem>
#include <string>

#include "settings/field_model.h"

namespace korvan {

// Puts every stored value into its field, in the order that lets a later key win over the
// reactions that an earlier one fired. A missing file, section or key gives the field its value
// for a first run. Reads `databasePath` as stored; the caller applies its rules to it.
void loadSettings(FieldModel& model, const std::filesystem::path& settingsPath);

struct SettingsSaveResult {
    bool ok = true;
    std::string error;  // "Не удалось записать файл настроек <path>", the path in UTF-8
};

// Writes every key from the fields and `databasePath`, keeping whatever else the file holds and
// the encoding it has. The file is replaced whole or not at all; a read-only file is refused, and
// a new one is readable by the user only, as it holds passwords.
SettingsSaveResult saveSettings(const FieldModel& model, const std::filesystem::path& settingsPath);

}  // namespace korvan
