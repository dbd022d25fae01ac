#include "settings/settings_file.h"

#include <charconv>
#include <string_view>

#include "base/cp1251.h"
#include "base/file_io.h"
#include "settings/profile_file.h"
#include "settings/settings_keys.h"

namespace korvan {
namespace {

// A settings file is a page of text; one larger is not this program's, and is neither read
// nor saved over.
constexpr std::size_t kLargestSettingsFile = 1 << 20;

void loadKey(FieldModel& model, const ProfileFile& file, const SettingsKey& key) {
    if (key.stored != Stored::DatabasePath) {
        applyStoredValue(model, key, file.read(key.section, key.name));
        return;
    }
    // The exact form counts while it names the same file as the code-page form; when they
    // differ, an earlier installation has chosen another database since.
    const auto stored = file.read(key.section, key.name).value_or("");
    const auto exact = file.readUtf8(kDatabasePathSection, kDatabasePathExactKey);
    model.databasePath =
        exact && cp1251::fromUtf8(*exact) == stored ? *exact : cp1251::toUtf8(stored);
}

// The window's place, in a section of its own: it is not a setting of the tracker, and no
// profile carries it.
constexpr std::string_view kWindowSection = "WINDOW";

std::optional<int> storedNumber(const ProfileFile& file, std::string_view key) {
    const auto text = file.read(kWindowSection, key);
    if (!text || text->empty() || text->size() > 7) {
        return std::nullopt;
    }
    int value = 0;
    const auto [end, error] = std::from_chars(text->data(), text->data() + text->size(), value);
    return error == std::errc() && end == text->data() + text->size() ? std::optional(value)
                                                                      : std::nullopt;
}

}  // namespace

void loadSettings(FieldModel& model, const std::filesystem::path& settingsPath) {
    const auto bytes = readWholeFile(settingsPath, kLargestSettingsFile);
    const auto file = bytes ? ProfileFile::parse(*bytes) : ProfileFile();
    for (const SettingsKey* key : settingsKeysInReadOrder()) {
        loadKey(model, file, *key);
    }
    const auto left = storedNumber(file, "Left");
    const auto top = storedNumber(file, "Top");
    model.windowPlace = left && top ? std::optional(WindowPlace{*left, *top}) : std::nullopt;
}

SettingsSaveResult saveSettings(const FieldModel& model,
                                const std::filesystem::path& settingsPath) {
    const auto failure = [&] {
        const auto shown = settingsPath.u8string();
        return SettingsSaveResult{
            false, "Не удалось записать файл настроек " + std::string(shown.begin(), shown.end())};
    };
    ProfileFile file;
    std::error_code error;
    if (std::filesystem::exists(settingsPath, error)) {
        // Whatever else the file holds must survive the save, so a file that cannot be read is
        // not overwritten.
        const auto bytes = readWholeFile(settingsPath, kLargestSettingsFile);
        if (!bytes) {
            return failure();
        }
        file = ProfileFile::parse(*bytes);
    }
    for (const auto& key : settingsKeys()) {
        if (key.stored == Stored::DatabasePathExact) {
            file.writeUtf8(key.section, key.name, storedValueOf(model, key));
        } else {
            file.write(key.section, key.name, storedValueOf(model, key));
        }
    }
    if (model.windowPlace) {
        file.write(kWindowSection, "Left", std::to_string(model.windowPlace->left));
        file.write(kWindowSection, "Top", std::to_string(model.windowPlace->top));
    }
    // The per-user configuration folder may not exist yet; it is the program's own, and private
    // as the file it holds.
    const auto folder = settingsPath.parent_path();
    if (!folder.empty() && !std::filesystem::exists(folder, error)) {
        std::filesystem::create_directories(folder, error);
        std::filesystem::permissions(folder, std::filesystem::perms::owner_all, error);
    }
    // The file holds the server password and the Wi-Fi key.
    if (writeFileAtomically(settingsPath, file.serialize(), NewFileAccess::OwnerOnly) !=
        FileWrite::Written) {
        return failure();
    }
    return {};
}

}  // namespace korvan
