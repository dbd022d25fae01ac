#include "core/field_titles.h"

#include <gtest/gtest.h>

#include "settings/settings_keys.h"

namespace korvan {
namespace {

// A difference with the tracker is told by a title; without one the technician would read the
// control's name, which means nothing to him.
TEST(FieldTitles, EveryTrackerSettingHasATitleOfItsOwn) {
    for (const SettingsKey& key : settingsKeys()) {
        if (!isTrackerSetting(key)) {
            continue;
        }
        const std::string title = fieldTitle(key.field);
        EXPECT_FALSE(title.empty()) << key.name;
        EXPECT_NE(title, fieldInfo(key.field).name) << key.name;
    }
}

}  // namespace
}  // namespace korvan
