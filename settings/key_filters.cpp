#include "settings/key_filters.h"

namespace korvan {

KeyFilter keyFilterOf(Field field) {
    switch (field) {
        case Field::ServerPort:
        case Field::RecordingPeriod:
        case Field::SendingPeriod:
        case Field::CounterPeriod12:
        case Field::CounterPeriod34:
        case Field::AnalogPollPeriod:
        case Field::AnalogThreshold1:
        case Field::AnalogThreshold2:
        case Field::AnalogAveraging1:
        case Field::AnalogAveraging2:
            return KeyFilter::Digits;
        case Field::AccessPoint:
        case Field::ServerPassword:
            return KeyFilter::PasswordCharacters;
        case Field::ServerAddress:
        case Field::DeviceAddress:
        case Field::Netmask:
        case Field::Gateway:
            return KeyFilter::AddressCharacters;
        case Field::NetworkKey:
            return KeyFilter::KeyCharacters;
        default:
            break;
    }
    for (int n = 1; n <= 3; ++n) {
        for (Field ofPoint1 : {Field::Point1LatitudeDegrees, Field::Point1LatitudeMinutes,
                               Field::Point1LatitudeFraction, Field::Point1LongitudeDegrees,
                               Field::Point1LongitudeMinutes, Field::Point1LongitudeFraction,
                               Field::Point1Radius, Field::Point1OnTime}) {
            if (field == ofPoint(ofPoint1, n)) {
                return KeyFilter::CoordinateDigits;
            }
        }
    }
    return KeyFilter::None;
}

bool keyAccepted(KeyFilter filter, char typed) {
    const auto c = static_cast<signed char>(typed);
    const bool digit = c >= '0' && c <= '9';
    switch (filter) {
        case KeyFilter::None:
            return true;
        case KeyFilter::Digits:
            return digit || c == kBackspace;
        case KeyFilter::PasswordCharacters:
            return (c >= '0' && c <= 'z') || c == '-' || c == kBackspace;
        case KeyFilter::AddressCharacters:
            return digit || c == '.' || c == kBackspace;
        case KeyFilter::CoordinateDigits:
            return digit || c == kBackspace || c == kCtrlV;
        case KeyFilter::KeyCharacters:
            return c != ';';
    }
    return true;
}

bool textAdmitted(KeyFilter filter, char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x20 && byte != 0x7F && keyAccepted(filter, c);
}

}  // namespace korvan
