#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "settings/field_model.h"

// The keys of the settings file: where each field is stored, how, what a missing key gives, and
// the order in which the keys are read so that a later key wins over the reactions an earlier
// one fired. The settings file and the tracker profiles both walk this one table.
namespace korvan {

enum class Stored {
    AlwaysEmpty,        // written empty, never read
    Text,               // an edit's text, or a hemisphere box's text
    ItemIndex,          // a combo box's item index
    Checked,            // a check box
    PairFirst,          // true selects `field`, false the other button of its pair
    InputType,          // true selects counter type B or C of an input; false leaves it unselected
    DatabasePath,       // the last device database, in Windows-1251 for earlier installations
    DatabasePathExact,  // the same path as UTF-8, for names the code page cannot hold
};

struct SettingsKey {
    std::string_view section;
    std::string_view name;
    Stored stored;
    Field field;
    std::string_view absentText;  // for texts
    int absentNumber;             // for item indices and flags
    int readStep;                 // 0: never read
};

inline constexpr std::string_view kDatabasePathSection = "FILE";
inline constexpr std::string_view kDatabasePathExactKey = "LastBegeDBUtf8";

// Every key, in the order it is written.
std::span<const SettingsKey> settingsKeys();
// The keys that are read, in the order they are read.
std::span<const SettingsKey* const> settingsKeysInReadOrder();

// Whether the key holds a setting of the tracker, as opposed to the program's own state: the
// last database, the APN keys kept for earlier installations, and the option not to read an
// attached tracker, which is how this program treats trackers rather than what they hold.
bool isTrackerSetting(const SettingsKey& key);

// Puts a key's stored value into its field as the settings reader takes it: nothing when the
// key is missing, Windows-1251 otherwise. A missing key or a value the field cannot take gives
// the field its first-run value. Fires the reactions the change brings. Not for the database
// path, whose two keys are read together.
void applyStoredValue(FieldModel& model, const SettingsKey& key,
                      const std::optional<std::string>& value);

// The value a key is saved with, from the current state of its field.
std::string storedValueOf(const FieldModel& model, const SettingsKey& key);

}  // namespace korvan
