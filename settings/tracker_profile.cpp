#include "settings/tracker_profile.h"

#include <cstdint>
#include <cstdio>
#include <fstream>
#include <vector>

#include "base/cp1251.h"
#include "base/file_io.h"
#include "base/file_names.h"
#include "settings/key_filters.h"
#include "settings/profile_file.h"
#include "settings/settings_keys.h"

namespace korvan {
namespace {

// A profile is a page of text; anything much larger dropped on the window is something else.
constexpr std::uintmax_t kLargestProfile = 1 << 20;

std::string keyName(const SettingsKey& key) {
    return std::string(key.section) + '/' + std::string(key.name);
}

bool isNumberOrAddress(Field field) {
    switch (keyFilterOf(field)) {
        case KeyFilter::Digits:
        case KeyFilter::AddressCharacters:
        case KeyFilter::CoordinateDigits:
            return true;
        default:
            return false;
    }
}

// Text of a profile as a message may carry it: UTF-8, whatever bytes the file held, and a
// control character as "\xNN", so that no terminal takes it for a command of its own.
std::string printable(std::string_view cp1251Text) {
    std::string text;
    for (const char c : cp1251Text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", byte);
            text += escaped;
        } else {
            text += cp1251::toUtf8(std::string_view(&c, 1));
        }
    }
    return text;
}

// A stored value as the message shows it: UTF-8, and short enough for a message box.
std::string shown(std::string_view value) {
    constexpr std::size_t kLongest = 40;
    if (value.size() <= kLongest) {
        return "«" + printable(value) + "»";
    }
    return "«" + printable(value.substr(0, kLongest)) + "…»";
}

// "Число от 1 до 65535" as it reads after a colon.
std::string lowerFirst(const std::string& utf8) {
    std::string text = cp1251::fromUtf8(utf8);
    if (!text.empty() && static_cast<unsigned char>(text[0]) >= 0xC0 &&
        static_cast<unsigned char>(text[0]) <= 0xDF) {
        text[0] = static_cast<char>(text[0] + 0x20);  // А..Я to а..я
    }
    return cp1251::toUtf8(text);
}

// A field's value as a message may show it: the server password and the network key never.
std::string shownValueOf(Field field, std::string_view value) {
    return isSecret(field) ? "«********»" : shown(value);
}

ProfileError errorAt(const ProfileLine& line, std::string key, std::string_view what) {
    return {key, line.number, "Строка " + std::to_string(line.number) + ": " + std::string(what)};
}

// The longest text a field takes: what its box lets the technician type, the longer key size
// for the Wi-Fi key (a shorter size keeps a longer key already typed), and what the settings
// reader takes for boxes without a limit.
std::size_t longestText(Field field) {
    if (field == Field::NetworkKey) {
        return kWepKeyLength128;
    }
    const int limit = fieldInfo(field).maxLength;
    return limit > 0 ? static_cast<std::size_t>(limit) : ProfileFile::kValueLimit;
}

std::optional<ProfileError> checkValue(const SettingsKey& key, const ProfileLine& line) {
    const auto& info = fieldInfo(key.field);
    const auto& value = line.value;
    switch (key.stored) {
        case Stored::Text:
            if (info.kind == FieldKind::Combo) {
                // The hemisphere boxes keep their text, which must name one of their items.
                for (const auto& item : info.items) {
                    if (item == value) {
                        return std::nullopt;
                    }
                }
                return errorAt(line, keyName(key),
                               "ключ " + keyName(key) + " может быть только " +
                                   cp1251::toUtf8(info.items.front()) + " или " +
                                   cp1251::toUtf8(info.items.back()) + ", а не " + shown(value));
            }
            if (value.size() > longestText(key.field)) {
                return errorAt(line, keyName(key),
                               "значение ключа " + keyName(key) + " длиннее " +
                                   std::to_string(longestText(key.field)) + " символов");
            }
            for (const char c : value) {
                // A number or an address its box would not have let through, such as "-5" for
                // a period, is refused rather than corrected into something else. Texts (the
                // network's name and key, the password) are the tracker's own: a profile read
                // from a tracker keeps them as they are, and their rules judge them.
                if (isNumberOrAddress(key.field) && !textAdmitted(keyFilterOf(key.field), c)) {
                    return errorAt(line, keyName(key),
                                   "в значении ключа " + keyName(key) + " " + shown(value) +
                                       " есть символ " + shown(std::string(1, c)) +
                                       ", которого в этом поле быть не может");
                }
            }
            return std::nullopt;
        case Stored::ItemIndex: {
            const auto index = parseProfileInteger(value);
            const int items = static_cast<int>(info.items.size());
            if (!index || *index < 0 || *index >= items) {
                return errorAt(line, keyName(key),
                               "ключ " + keyName(key) + " должен быть номером пункта от 0 до " +
                                   std::to_string(items - 1) + ", а не " + shown(value));
            }
            return std::nullopt;
        }
        case Stored::Checked:
        case Stored::PairFirst:
        case Stored::InputType: {
            const auto flag = parseProfileInteger(value);
            if (!flag || (*flag != 0 && *flag != 1)) {
                return errorAt(
                    line, keyName(key),
                    "ключ " + keyName(key) + " должен быть 0 или 1, а не " + shown(value));
            }
            return std::nullopt;
        }
        default:
            return std::nullopt;  // not a tracker setting; never found in a profile
    }
}

// The tracker setting `name` of `section`, whatever the case of its letters.
const SettingsKey* trackerKey(std::string_view section, std::string_view name) {
    for (const auto& key : settingsKeys()) {
        if (isTrackerSetting(key) && sameProfileName(key.section, section) &&
            sameProfileName(key.name, name)) {
            return &key;
        }
    }
    return nullptr;
}

// The profile's own spelling of a section, or nothing when it holds no tracker setting.
std::optional<std::string_view> trackerSection(std::string_view name) {
    for (const auto& key : settingsKeys()) {
        if (isTrackerSetting(key) && sameProfileName(key.section, name)) {
            return key.section;
        }
    }
    return std::nullopt;
}

// The line of each tracker setting, by its place in `settingsKeys()`; a key that would read
// differently elsewhere, or not at all, is an error: an unknown key or section, a key before
// any section, a second key or section of a name, a line that is neither.
class KeyLocator {
  public:
    std::vector<const ProfileLine*> found = std::vector<const ProfileLine*>(settingsKeys().size());

    std::optional<ProfileError> take(const ProfileLine& line) {
        switch (line.kind) {
            case ProfileLine::Kind::Blank:
            case ProfileLine::Kind::Comment:
                return std::nullopt;
            case ProfileLine::Kind::Other:
                return errorAt(line, {}, "ожидается [раздел] или ключ=значение");
            case ProfileLine::Kind::Section:
                return takeSection(line);
            case ProfileLine::Kind::Key:
                return takeKey(line);
        }
        return std::nullopt;
    }

  private:
    std::optional<ProfileError> takeSection(const ProfileLine& line) {
        sectionSeen_ = true;
        section_ = line.name;
        known_ = trackerSection(line.name);
        if (!known_) {
            return std::nullopt;  // its keys, if any, are the error
        }
        for (const auto& [name, number] : sections_) {
            if (name == *known_) {
                // An earlier installation reads the first one only.
                return errorAt(line, {},
                               "раздел [" + std::string(*known_) +
                                   "] повторяется, первый раз он начат в строке " +
                                   std::to_string(number));
            }
        }
        sections_.emplace_back(*known_, line.number);
        return std::nullopt;
    }

    std::optional<ProfileError> takeKey(const ProfileLine& line) {
        if (!sectionSeen_) {
            return errorAt(line, printable(line.name),
                           "ключ " + printable(line.name) + " стоит до первого раздела");
        }
        const SettingsKey* key = known_ ? trackerKey(*known_, line.name) : nullptr;
        if (!key) {
            const auto name = printable(section_) + '/' + printable(line.name);
            return errorAt(line, name, "ключ " + name + " не относится к настройкам трекера");
        }
        const auto*& first = found[static_cast<std::size_t>(key - settingsKeys().data())];
        if (first) {
            // An earlier installation reads the first one only.
            return errorAt(line, keyName(*key),
                           "ключ " + keyName(*key) + " повторяется, первый раз он стоит в строке " +
                               std::to_string(first->number));
        }
        first = &line;
        return std::nullopt;
    }

    bool sectionSeen_ = false;
    std::string section_;
    std::optional<std::string_view> known_;
    std::vector<std::pair<std::string_view, int>> sections_;
};

std::optional<ProfileError> firstMissingKey(const std::vector<const ProfileLine*>& found) {
    const auto keys = settingsKeys();
    std::optional<ProfileError> error;
    int missing = 0;
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (isTrackerSetting(keys[i]) && !found[i]) {
            ++missing;
            if (!error) {
                error =
                    ProfileError{keyName(keys[i]), 0, "В профиле нет ключа " + keyName(keys[i])};
            }
        }
    }
    if (error && missing > 1) {
        error->message += " (не хватает ключей: " + std::to_string(missing) + ")";
    }
    return error;
}

// A rule the profile's values break, told at the key of the field that breaks it; a key the
// profile left to its default has no line.
ProfileError ruleError(const std::vector<const ProfileLine*>& found, const ProfileRuleBreak& broken,
                       const FieldModel& loaded) {
    const auto keys = settingsKeys();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (!isTrackerSetting(keys[i]) || keys[i].field != broken.field) {
            continue;
        }
        const std::string value = shownValueOf(broken.field, loaded.text(broken.field));
        const std::string rule = lowerFirst(broken.rule);
        if (found[i]) {
            return errorAt(*found[i], keyName(keys[i]),
                           "«" + broken.name + "», ключ " + keyName(keys[i]) + ": значение " +
                               value + " не годится: " + rule);
        }
        return {keyName(keys[i]), 0,
                "«" + broken.name + "»: ключа " + keyName(keys[i]) +
                    " нет в профиле, а значение по умолчанию " + value + " не годится: " + rule};
    }
    return {{}, 0, "Профиль не годится: " + lowerFirst(broken.rule)};
}

}  // namespace

std::optional<ProfileError> loadProfileText(FieldModel& model, std::string_view bytes,
                                            bool missingKeepDefaults, const ProfileJudge& judge) {
    const auto outline = ProfileFile::outlineOf(bytes);
    KeyLocator locator;
    for (const auto& line : outline) {
        if (auto error = locator.take(line)) {
            return error;
        }
    }
    const auto& found = locator.found;
    if (!missingKeepDefaults) {
        if (auto error = firstMissingKey(found)) {
            return error;
        }
    }
    const auto keys = settingsKeys();
    for (std::size_t i = 0; i < keys.size(); ++i) {
        if (found[i]) {
            if (auto error = checkValue(keys[i], *found[i])) {
                return error;
            }
        }
    }
    // Worked out on a copy, so that the window hears each field change once, and only once
    // the whole profile has been taken.
    FieldModel scratch;
    scratch.restore(model.snapshot());
    for (const SettingsKey* key : settingsKeysInReadOrder()) {
        if (const ProfileLine* line = found[static_cast<std::size_t>(key - keys.data())]) {
            applyStoredValue(scratch, *key, line->value);
        }
    }
    if (judge) {
        if (auto broken = judge(scratch)) {
            return ruleError(found, *broken, scratch);
        }
    }
    model.restore(scratch.snapshot());
    return std::nullopt;
}

std::optional<std::string> readProfileFile(const std::filesystem::path& path, std::string& why) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        why = std::filesystem::exists(path, error)
                  ? "Файл " + utf8FromPath(path) + " не обычный файл и не может быть профилем"
                  : "Не удалось прочитать файл " + utf8FromPath(path);
        return std::nullopt;
    }
    std::ifstream in(path, std::ios::binary);
    std::string bytes(kLargestProfile + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (in.bad() || (!in && !in.eof())) {
        why = "Не удалось прочитать файл " + utf8FromPath(path);
        return std::nullopt;
    }
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > kLargestProfile) {
        why = "Файл " + utf8FromPath(path) + " слишком велик для профиля";
        return std::nullopt;
    }
    return bytes;
}

std::optional<ProfileError> loadProfile(FieldModel& model, const std::filesystem::path& path,
                                        bool missingKeepDefaults, const ProfileJudge& judge) {
    std::string why;
    const auto bytes = readProfileFile(path, why);
    if (!bytes) {
        return ProfileError{{}, 0, why};
    }
    return loadProfileText(model, *bytes, missingKeepDefaults, judge);
}

std::string profileText(const FieldModel& model) {
    ProfileFile file;
    for (const auto& key : settingsKeys()) {
        if (isTrackerSetting(key)) {
            file.write(key.section, key.name, storedValueOf(model, key));
        }
    }
    return file.serialize();
}

std::optional<std::string> saveProfile(const FieldModel& model, const std::filesystem::path& path) {
    const auto shownPath = utf8FromPath(path);
    switch (writeFileAtomically(path, profileText(model), NewFileAccess::OwnerOnly)) {
        case FileWrite::Written:
            return std::nullopt;
        case FileWrite::ReadOnly:
            return "Файл " + shownPath + " только для чтения";
        case FileWrite::NoFolder:
            return "Нет папки " + utf8FromPath(path.parent_path());
        case FileWrite::NotAFile:
            return "На месте файла " + shownPath + " папка или устройство";
        case FileWrite::LinkRefused:
            return "Файл не сохранён: " + refusedLinkText(saveTargetOf(path).path);
        case FileWrite::Failed:
            break;
    }
    return "Не удалось записать файл " + shownPath;
}

}  // namespace korvan
