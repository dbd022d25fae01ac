// The settings file as the program reads and writes it: whatever a file holds, saving what was
// read and reading it again gives the same fields, and a second save changes nothing.
#include "settings/settings_file.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/file_io.h"
#include "fuzz/fuzz_check.h"
#include "settings/field_model.h"
#include "settings/profile_file.h"

namespace {

using korvan::Field;
using korvan::FieldModel;
using korvan::fuzz::require;

const korvan::fuzz::ScratchFolder scratch;

void requireSameFields(const FieldModel& loaded, const FieldModel& reloaded) {
    for (int i = 0; i < korvan::kFieldCount; ++i) {
        const auto field = static_cast<Field>(i);
        const bool same = loaded.text(field) == reloaded.text(field) &&
                          loaded.itemIndex(field) == reloaded.itemIndex(field) &&
                          loaded.checked(field) == reloaded.checked(field) &&
                          loaded.enabled(field) == reloaded.enabled(field);
        if (!same) {
            require(false, "field " + std::string(korvan::fieldInfo(field).name) +
                               " changed between load and load after save");
        }
    }
    require(loaded.databasePath == reloaded.databasePath,
            "database path changed between load and load after save");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);

    // Lines the program does not know are kept as they stand, so one pass of the profile
    // reader and writer settles the file.
    const auto once = korvan::ProfileFile::parse(bytes).serialize();
    require(korvan::ProfileFile::parse(once).serialize() == once,
            "a settings file changes again on its second save");

    const auto path = scratch.put("korvan.ini", bytes);
    FieldModel loaded;
    korvan::loadSettings(loaded, path);

    require(korvan::saveSettings(loaded, path).ok, "saving the settings failed");
    const auto firstSave = korvan::readWholeFile(path);
    require(korvan::saveSettings(loaded, path).ok, "saving the settings again failed");
    require(firstSave == korvan::readWholeFile(path), "saving the same fields twice differs");

    FieldModel reloaded;
    korvan::loadSettings(reloaded, path);
    requireSameFields(loaded, reloaded);
    return 0;
}
