#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

#include "settings/field_model.h"

// A tracker profile: one tracker's configuration in a file of its own, to be written into other
// trackers. It is a settings file of this program's own format with the tracker's keys only
// (the same sections, keys and Windows-1251), so that the window and the settings readers of
// earlier installations read it alike. Unlike the settings file, whose odd values quietly fall
// back, a profile is taken whole or not at all.
namespace korvan {

// Why a profile could not be taken: the key and line it concerns (line from 1; 0 when none,
// e.g. a missing key or an unreadable file), and the message in UTF-8, Russian, naming both.
struct ProfileError {
    std::string key;  // "SECTION/Key", or empty
    int line = 0;
    std::string message;  // UTF-8
};

// Judges the fields a profile has given, before they are taken: the first field whose value
// breaks its rule, with the rule in UTF-8; nothing when all are good. The rules live above
// the settings, with the tracker's commands.
struct ProfileRuleBreak {
    Field field;
    std::string name;  // the field's name as the technician knows it, UTF-8
    std::string rule;  // UTF-8
};
using ProfileJudge = std::function<std::optional<ProfileRuleBreak>(const FieldModel& loaded)>;

// Keys of the tracker's configuration only: no view state, no database path, no identity
// (serial number, MAC, firmware come from the tracker). Missing keys are an error unless
// `missingKeepDefaults`; then the fields keep the model's values. The values are applied in the
// settings reader's order, with the same reactions, so a profile gives the fields that the
// settings file would. A text holding a character its box would not let the technician type
// is refused, and so is a profile whose fields `judge` finds a rule broken in. On any error
// the model is left exactly as it was.
std::optional<ProfileError> loadProfile(FieldModel& model, const std::filesystem::path& path,
                                        bool missingKeepDefaults = false,
                                        const ProfileJudge& judge = {});
std::optional<ProfileError> loadProfileText(FieldModel& model, std::string_view bytes,
                                            bool missingKeepDefaults = false,
                                            const ProfileJudge& judge = {});

// A profile file's bytes, at most a page of text's worth (1 MiB): anything larger, or anything
// but a regular file (a pipe, a device that never ends), is refused with the reason (UTF-8)
// before it is read, so that no input costs more than a few times that in memory.
std::optional<std::string> readProfileFile(const std::filesystem::path& path, std::string& why);

// The profile of the model's fields: CR LF, Windows-1251, keys in the settings file's order.
std::string profileText(const FieldModel& model);

// Written whole or not at all, and created readable by the user only: it holds the server
// password. Nothing on success, else the message (UTF-8).
std::optional<std::string> saveProfile(const FieldModel& model, const std::filesystem::path& path);

}  // namespace korvan
