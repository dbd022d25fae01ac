#include "protocol/value_rules.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "base/cp1251.h"
#include "protocol/command_table.h"

namespace korvan {
namespace {

constexpr std::string_view kAfterwards = " Исправьте его и нажмите «Установить» снова.";

std::string fieldMessage(std::string_view name, std::string_view problemUtf8) {
    return cp1251::fromUtf8("В поле «" + std::string(name) + "» " + std::string(problemUtf8) +
                            std::string(kAfterwards));
}

// The value itself, which is Windows-1251 already, between the two UTF-8 halves.
std::string messageWithValue(std::string_view before, const std::string& value,
                             std::string_view after) {
    return cp1251::fromUtf8(std::string(before)) + value + cp1251::fromUtf8(std::string(after));
}

bool allDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string range(std::int32_t lowest, std::int32_t highest) {
    return "от " + std::to_string(lowest) + " до " + std::to_string(highest);
}

// The limits the write brings a number into, joined over both of its phases.
struct Corrected {
    std::optional<std::int32_t> lowest;
    std::optional<std::int32_t> highest;
    bool zeroAllowed = false;
};

Corrected correctedLimits(NumberField field) {
    Corrected joined;
    for (const FieldLimit& limit : fieldLimits()) {
        if (limit.field != field) {
            continue;
        }
        if (limit.lowest) {
            joined.lowest = std::max(joined.lowest.value_or(*limit.lowest), *limit.lowest);
        }
        if (limit.highest) {
            joined.highest = std::min(joined.highest.value_or(*limit.highest), *limit.highest);
        }
        joined.zeroAllowed = joined.zeroAllowed || limit.zeroAllowed;
    }
    return joined;
}

std::string correctedRule(NumberField field) {
    const Corrected c = correctedLimits(field);
    std::string rule = c.zeroAllowed ? "0 или целое число" : "Целое число";
    if (c.lowest && c.highest) {
        rule += " " + range(*c.lowest, *c.highest) +
                "; другое число запись заменит ближайшей "
                "границей";
    } else if (c.lowest) {
        rule += " не меньше " + std::to_string(*c.lowest) + "; меньшее запись заменит на " +
                std::to_string(*c.lowest);
    } else if (c.highest) {
        rule += " не больше " + std::to_string(*c.highest) + "; большее запись заменит на " +
                std::to_string(*c.highest);
    }
    return rule;
}

bool hasCoordinates(const ControlPoint& p) {
    return !p.latitude.degrees.text.empty() || !p.longitude.degrees.text.empty();
}

constexpr std::array<const char*, 3> kOrdinals = {"первой", "второй", "третьей"};

void coordinate(RuleJudge& judge, const GeoCoordinate& g, NumberField degrees,
                std::int32_t highestDegrees, TextField hemisphere, const char* letters) {
    const auto minutes = static_cast<NumberField>(static_cast<int>(degrees) + 1);
    const auto fraction = static_cast<NumberField>(static_cast<int>(degrees) + 2);
    judge.hemisphere(hemisphere, g, letters);
    judge.number(degrees, 0, highestDegrees);
    judge.number(minutes, 0, 59, true);
    if (g.fraction.text.size() > 5) {
        judge.broken(fraction, "Не больше пяти цифр",
                     fieldMessage(describe(fraction), "больше пяти цифр."));
    }
    judge.number(fraction, 0, 99999, true);
    // The whole coordinate, not only its degrees, stays within the pole or the date line.
    const auto d = g.degrees.value();
    const auto m = g.minutes.text.empty() ? std::optional<std::int32_t>(0) : g.minutes.value();
    const auto f = g.fraction.text.empty() ? std::optional<std::int32_t>(0) : g.fraction.value();
    if (d && m && f && *d == highestDegrees && (*m > 0 || *f > 0)) {
        const std::string at = std::to_string(highestDegrees);
        judge.broken(degrees, "При " + at + " градусах минуты и доли минуты должны быть нулями",
                     fieldMessage(describe(degrees), at + ": при этом минуты и доли минуты должны "
                                                          "быть нулями."));
    }
}

void point(RuleJudge& judge, int n) {
    const ControlPoint& p = judge.configuration.points[static_cast<std::size_t>(n - 1)];
    const auto field = [n](NumberField ofPoint1) { return ofPoint(ofPoint1, n); };
    // Both are converted before the link opens, whether or not their point is sent.
    judge.correctedNumber(field(NumberField::Radius1));
    judge.correctedNumber(field(NumberField::OnTime1));
    if (!hasCoordinates(p)) {
        return;  // not sent
    }
    for (NumberField needed :
         {field(NumberField::LatitudeDegrees1), field(NumberField::LongitudeDegrees1),
          field(NumberField::Radius1)}) {
        judge.required(needed, "у точки есть координаты");
    }
    if (p.sends()) {
        judge.required(field(NumberField::OnTime1), "точка отсылает данные");
    }
    coordinate(judge, p.latitude, field(NumberField::LatitudeDegrees1), 90,
               ofPoint(TextField::LatitudeHemisphere1, n), "N или S");
    coordinate(judge, p.longitude, field(NumberField::LongitudeDegrees1), 180,
               ofPoint(TextField::LongitudeHemisphere1, n), "E или W");
}

void analogue(RuleJudge& judge, int n) {
    judge.correctedNumber(ofAnalog(NumberField::Threshold1, n));
    judge.correctedNumber(ofAnalog(NumberField::Averaging1, n));
}

}  // namespace

std::string describe(TextField field) {
    switch (field) {
        case TextField::AccessPoint:
            return "Имя сети Wi-Fi";
        case TextField::Key:
            return "Ключ шифрования";
        case TextField::DeviceAddress:
            return "IP устройства";
        case TextField::Netmask:
            return "Маска сети";
        case TextField::Gateway:
            return "Шлюз";
        case TextField::ServerPort:
            return "Порт сервера";
        case TextField::ServerAddress:
            return "IP сервера";
        case TextField::Password:
            return "Пароль";
        default:
            break;
    }
    const int offset = static_cast<int>(field) - static_cast<int>(TextField::LatitudeHemisphere1);
    return std::string(offset % 2 == 0 ? "Полушарие широты " : "Полушарие долготы ") +
           kOrdinals[static_cast<std::size_t>(offset / 2)] + " контрольной точки";
}

std::string describe(const ValueField& field) {
    return std::visit([](auto f) { return describe(f); }, field);
}

bool RuleJudge::alreadyBroken(const ValueField& field) const {
    return std::any_of(breaks.begin(), breaks.end(),
                       [&field](const RuleBreak& b) { return b.field == field; });
}

void RuleJudge::broken(ValueField field, std::string rule, std::string message) {
    if (!alreadyBroken(field)) {
        breaks.push_back({field, std::move(rule), std::move(message)});
    }
}

void RuleJudge::text(TextField field, const std::string& value, std::size_t longest, bool wifi) {
    const std::string name = describe(field);
    const std::string rule = "Не больше " + std::to_string(longest) + " символов, без " +
                             (wifi ? "«;», " : "") + "«$» и управляющих символов";
    for (const char c : value) {
        if (c == '$') {
            return broken(field, rule,
                          fieldMessage(name,
                                       "есть символ «$»: трекер принял бы его за конец "
                                       "команды."));
        }
        if (wifi && c == ';') {
            return broken(field, rule,
                          fieldMessage(name,
                                       "есть символ «;»: модуль Wi-Fi принял бы его за "
                                       "конец значения."));
        }
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
            return broken(field, rule, fieldMessage(name, "есть управляющий символ."));
        }
    }
    if (value.size() > longest) {
        broken(field, rule,
               fieldMessage(name, "больше " + std::to_string(longest) +
                                      " символов: трекер не сохранит такое значение."));
    }
}

void RuleJudge::exactText(TextField field, const std::string& value, std::size_t length) {
    // The length first, so that the rule told is the one that is wanted.
    if (value.size() != length) {
        broken(field,
               "Ровно " + std::to_string(length) + " символов, без «$» и управляющих символов",
               fieldMessage(describe(field), "не " + std::to_string(length) + " символов."));
    }
    text(field, value, length, false);
}

void RuleJudge::address(TextField field, const std::string& value) {
    int parts = 0;
    bool fits = !value.empty();
    std::size_t start = 0;
    while (fits && start <= value.size()) {
        const std::size_t dot = std::min(value.find('.', start), value.size());
        const std::string_view part = std::string_view(value).substr(start, dot - start);
        fits = part.size() <= 3 && allDigits(part) && std::stoi(std::string(part)) <= 255;
        ++parts;
        start = dot + 1;
    }
    if (!fits || parts != 4) {
        broken(field, "Четыре числа от 0 до 255 через точку, например 192.168.0.1",
               messageWithValue(
                   "В поле «" + describe(field) + "» не IP-адрес: «", value,
                   "». Нужны четыре числа от 0 до 255 через точку." + std::string(kAfterwards)));
    }
}

void RuleJudge::port(TextField field, const std::string& value) {
    const bool fits =
        allDigits(value) && value.size() <= 5 && std::stoi(value) >= 1 && std::stoi(value) <= 65535;
    if (!fits) {
        broken(field, "Число от 1 до 65535",
               messageWithValue("В поле «" + describe(field) + "» не номер порта: «", value,
                                "». Нужно число от 1 до 65535." + std::string(kAfterwards)));
    }
}

void RuleJudge::number(NumberField field, std::int32_t lowest, std::int32_t highest,
                       bool emptyAllowed) {
    const Number& n = numberOf(configuration, field);
    if (emptyAllowed && n.text.empty()) {
        return;
    }
    const std::string rule =
        "Целое число " + range(lowest, highest) + (emptyAllowed ? " или пусто" : "");
    const auto value = n.value();
    if (!allDigits(n.text) || !value) {
        return broken(field, rule,
                      messageWithValue("В поле «" + describe(field) + "» не число: «", n.text,
                                       "»." + std::string(kAfterwards)));
    }
    if (*value < lowest || *value > highest) {
        broken(field, rule,
               messageWithValue("В поле «" + describe(field) + "» число ", n.text,
                                ", а трекер принимает " + range(lowest, highest) + "." +
                                    std::string(kAfterwards)));
    }
}

void RuleJudge::correctedNumber(NumberField field) {
    const Number& n = numberOf(configuration, field);
    const bool emptyAllowed = std::any_of(
        fieldLimits().begin(), fieldLimits().end(),
        [field](const FieldLimit& limit) { return limit.field == field && limit.emptyAllowed; });
    if ((emptyAllowed && n.text.empty()) || (allDigits(n.text) && n.value())) {
        return;
    }
    broken(field, correctedRule(field),
           messageWithValue("В поле «" + describe(field) + "» не число: «", n.text,
                            "»." + std::string(kAfterwards)));
}

void RuleJudge::required(NumberField field, const std::string& why) {
    if (numberOf(configuration, field).text.empty()) {
        broken(field, "Нужно: " + why,
               cp1251::fromUtf8("Поле «" + describe(field) + "» не заполнено, а " + why +
                                ". Заполните его и нажмите «Установить» снова."));
    }
}

void RuleJudge::hemisphere(TextField field, const GeoCoordinate& coordinate, const char* letters) {
    if (!coordinate.hemisphereKnown) {
        broken(field, std::string("Буква ") + letters,
               fieldMessage(describe(field), std::string("должна быть буква ") + letters + "."));
    }
}

namespace rules {

void accessPoint(RuleJudge& judge) {
    judge.text(TextField::AccessPoint, judge.configuration.network.accessPoint, kAccessPointLength,
               true);
}

void encryption(RuleJudge& judge) {
    const WifiNetwork& n = judge.configuration.network;
    if (n.encryption != Encryption::None) {
        // The longest key the tracker gives back when it is read.
        judge.text(TextField::Key, n.key, kWepKeyLength128, true);
    }
}

void deviceAddress(RuleJudge& judge) {
    if (!judge.configuration.network.dhcp) {
        judge.address(TextField::DeviceAddress, judge.configuration.network.deviceAddress);
    }
}

void netmask(RuleJudge& judge) {
    if (!judge.configuration.network.dhcp) {
        judge.address(TextField::Netmask, judge.configuration.network.netmask);
    }
}

void gateway(RuleJudge& judge) {
    if (!judge.configuration.network.dhcp) {
        judge.address(TextField::Gateway, judge.configuration.network.gateway);
    }
}

void serverPort(RuleJudge& judge) {
    judge.port(TextField::ServerPort, judge.configuration.server.port);
}

void serverAddress(RuleJudge& judge) {
    judge.address(TextField::ServerAddress, judge.configuration.server.address);
}

void input1(RuleJudge& judge) {
    analogue(judge, 1);
}

void input2(RuleJudge& judge) {
    analogue(judge, 2);
}

void point1(RuleJudge& judge) {
    point(judge, 1);
}

void point2(RuleJudge& judge) {
    point(judge, 2);
}

void point3(RuleJudge& judge) {
    point(judge, 3);
}

void recordingPeriod(RuleJudge& judge) {
    judge.correctedNumber(NumberField::RecordingPeriod);
}

void sendingPeriod(RuleJudge& judge) {
    judge.correctedNumber(NumberField::SendingPeriod);
}

void analogPeriod(RuleJudge& judge) {
    judge.correctedNumber(NumberField::AnalogPollPeriod);
}

void counterPeriods(RuleJudge& judge) {
    // Both periods share one 32-bit word, 16 bits each.
    judge.number(NumberField::CounterPeriod12, 0, 65535);
    judge.number(NumberField::CounterPeriod34, 0, 65535);
}

void password(RuleJudge& judge) {
    judge.exactText(TextField::Password, judge.configuration.server.password, kPasswordLength);
}

}  // namespace rules

std::vector<RuleBreak> brokenRules(const TrackerConfiguration& configuration) {
    RuleJudge judge(configuration);
    for (const auto* order : {&kNetworkWriteOrder, &kTrackerWriteOrder}) {
        for (Setting setting : *order) {
            if (const auto rule = commandsFor(setting).rules) {
                rule(judge);
            }
        }
    }
    return std::move(judge.breaks);
}

std::optional<std::string> writeRefusal(const TrackerConfiguration& configuration) {
    auto breaks = brokenRules(configuration);
    if (breaks.empty()) {
        return std::nullopt;
    }
    return std::move(breaks.front().message);
}

}  // namespace korvan
