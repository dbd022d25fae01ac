#include "core/field_titles.h"

#include <array>

#include "base/cp1251.h"

namespace korvan {
namespace {

struct Title {
    Field field;
    const char* title;
};

// The fields of a tracker's settings that are not numbered.
constexpr std::array<Title, 25> kTitles = {{
    {Field::ip, "IP сервера"},
    {Field::port, "Порт сервера"},
    {Field::edPassword, "Пароль"},
    {Field::WriteMethod, "Способ записи"},
    {Field::Edit1, "Период записи точек"},
    {Field::Edit2, "Период отсылки данных по WiFi"},
    {Field::WideWrite, "Дополнительная запись с вектором скорости"},
    {Field::StaticBox, "Статическая обработка данных"},
    {Field::WiFiName, "Имя точки доступа"},
    {Field::NoEncr, "Шифрование"},
    {Field::Sert, "Проверка подлинности"},
    {Field::bit64, "Длина ключа WEP"},
    {Field::WiFiKey, "Ключ сети"},
    {Field::AutoIP, "IP-адрес устройства"},
    {Field::DevIP, "IP устройства"},
    {Field::Netmask, "Маска подсети"},
    {Field::DefGW, "Шлюз"},
    {Field::CounterTime, "Период записи показаний счётчиков 1,2"},
    {Field::CounterTime34, "Период записи показаний счётчиков 3,4"},
    {Field::AnalogTime, "Период опроса аналоговых входов"},
    {Field::AnalogMethod, "Адаптивная запись аналоговых данных"},
    {Field::UnReadBox, "Не считывать настройки из устройства"},
    {Field::VerifyBox, "Проверять трекер после записи"},
    {Field::SerNum, "Серийный номер"},
    {Field::MacView, "MAC адрес"},
}};

constexpr std::array<const char*, 14> kPointParts = {"Полушарие широты",
                                                     "Градусы широты",
                                                     "Минуты широты",
                                                     "Доли минуты широты",
                                                     "Полушарие долготы",
                                                     "Градусы долготы",
                                                     "Минуты долготы",
                                                     "Доли минуты долготы",
                                                     "Радиус",
                                                     "Начинать передачу при входе в",
                                                     "Начинать передачу при выходе из",
                                                     "Выход1 при входе в",
                                                     "Выход1 при выходе из",
                                                     "Время включения"};
constexpr std::array<Field, 14> kPointFields = {
    Field::Point1NS,     Field::Point1Latd,    Field::Point1Latm,    Field::Point1Latmm,
    Field::Point1EW,     Field::Point1Lond,    Field::Point1Lonm,    Field::Point1Lonmm,
    Field::Point1Rad,    Field::Point1InGPRS,  Field::Point1OutGPRS, Field::Point1InOut,
    Field::Point1OutOut, Field::edPoint1OnTime};
constexpr std::array<const char*, 3> kOrdinals = {"первой", "второй", "третьей"};
constexpr std::array<const char*, 3> kPointCases = {"первую", "вторую", "третью"};

std::string numberedTitle(Field field) {
    const auto inRun = [field](Field first, int count) {
        const int n = indexOf(field) - indexOf(first) + 1;
        return n >= 1 && n <= count ? n : 0;
    };
    if (const int n = inRun(Field::InputBox1, 4)) {
        return "Вход " + std::to_string(n) + ": момент отсылки";
    }
    if (const int n = inRun(Field::GPRS1, 4)) {
        return "Вход " + std::to_string(n) + ": отсылать по WiFi";
    }
    if (const int n = inRun(Field::CheckBox1, 4)) {
        return "Вход " + std::to_string(n) + ": накопительный счётчик";
    }
    if (const int n = inRun(Field::TempBox1, 4)) {
        return "Вход " + std::to_string(n) + ": периодический счётчик";
    }
    if (const int n = inRun(Field::AnalogWrite1, 2)) {
        return "Аналоговый вход " + std::to_string(n) + ": записывать как цифровой";
    }
    if (const int n = inRun(Field::Ain1, 2)) {
        return "Аналоговый вход " + std::to_string(n) + ": записывать изменение более";
    }
    if (const int n = inRun(Field::Usr1, 2)) {
        return "Аналоговый вход " + std::to_string(n) + ": период усреднения";
    }
    for (int n = 1; n <= 3; ++n) {
        for (std::size_t part = 0; part < kPointFields.size(); ++part) {
            if (ofPoint(kPointFields[part], n) != field) {
                continue;
            }
            const auto point = static_cast<std::size_t>(n - 1);
            // "при входе в" takes the accusative: "в первую контрольную точку".
            return part >= 9 && part <= 12 ? std::string(kPointParts[part]) + " " +
                                                 kPointCases[point] + " контрольную точку"
                                           : std::string(kPointParts[part]) + " " +
                                                 kOrdinals[point] + " контрольной точки";
        }
    }
    return std::string(fieldInfo(field).name);
}

// The words of a pair's two choices: the first selected, the other.
std::pair<const char*, const char*> pairWords(Field field) {
    switch (field) {
        case Field::NoEncr:
            return {"без шифрования", "WEP"};
        case Field::bit64:
            return {"64 бита", "128 бит"};
        default:
            return {"автоматически (DHCP)", "заданный"};  // AutoIP
    }
}

}  // namespace

std::string FieldTitle(Field field) {
    for (const Title& t : kTitles) {
        if (t.field == field) {
            return t.title;
        }
    }
    return numberedTitle(field);
}

std::string ShownValue(const FieldModel& model, const SettingsKey& key) {
    const Field f = key.field;
    switch (key.stored) {
        case Stored::Text:
            if (f == Field::edPassword || f == Field::WiFiKey) {
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

std::string ProfileKeyOf(Field field) {
    for (const SettingsKey& key : SettingsKeys()) {
        if (key.field == field && IsTrackerSetting(key)) {
            return std::string(key.section) + '/' + std::string(key.name);
        }
    }
    return {};
}

}  // namespace korvan
