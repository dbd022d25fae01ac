#include "core/form_mapping.h"

#include "settings/settings_file.h"

namespace korvan {
namespace {

std::size_t at(int n) {
    return static_cast<std::size_t>(n - 1);
}

GeoCoordinate coordinateFrom(const FieldModel& m, Field degrees, Field minutes, Field fraction,
                             Field hemisphere, const char* northOrEast, const char* southOrWest) {
    const std::string& letter = m.text(hemisphere);
    return {{m.text(degrees)},
            {m.text(minutes)},
            {m.text(fraction)},
            letter == southOrWest,
            letter == southOrWest || letter == northOrEast};
}

ControlPoint pointFrom(const FieldModel& m, int n) {
    const auto f = [n](Field ofPoint1) { return ofPoint(ofPoint1, n); };
    ControlPoint p;
    p.latitude = coordinateFrom(m, f(Field::Point1Latd), f(Field::Point1Latm),
                                f(Field::Point1Latmm), f(Field::Point1NS), "N", "S");
    p.longitude = coordinateFrom(m, f(Field::Point1Lond), f(Field::Point1Lonm),
                                 f(Field::Point1Lonmm), f(Field::Point1EW), "E", "W");
    p.radius = {m.text(f(Field::Point1Rad))};
    p.onTimeMinutes = {m.text(f(Field::edPoint1OnTime))};
    p.outputOnEntry = m.checked(f(Field::Point1InOut));
    p.outputOnExit = m.checked(f(Field::Point1OutOut));
    p.sendOnEntry = m.checked(f(Field::Point1InGPRS));
    p.sendOnExit = m.checked(f(Field::Point1OutGPRS));
    return p;
}

InputKind kindFrom(const FieldModel& m, int n) {
    if (m.checked(numbered(Field::CheckBox1, n))) {
        return InputKind::AccumulatingCounter;
    }
    if (m.checked(numbered(Field::TempBox1, n))) {
        return InputKind::PeriodicCounter;
    }
    return InputKind::Ordinary;
}

// The fractions of a minute are shown with five digits, whatever the points held.
void padFractions(FieldModel& m) {
    for (int n = 1; n <= 3; ++n) {
        for (Field f : {ofPoint(Field::Point1Latmm, n), ofPoint(Field::Point1Lonmm, n)}) {
            std::string text = m.text(f);
            while (text.size() < 5) {
                text.insert(text.begin(), '0');
            }
            m.setText(f, text);
        }
    }
}

// Input n's fields, in an order whose reactions the form relies on: a Wi-Fi box ticked
// selects an ordinary input, and a counter type selected afterwards clears the box again.
void applyInput(FieldModel& m, const TrackerConfiguration& c, int n) {
    const DigitalInput& in = c.inputs[at(n)];
    if (n <= 2) {
        const AnalogInput& analog = c.analog.inputs[at(n)];
        m.setText(numbered(Field::Ain1, n), analog.changeThreshold.text);
        m.setText(numbered(Field::Usr1, n), analog.averagingPeriod.text);
    }
    m.setChecked(numbered(Field::GPRS1, n), in.sendOverWifi);
    m.setItemIndex(numbered(Field::InputBox1, n), in.triggerWhenOpen ? 1 : 0);
    if (n <= 2) {
        m.setChecked(numbered(Field::AnalogWrite1, n), c.analog.inputs[at(n)].recordAsDigital);
    }
    if (n == 1) {
        m.setItemIndex(Field::AnalogMethod, c.analog.atMostOncePerPoll ? 0 : 1);
    }
    m.setChecked(in.kind == InputKind::AccumulatingCounter ? numbered(Field::CheckBox1, n)
                                                           : numbered(Field::RadioButton1, n),
                 true);
    if (in.kind == InputKind::PeriodicCounter) {
        m.setChecked(numbered(Field::TempBox1, n), true);
    }
}

void applyPoint(FieldModel& m, const ControlPoint& p, int n) {
    const auto f = [n](Field ofPoint1) { return ofPoint(ofPoint1, n); };
    m.setChecked(f(Field::Point1InOut), p.outputOnEntry);
    m.setChecked(f(Field::Point1OutOut), p.outputOnExit);
    m.setChecked(f(Field::Point1InGPRS), p.sendOnEntry);
    m.setChecked(f(Field::Point1OutGPRS), p.sendOnExit);
    m.setText(f(Field::edPoint1OnTime), p.onTimeMinutes.text);
    m.setText(f(Field::Point1EW), p.longitude.southOrWest ? "W" : "E");
    m.setText(f(Field::Point1NS), p.latitude.southOrWest ? "S" : "N");
    m.setText(f(Field::Point1Rad), p.radius.text);
    m.setText(f(Field::Point1Latd), p.latitude.degrees.text);
    m.setText(f(Field::Point1Lond), p.longitude.degrees.text);
    m.setText(f(Field::Point1Latm), p.latitude.minutes.text);
    m.setText(f(Field::Point1Lonm), p.longitude.minutes.text);
    m.setText(f(Field::Point1Latmm), p.latitude.fraction.text);
    m.setText(f(Field::Point1Lonmm), p.longitude.fraction.text);
}

void applyEncryption(FieldModel& m, const WifiNetwork& network) {
    switch (network.encryption) {
        case Encryption::Wep64:
            m.setChecked(Field::WEP, true);
            m.setChecked(Field::bit64, true);
            m.setText(Field::WiFiKey, network.key);
            break;
        case Encryption::Wep128:
            m.setChecked(Field::RadioButton7, true);
            m.setChecked(Field::WEP, true);
            m.setText(Field::WiFiKey, network.key);
            break;
        case Encryption::None:
            m.setChecked(Field::NoEncr, true);
            break;
    }
}

void applySetting(FieldModel& m, const TrackerConfiguration& c, Setting setting) {
    switch (setting) {
        case Setting::RecordingPeriod:
            m.setText(Field::Edit1, c.recording.period.text);
            break;
        case Setting::SendingPeriod:
            m.setText(Field::Edit2, c.recording.sendingPeriod.text);
            break;
        case Setting::AnalogPeriod:
            m.setText(Field::AnalogTime, c.analog.pollPeriod.text);
            break;
        case Setting::CounterPeriods:
            m.setText(Field::CounterTime, c.recording.counterPeriod12.text);
            m.setText(Field::CounterTime34, c.recording.counterPeriod34.text);
            break;
        case Setting::Password:
            m.setText(Field::edPassword, c.server.password);
            break;
        case Setting::RecordingMethod:
            m.setItemIndex(Field::WriteMethod,
                           c.recording.method == RecordingMethod::ByTime ? 0 : 1);
            m.WriteMethodChange();
            break;
        case Setting::StaticProcessing:
            m.setChecked(Field::StaticBox, c.recording.staticProcessing);
            break;
        case Setting::WideRecording:
            m.setChecked(Field::WideWrite, c.recording.wideRecording);
            break;
        case Setting::Input1:
        case Setting::Input2:
        case Setting::Input3:
        case Setting::Input4:
            applyInput(m, c, static_cast<int>(setting) - static_cast<int>(Setting::Input1) + 1);
            break;
        case Setting::Point1:
        case Setting::Point2:
        case Setting::Point3: {
            const int n = static_cast<int>(setting) - static_cast<int>(Setting::Point1) + 1;
            applyPoint(m, c.points[at(n)], n);
            break;
        }
        case Setting::Addressing:
            m.setChecked(c.network.dhcp ? Field::AutoIP : Field::RadioButton6, true);
            break;
        case Setting::Authentication:
            m.setItemIndex(Field::Sert, c.network.sharedKeyAuthentication ? 1 : 0);
            break;
        case Setting::ServerAddress:
            m.setText(Field::ip, c.server.address);
            break;
        case Setting::ServerPort:
            m.setText(Field::port, c.server.port);
            break;
        case Setting::DeviceAddress:
            m.setText(Field::DevIP, c.network.deviceAddress);
            break;
        case Setting::Netmask:
            m.setText(Field::Netmask, c.network.netmask);
            break;
        case Setting::Gateway:
            m.setText(Field::DefGW, c.network.gateway);
            break;
        case Setting::Encryption:
            applyEncryption(m, c.network);
            break;
        case Setting::AccessPoint:
            m.setText(Field::WiFiName, c.network.accessPoint);
            break;
        case Setting::Mac:
        case Setting::SerialNumber:
            break;  // given by detection, never read
    }
}

}  // namespace

TrackerConfiguration ConfigurationFromForm(const FieldModel& m) {
    TrackerConfiguration c;
    c.identity = {m.text(Field::SerNum), m.DeviceMac, m.FirmwareVersion};

    WifiNetwork& network = c.network;
    network.accessPoint = m.text(Field::WiFiName);
    network.encryption = m.checked(Field::NoEncr)  ? Encryption::None
                         : m.checked(Field::bit64) ? Encryption::Wep64
                                                   : Encryption::Wep128;
    network.key = m.text(Field::WiFiKey);
    network.sharedKeyAuthentication = m.itemIndex(Field::Sert) == 1;
    network.dhcp = !m.checked(Field::RadioButton6);
    network.deviceAddress = m.text(Field::DevIP);
    network.netmask = m.text(Field::Netmask);
    network.gateway = m.text(Field::DefGW);

    c.server = {m.text(Field::ip), m.text(Field::port), m.text(Field::edPassword)};

    Recording& r = c.recording;
    r.method = m.itemIndex(Field::WriteMethod) == 0 ? RecordingMethod::ByTime
                                                    : RecordingMethod::ByDistance;
    r.period = {m.text(Field::Edit1)};
    r.sendingPeriod = {m.text(Field::Edit2)};
    r.wideRecording = m.checked(Field::WideWrite);
    r.staticProcessing = m.checked(Field::StaticBox);
    r.counterPeriod12 = {m.text(Field::CounterTime)};
    r.counterPeriod34 = {m.text(Field::CounterTime34)};

    for (int n = 1; n <= 4; ++n) {
        c.inputs[at(n)] = {kindFrom(m, n), m.itemIndex(numbered(Field::InputBox1, n)) == 1,
                           m.checked(numbered(Field::GPRS1, n))};
    }
    c.analog.pollPeriod = {m.text(Field::AnalogTime)};
    c.analog.atMostOncePerPoll = m.itemIndex(Field::AnalogMethod) == 0;
    for (int n = 1; n <= 2; ++n) {
        c.analog.inputs[at(n)] = {{m.text(numbered(Field::Ain1, n))},
                                  {m.text(numbered(Field::Usr1, n))},
                                  m.checked(numbered(Field::AnalogWrite1, n))};
    }
    for (int n = 1; n <= 3; ++n) {
        c.points[at(n)] = pointFrom(m, n);
    }
    return c;
}

Field FieldOf(NumberField field) {
    switch (field) {
        case NumberField::RecordingPeriod:
            return Field::Edit1;
        case NumberField::SendingPeriod:
            return Field::Edit2;
        case NumberField::AnalogPollPeriod:
            return Field::AnalogTime;
        case NumberField::CounterPeriod12:
            return Field::CounterTime;
        case NumberField::CounterPeriod34:
            return Field::CounterTime34;
        case NumberField::Threshold1:
        case NumberField::Threshold2:
            return field == NumberField::Threshold1 ? Field::Ain1 : Field::Ain2;
        case NumberField::Averaging1:
        case NumberField::Averaging2:
            return field == NumberField::Averaging1 ? Field::Usr1 : Field::Usr2;
        default:
            break;
    }
    static constexpr Field kParts[] = {Field::Point1Latd, Field::Point1Latm,    Field::Point1Latmm,
                                       Field::Point1Lond, Field::Point1Lonm,    Field::Point1Lonmm,
                                       Field::Point1Rad,  Field::edPoint1OnTime};
    const int offset = static_cast<int>(field) - static_cast<int>(NumberField::LatitudeDegrees1);
    return ofPoint(kParts[offset % kNumbersPerPoint], offset / kNumbersPerPoint + 1);
}

void ApplyReadValues(FieldModel& m, const ReadOutcome& read) {
    if (read.firmware) {
        m.setText(Field::Panel16, read.firmware->caption());
        m.FirmwareVersion = read.firmware->combined();
        for (Field f : {Field::AnalogTime, Field::CounterTime, Field::CheckBox1, Field::CheckBox2,
                        Field::TempBox1, Field::TempBox2}) {
            m.setEnabled(f, true);
        }
    }
    bool padded = false;
    for (Setting setting : read.read) {
        const bool network = static_cast<int>(setting) < static_cast<int>(Setting::Input1);
        if (!padded && network) {
            padFractions(m);
            padded = true;
        }
        applySetting(m, read.values, setting);
    }
    if (!read.missed.empty()) {
        // What the tracker did not give takes the values of a first run, as the status line
        // says, rather than keep those of the tracker read before.
        FieldModel firstRun;
        LoadSettings(firstRun, {});
        const TrackerConfiguration defaults = ConfigurationFromForm(firstRun);
        for (Setting setting : read.missed) {
            applySetting(m, defaults, setting);
        }
    }
    if (!padded && read.reachedNetwork) {
        padFractions(m);
    }
    if (read.succeeded() && read.reachedNetwork) {
        // An input that the device left without a counter type is an ordinary one.
        for (int n = 1; n <= 2; ++n) {
            if (!m.checked(numbered(Field::CheckBox1, n)) &&
                !m.checked(numbered(Field::TempBox1, n))) {
                m.setChecked(numbered(Field::RadioButton1, n), true);
            }
        }
    }
}

void LoadStartingFields(FieldModel& model, const std::filesystem::path& settingsPath) {
    model.DeviceMac = {0x00, 0x50, 0x25, 0x00, 0x00, 0x00};
    LoadSettings(model, settingsPath);
}

void AlignStartingFields(FieldModel& model) {
    model.NoEncrClick();
    model.bit64Click();
    model.AutoIPClick();
    model.ShowMac(0);
}

}  // namespace korvan
