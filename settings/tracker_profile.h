#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "settings/field_model.h"

namespace korvan {

struct ProfileError {
    std::string key;
    int line = 0;
    std::string message;
};

std::optional<ProfileError> LoadProfile(FieldModel& model, const std::filesystem::path& path,
                                        bool missingKeepDefaults = false);
std::optional<ProfileError> LoadProfileText(FieldModel& model, std::string_view bytes,
                                            bool missingKeepDefaults = false);
std::string ProfileText(const FieldModel& model);
std::optional<std::string> SaveProfile(const FieldModel& model, const std::filesystem::path& path);

}  // namespace korvan
