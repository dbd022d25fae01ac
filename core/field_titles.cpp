#include "core/field_titles.h"

#include <array>
#include <optional>

#include "base/cp1251.h"
#include "core/field_rules.h"

namespace korvan {
namespace {

struct Title {
    Field field;
    const char* title;
};

// The fields of a tracker's settings that hold no value a rule judges, and are not numbered.
constexpr auto kTitles = std::to_array<Title>({
    {Field::RecordingMethod, "Способ записи"},
    {Field::WideRecording, "Дополнительная запись с вектором скорости"},
    {Field::StaticProcessing, "Статическая обработка данных"},
    {Field::NoEncryption, "Шифрование"},
    {Field::Authentication, "Проверка подлинности"},
    {Field::Key64Bit, "Длина ключа WEP"},
    {Field::AutomaticAddress, "IP-адрес устройства"},
    {Field::AnalogRecordingMethod, "Адаптивная запись аналоговых данных"},
    {Field::ReadIdentityOnly, "Не считывать настройки из устройства"},
    {Field::VerifyAfterWrite, "Проверять трекер после записи"},
    {Field::SerialNumber, "Серийный номер"},
    {Field::MacAddress, "MAC адрес"},
});

// The check boxes of a control point, which take the accusative: "в первую контрольную точку".
constexpr std::array<Field, 4> kPointBoxes = {Field::Point1SendOnEntry, Field::Point1SendOnExit,
                                              Field::Point1OutputOnEntry,
                                              Field::Point1OutputOnExit};
constexpr std::array<const char*, 4> kPointBoxTitles = {
    "Начинать передачу при входе в", "Начинать передачу при выходе из", "Выход1 при входе в",
    "Выход1 при выходе из"};
constexpr std::array<const char*, 3> kPointCases = {"первую", "вторую", "третью"};

// The value of the rules that `field` shows, if any: its name is the one the rules use.
std::optional<ValueField> valueShownBy(Field field) {
    for (int i = 0; i <= static_cast<int>(NumberField::LastOfPoint3); ++i) {
        const ValueField value = static_cast<NumberField>(i);
        if (fieldOf(value) == field) {
            return value;
        }
    }
    for (int i = 0; i <= static_cast<int>(TextField::LastOfPoint3); ++i) {
        const ValueField value = static_cast<TextField>(i);
        if (fieldOf(value) == field) {
            return value;
        }
    }
    return std::nullopt;
}

std::string numberedTitle(Field field) {
    const auto inRun = [field](Field first, int count) {
        const int n = indexOf(field) - indexOf(first) + 1;
        return n >= 1 && n <= count ? n : 0;
    };
    if (const int n = inRun(Field::InputTrigger1, 4)) {
        return "Вход " + std::to_string(n) + ": момент отсылки";
    }
    if (const int n = inRun(Field::InputSendsAtOnce1, 4)) {
        return "Вход " + std::to_string(n) + ": отсылать по WiFi";
    }
    if (const int n = inRun(Field::InputOrdinary1, 4)) {
        return "Вход " + std::to_string(n) + ": обычный вход";
    }
    if (const int n = inRun(Field::InputAccumulating1, 4)) {
        return "Вход " + std::to_string(n) + ": накопительный счётчик";
    }
    if (const int n = inRun(Field::InputPeriodic1, 4)) {
        return "Вход " + std::to_string(n) + ": периодический счётчик";
    }
    if (const int n = inRun(Field::AnalogAsDigital1, 2)) {
        return "Аналоговый вход " + std::to_string(n) + ": записывать как цифровой";
    }
    for (int n = 1; n <= 3; ++n) {
        for (std::size_t box = 0; box < kPointBoxes.size(); ++box) {
            if (ofPoint(kPointBoxes[box], n) == field) {
                return std::string(kPointBoxTitles[box]) + " " +
                       kPointCases[static_cast<std::size_t>(n - 1)] + " контрольную точку";
            }
        }
    }
    return std::string(fieldInfo(field).name);
}

// The words of a pair's two choices: the first selected, the other.
std::pair<const char*, const char*> pairWords(Field field) {
    switch (field) {
        case Field::NoEncryption:
            return {"без шифрования", "WEP"};
        case Field::Key64Bit:
            return {"64 бита", "128 бит"};
        default:
            return {"автоматически (DHCP)", "заданный"};  // AutomaticAddress
    }
}

}  // namespace

std::string fieldTitle(Field field) {
    if (const auto value = valueShownBy(field)) {
        return describe(*value);
    }
    for (const Title& t : kTitles) {
        if (t.field == field) {
            return t.title;
        }
    }
    return numberedTitle(field);
}

std::string shownValue(const FieldModel& model, const SettingsKey& key) {
    const Field f = key.field;
    switch (key.stored) {
        case Stored::Text:
            if (isSecret(f)) {
                return model.text(f).empty() ? "(пусто)" : "********";
            }
            return cp1251::toUtf8(model.text(f));
        case Stored::ItemIndex: {
            const auto& items = fieldInfo(f).items;
            const int index = model.itemIndex(f);
            return index >= 0 && index < static_cast<int>(items.size())
                       ? cp1251::toUtf8(items[static_cast<std::size_t>(index)])
                       : "(не выбрано)";
        }
        case Stored::PairFirst: {
            const auto [first, other] = pairWords(f);
            return model.checked(f) ? first : other;
        }
        default:
            return model.checked(f) ? "да" : "нет";
    }
}

}  // namespace korvan
