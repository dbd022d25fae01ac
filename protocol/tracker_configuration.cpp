#include "protocol/tracker_configuration.h"

#include <charconv>

namespace korvan {
namespace {

// The parts of one control point in the order of `NumberField`.
Number& pointPart(ControlPoint& point, int part) {
    switch (part) {
        case 0:
            return point.latitude.degrees;
        case 1:
            return point.latitude.minutes;
        case 2:
            return point.latitude.fraction;
        case 3:
            return point.longitude.degrees;
        case 4:
            return point.longitude.minutes;
        case 5:
            return point.longitude.fraction;
        case 6:
            return point.radius;
        default:
            return point.onTimeMinutes;
    }
}

}  // namespace

std::optional<std::int32_t> Number::value() const {
    std::string_view digits = text;
    if (!digits.empty() && digits.front() == '+') {
        digits.remove_prefix(1);
        if (!digits.empty() && digits.front() == '-') {
            return std::nullopt;
        }
    }
    std::int32_t number = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return number;
}

Number& numberOf(TrackerConfiguration& c, NumberField field) {
    switch (field) {
        case NumberField::RecordingPeriod:
            return c.recording.period;
        case NumberField::SendingPeriod:
            return c.recording.sendingPeriod;
        case NumberField::AnalogPollPeriod:
            return c.analog.pollPeriod;
        case NumberField::CounterPeriod12:
            return c.recording.counterPeriod12;
        case NumberField::CounterPeriod34:
            return c.recording.counterPeriod34;
        case NumberField::Threshold1:
        case NumberField::Threshold2:
            return c.analog.inputs[field == NumberField::Threshold1 ? 0 : 1].changeThreshold;
        case NumberField::Averaging1:
        case NumberField::Averaging2:
            return c.analog.inputs[field == NumberField::Averaging1 ? 0 : 1].averagingPeriod;
        default:
            break;
    }
    const int offset = static_cast<int>(field) - static_cast<int>(NumberField::LatitudeDegrees1);
    return pointPart(c.points.at(static_cast<std::size_t>(offset / kNumbersPerPoint)),
                     offset % kNumbersPerPoint);
}

const Number& numberOf(const TrackerConfiguration& c, NumberField field) {
    return numberOf(const_cast<TrackerConfiguration&>(c), field);
}

std::string describe(NumberField field) {
    switch (field) {
        case NumberField::RecordingPeriod:
            return "Период записи точек";
        case NumberField::SendingPeriod:
            return "Период отсылки данных по WiFi";
        case NumberField::AnalogPollPeriod:
            return "Период опроса аналоговых входов";
        case NumberField::CounterPeriod12:
            return "Период записи показаний счётчиков 1,2";
        case NumberField::CounterPeriod34:
            return "Период записи показаний счётчиков 3,4";
        case NumberField::Threshold1:
        case NumberField::Threshold2:
            return std::string("Записывать изменение более (аналоговый вход ") +
                   (field == NumberField::Threshold1 ? "1)" : "2)");
        case NumberField::Averaging1:
        case NumberField::Averaging2:
            return std::string("Период усреднения (аналоговый вход ") +
                   (field == NumberField::Averaging1 ? "1)" : "2)");
        default:
            break;
    }
    static constexpr const char* kParts[] = {
        "Градусы широты",  "Минуты широты",  "Доли минуты широты",
        "Градусы долготы", "Минуты долготы", "Доли минуты долготы",
        "Радиус",          "Время включения"};
    static constexpr const char* kPoints[] = {"первой", "второй", "третьей"};
    const int offset = static_cast<int>(field) - static_cast<int>(NumberField::LatitudeDegrees1);
    return std::string(kParts[offset % kNumbersPerPoint]) + " " +
           kPoints[offset / kNumbersPerPoint] + " контрольной точки";
}

}  // namespace korvan
