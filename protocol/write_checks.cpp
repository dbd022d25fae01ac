#include "protocol/write_checks.h"

#include <array>
#include <string_view>
#include <vector>

#include "base/cp1251.h"

namespace korvan {
namespace {

constexpr std::string_view kAfterwards = " Исправьте его и нажмите «Установить» снова.";

std::string fieldMessage(std::string_view name, std::string_view problemUtf8) {
    return cp1251::fromUtf8("В поле «" + std::string(name) + "» " + std::string(problemUtf8) +
                            std::string(kAfterwards));
}

struct TextRule {
    const char* name;  // UTF-8
    const std::string* value;
    bool wifi;  // a value of the Wi-Fi module, which ends at ";"
    std::size_t longest;
};

std::optional<std::string> textRefusal(const TextRule& rule) {
    for (const char c : *rule.value) {
        if (c == '$') {
            return fieldMessage(rule.name,
                                "есть символ «$»: трекер принял бы его за конец команды.");
        }
        if (rule.wifi && c == ';') {
            return fieldMessage(rule.name,
                                "есть символ «;»: модуль Wi-Fi принял бы его за конец значения.");
        }
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return fieldMessage(rule.name, "есть управляющий символ.");
        }
    }
    if (rule.value->size() > rule.longest) {
        return fieldMessage(rule.name, "больше " + std::to_string(rule.longest) +
                                           " символов: трекер не сохранит такое значение.");
    }
    return std::nullopt;
}

// The longest values are those the tracker's replies have room for when it is read back.
std::optional<std::string> textsRefusal(const TrackerConfiguration& c) {
    const WifiNetwork& n = c.network;
    std::vector<TextRule> rules = {
        {"Имя сети Wi-Fi", &n.accessPoint, true, 35},
    };
    if (n.encryption != Encryption::None) {
        rules.push_back({"Ключ шифрования", &n.key, true, 13});
    }
    if (!n.dhcp) {
        rules.push_back({"IP устройства", &n.deviceAddress, true, 15});
        rules.push_back({"Маска сети", &n.netmask, true, 15});
        rules.push_back({"Шлюз", &n.gateway, true, 15});
    }
    rules.push_back({"Порт сервера", &c.server.port, true, 5});
    rules.push_back({"IP сервера", &c.server.address, true, 15});
    rules.push_back({"Пароль", &c.server.password, false, 8});
    for (const TextRule& rule : rules) {
        if (auto refusal = textRefusal(rule)) {
            return refusal;
        }
    }
    return std::nullopt;
}

std::optional<std::string> rangeRefusal(const TrackerConfiguration& c, NumberField field,
                                        std::int32_t lowest, std::int32_t highest) {
    const Number& number = numberOf(c, field);
    const auto value = number.value();
    if (!value || (*value >= lowest && *value <= highest)) {
        return std::nullopt;  // a text that is no number is told where it is converted
    }
    return cp1251::fromUtf8("В поле «" + describe(field) + "» число ") + number.text +
           cp1251::fromUtf8(", а трекер принимает от " + std::to_string(lowest) + " до " +
                            std::to_string(highest) + "." + std::string(kAfterwards));
}

std::optional<std::string> missing(NumberField field, std::string_view why) {
    return cp1251::fromUtf8("Поле «" + describe(field) + "» не заполнено, а " + std::string(why) +
                            ". Заполните его и нажмите «Установить» снова.");
}

bool hasCoordinates(const ControlPoint& p) {
    return !p.latitude.degrees.text.empty() || !p.longitude.degrees.text.empty();
}

std::optional<std::string> coordinateRefusal(const TrackerConfiguration& c, const GeoCoordinate& g,
                                             NumberField degrees, std::int32_t highestDegrees,
                                             const char* hemisphereName, const char* letters) {
    const auto minutes = static_cast<NumberField>(static_cast<int>(degrees) + 1);
    const auto fraction = static_cast<NumberField>(static_cast<int>(degrees) + 2);
    if (!g.hemisphereKnown) {
        return fieldMessage(hemisphereName, std::string("должна быть буква ") + letters + ".");
    }
    if (auto refusal = rangeRefusal(c, degrees, 0, highestDegrees)) {
        return refusal;
    }
    if (auto refusal = rangeRefusal(c, minutes, 0, 59)) {
        return refusal;
    }
    if (g.fraction.text.size() > 5) {
        return fieldMessage(describe(fraction), "больше пяти цифр.");
    }
    if (auto refusal = rangeRefusal(c, fraction, 0, 99999)) {
        return refusal;
    }
    // The whole coordinate, not only its degrees, stays within the pole or the date line.
    const auto d = g.degrees.value();
    const auto m = g.minutes.text.empty() ? std::optional<std::int32_t>(0) : g.minutes.value();
    const auto f = g.fraction.text.empty() ? std::optional<std::int32_t>(0) : g.fraction.value();
    if (d && m && f && *d == highestDegrees && (*m > 0 || *f > 0)) {
        return fieldMessage(describe(degrees), std::to_string(highestDegrees) +
                                                   ": при этом минуты и доли минуты должны "
                                                   "быть нулями.");
    }
    return std::nullopt;
}

std::optional<std::string> pointRefusal(const TrackerConfiguration& c, int n) {
    const ControlPoint& p = c.points[static_cast<std::size_t>(n - 1)];
    if (!hasCoordinates(p)) {
        return std::nullopt;  // not sent
    }
    static constexpr std::array<const char*, 3> kOrdinals = {"первой", "второй", "третьей"};
    const std::string ofPointN =
        std::string(" ") + kOrdinals[static_cast<std::size_t>(n - 1)] + " контрольной точки";
    const auto field = [n](NumberField ofPoint1) { return ofPoint(ofPoint1, n); };
    for (NumberField required :
         {field(NumberField::LatitudeDegrees1), field(NumberField::LongitudeDegrees1),
          field(NumberField::Radius1)}) {
        if (numberOf(c, required).text.empty()) {
            return missing(required, "у точки есть координаты");
        }
    }
    if (p.sends() && p.onTimeMinutes.text.empty()) {
        return missing(field(NumberField::OnTime1), "точка отсылает данные");
    }
    if (auto refusal = coordinateRefusal(c, p.latitude, field(NumberField::LatitudeDegrees1), 90,
                                         ("Полушарие широты" + ofPointN).c_str(), "N или S")) {
        return refusal;
    }
    if (auto refusal = coordinateRefusal(c, p.longitude, field(NumberField::LongitudeDegrees1), 180,
                                         ("Полушарие долготы" + ofPointN).c_str(), "E или W")) {
        return refusal;
    }
    if (p.sends()) {
        return rangeRefusal(c, field(NumberField::OnTime1), 0, 60);
    }
    return std::nullopt;
}

}  // namespace

std::optional<std::string> WriteRefusal(const TrackerConfiguration& configuration) {
    if (auto refusal = textsRefusal(configuration)) {
        return refusal;
    }
    // Both periods share one 32-bit word, 16 bits each.
    for (NumberField f : {NumberField::CounterPeriod12, NumberField::CounterPeriod34}) {
        if (auto refusal = rangeRefusal(configuration, f, 0, 65535)) {
            return refusal;
        }
    }
    for (int n = 1; n <= 3; ++n) {
        if (auto refusal = pointRefusal(configuration, n)) {
            return refusal;
        }
    }
    return std::nullopt;
}

}  // namespace korvan
