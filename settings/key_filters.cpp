#include "settings/key_filters.h"

namespace korvan {

KeyFilter KeyFilterOf(Field field) {
    switch (field) {
        case Field::port:
        case Field::Edit1:
        case Field::Edit2:
        case Field::CounterTime:
        case Field::CounterTime34:
        case Field::AnalogTime:
        case Field::Ain1:
        case Field::Ain2:
        case Field::Usr1:
        case Field::Usr2:
            return KeyFilter::EditKeyPress;
        case Field::WiFiName:
        case Field::edPassword:
            return KeyFilter::PassEdit;
        case Field::ip:
        case Field::DevIP:
        case Field::Netmask:
        case Field::DefGW:
            return KeyFilter::ipKeyPress;
        case Field::WiFiKey:
            return KeyFilter::WiFiKeyKeyPress;
        default:
            break;
    }
    for (int n = 1; n <= 3; ++n) {
        for (Field ofPoint1 :
             {Field::Point1Latd, Field::Point1Latm, Field::Point1Latmm, Field::Point1Lond,
              Field::Point1Lonm, Field::Point1Lonmm, Field::Point1Rad, Field::edPoint1OnTime}) {
            if (field == ofPoint(ofPoint1, n)) {
                return KeyFilter::Point1LatdKeyPress;
            }
        }
    }
    return KeyFilter::None;
}

bool KeyAccepted(KeyFilter filter, char typed) {
    const auto c = static_cast<signed char>(typed);
    const bool digit = c >= '0' && c <= '9';
    switch (filter) {
        case KeyFilter::None:
            return true;
        case KeyFilter::EditKeyPress:
            return digit || c == kBackspace;
        case KeyFilter::PassEdit:
            return (c >= '0' && c <= 'z') || c == '-' || c == kBackspace;
        case KeyFilter::ipKeyPress:
            return digit || c == '.' || c == kBackspace;
        case KeyFilter::Point1LatdKeyPress:
            return digit || c == kBackspace || c == kCtrlV;
        case KeyFilter::WiFiKeyKeyPress:
            return c != ';';
    }
    return true;
}

bool TextAdmitted(KeyFilter filter, char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 0x20 && byte != 0x7F && KeyAccepted(filter, c);
}

}  // namespace korvan
