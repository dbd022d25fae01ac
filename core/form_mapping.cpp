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
    p.latitude = coordinateFrom(m, f(Field::Point1LatitudeDegrees), f(Field::Point1LatitudeMinutes),
                                f(Field::Point1LatitudeFraction),
                                f(Field::Point1LatitudeHemisphere), "N", "S");
    p.longitude = coordinateFrom(
        m, f(Field::Point1LongitudeDegrees), f(Field::Point1LongitudeMinutes),
        f(Field::Point1LongitudeFraction), f(Field::Point1LongitudeHemisphere), "E", "W");
    p.radius = {m.text(f(Field::Point1Radius))};
    p.onTimeMinutes = {m.text(f(Field::Point1OnTime))};
    p.outputOnEntry = m.checked(f(Field::Point1OutputOnEntry));
    p.outputOnExit = m.checked(f(Field::Point1OutputOnExit));
    p.sendOnEntry = m.checked(f(Field::Point1SendOnEntry));
    p.sendOnExit = m.checked(f(Field::Point1SendOnExit));
    return p;
}

InputKind kindFrom(const FieldModel& m, int n) {
    if (m.checked(numbered(Field::InputAccumulating1, n))) {
        return InputKind::AccumulatingCounter;
    }
    if (m.checked(numbered(Field::InputPeriodic1, n))) {
        return InputKind::PeriodicCounter;
    }
    return InputKind::Ordinary;
}

// The fractions of a minute are shown with five digits, whatever the points held.
void padFractions(FieldModel& m) {
    for (int n = 1; n <= 3; ++n) {
        for (Field f : {ofPoint(Field::Point1LatitudeFraction, n),
                        ofPoint(Field::Point1LongitudeFraction, n)}) {
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
        m.setText(numbered(Field::AnalogThreshold1, n), analog.changeThreshold.text);
        m.setText(numbered(Field::AnalogAveraging1, n), analog.averagingPeriod.text);
    }
    m.setChecked(numbered(Field::InputSendsAtOnce1, n), in.sendOverWifi);
    m.setItemIndex(numbered(Field::InputTrigger1, n), in.triggerWhenOpen ? 1 : 0);
    if (n <= 2) {
        m.setChecked(numbered(Field::AnalogAsDigital1, n), c.analog.inputs[at(n)].recordAsDigital);
    }
    if (n == 1) {
        m.setItemIndex(Field::AnalogRecordingMethod, c.analog.atMostOncePerPoll ? 0 : 1);
    }
    m.setChecked(in.kind == InputKind::AccumulatingCounter ? numbered(Field::InputAccumulating1, n)
                                                           : numbered(Field::InputOrdinary1, n),
                 true);
    if (in.kind == InputKind::PeriodicCounter) {
        m.setChecked(numbered(Field::InputPeriodic1, n), true);
    }
}

void applyPoint(FieldModel& m, const ControlPoint& p, int n) {
    const auto f = [n](Field ofPoint1) { return ofPoint(ofPoint1, n); };
    m.setChecked(f(Field::Point1OutputOnEntry), p.outputOnEntry);
    m.setChecked(f(Field::Point1OutputOnExit), p.outputOnExit);
    m.setChecked(f(Field::Point1SendOnEntry), p.sendOnEntry);
    m.setChecked(f(Field::Point1SendOnExit), p.sendOnExit);
    m.setText(f(Field::Point1OnTime), p.onTimeMinutes.text);
    m.setText(f(Field::Point1LongitudeHemisphere), p.longitude.southOrWest ? "W" : "E");
    m.setText(f(Field::Point1LatitudeHemisphere), p.latitude.southOrWest ? "S" : "N");
    m.setText(f(Field::Point1Radius), p.radius.text);
    m.setText(f(Field::Point1LatitudeDegrees), p.latitude.degrees.text);
    m.setText(f(Field::Point1LongitudeDegrees), p.longitude.degrees.text);
    m.setText(f(Field::Point1LatitudeMinutes), p.latitude.minutes.text);
    m.setText(f(Field::Point1LongitudeMinutes), p.longitude.minutes.text);
    m.setText(f(Field::Point1LatitudeFraction), p.latitude.fraction.text);
    m.setText(f(Field::Point1LongitudeFraction), p.longitude.fraction.text);
}

void applyEncryption(FieldModel& m, const WifiNetwork& network) {
    switch (network.encryption) {
        case Encryption::Wep64:
            m.setChecked(Field::WepEncryption, true);
            m.setChecked(Field::Key64Bit, true);
            m.setText(Field::NetworkKey, network.key);
            break;
        case Encryption::Wep128:
            m.setChecked(Field::Key128Bit, true);
            m.setChecked(Field::WepEncryption, true);
            m.setText(Field::NetworkKey, network.key);
            break;
        case Encryption::None:
            m.setChecked(Field::NoEncryption, true);
            break;
    }
}

void applySetting(FieldModel& m, const TrackerConfiguration& c, Setting setting) {
    switch (setting) {
        case Setting::RecordingPeriod:
            m.setText(Field::RecordingPeriod, c.recording.period.text);
            break;
        case Setting::SendingPeriod:
            m.setText(Field::SendingPeriod, c.recording.sendingPeriod.text);
            break;
        case Setting::AnalogPeriod:
            m.setText(Field::AnalogPollPeriod, c.analog.pollPeriod.text);
            break;
        case Setting::CounterPeriods:
            m.setText(Field::CounterPeriod12, c.recording.counterPeriod12.text);
            m.setText(Field::CounterPeriod34, c.recording.counterPeriod34.text);
            break;
        case Setting::Password:
            m.setText(Field::ServerPassword, c.server.password);
            break;
        case Setting::RecordingMethod:
            m.setItemIndex(Field::RecordingMethod,
                           c.recording.method == RecordingMethod::ByTime ? 0 : 1);
            m.recordingMethodChanged();
            break;
        case Setting::StaticProcessing:
            m.setChecked(Field::StaticProcessing, c.recording.staticProcessing);
            break;
        case Setting::WideRecording:
            m.setChecked(Field::WideRecording, c.recording.wideRecording);
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
            m.setChecked(c.network.dhcp ? Field::AutomaticAddress : Field::FixedAddress, true);
            break;
        case Setting::Authentication:
            m.setItemIndex(Field::Authentication, c.network.sharedKeyAuthentication ? 1 : 0);
            break;
        case Setting::ServerAddress:
            m.setText(Field::ServerAddress, c.server.address);
            break;
        case Setting::ServerPort:
            m.setText(Field::ServerPort, c.server.port);
            break;
        case Setting::DeviceAddress:
            m.setText(Field::DeviceAddress, c.network.deviceAddress);
            break;
        case Setting::Netmask:
            m.setText(Field::Netmask, c.network.netmask);
            break;
        case Setting::Gateway:
            m.setText(Field::Gateway, c.network.gateway);
            break;
        case Setting::Encryption:
            applyEncryption(m, c.network);
            break;
        case Setting::AccessPoint:
            m.setText(Field::AccessPoint, c.network.accessPoint);
            break;
        case Setting::Mac:
        case Setting::SerialNumber:
            break;  // given by detection, never read
    }
}

}  // namespace

TrackerConfiguration configurationFromForm(const FieldModel& m) {
    TrackerConfiguration c;
    c.identity = {m.text(Field::SerialNumber), m.deviceMac, m.firmwareVersion};

    WifiNetwork& network = c.network;
    network.accessPoint = m.text(Field::AccessPoint);
    network.encryption = m.checked(Field::NoEncryption) ? Encryption::None
                         : m.checked(Field::Key64Bit)   ? Encryption::Wep64
                                                        : Encryption::Wep128;
    network.key = m.text(Field::NetworkKey);
    network.sharedKeyAuthentication = m.itemIndex(Field::Authentication) == 1;
    network.dhcp = !m.checked(Field::FixedAddress);
    network.deviceAddress = m.text(Field::DeviceAddress);
    network.netmask = m.text(Field::Netmask);
    network.gateway = m.text(Field::Gateway);

    c.server = {m.text(Field::ServerAddress), m.text(Field::ServerPort),
                m.text(Field::ServerPassword)};

    Recording& r = c.recording;
    r.method = m.itemIndex(Field::RecordingMethod) == 0 ? RecordingMethod::ByTime
                                                        : RecordingMethod::ByDistance;
    r.period = {m.text(Field::RecordingPeriod)};
    r.sendingPeriod = {m.text(Field::SendingPeriod)};
    r.wideRecording = m.checked(Field::WideRecording);
    r.staticProcessing = m.checked(Field::StaticProcessing);
    r.counterPeriod12 = {m.text(Field::CounterPeriod12)};
    r.counterPeriod34 = {m.text(Field::CounterPeriod34)};

    for (int n = 1; n <= 4; ++n) {
        c.inputs[at(n)] = {kindFrom(m, n), m.itemIndex(numbered(Field::InputTrigger1, n)) == 1,
                           m.checked(numbered(Field::InputSendsAtOnce1, n))};
    }
    c.analog.pollPeriod = {m.text(Field::AnalogPollPeriod)};
    c.analog.atMostOncePerPoll = m.itemIndex(Field::AnalogRecordingMethod) == 0;
    for (int n = 1; n <= 2; ++n) {
        c.analog.inputs[at(n)] = {{m.text(numbered(Field::AnalogThreshold1, n))},
                                  {m.text(numbered(Field::AnalogAveraging1, n))},
                                  m.checked(numbered(Field::AnalogAsDigital1, n))};
    }
    for (int n = 1; n <= 3; ++n) {
        c.points[at(n)] = pointFrom(m, n);
    }
    return c;
}

Field fieldOf(NumberField field) {
    switch (field) {
        case NumberField::RecordingPeriod:
            return Field::RecordingPeriod;
        case NumberField::SendingPeriod:
            return Field::SendingPeriod;
        case NumberField::AnalogPollPeriod:
            return Field::AnalogPollPeriod;
        case NumberField::CounterPeriod12:
            return Field::CounterPeriod12;
        case NumberField::CounterPeriod34:
            return Field::CounterPeriod34;
        case NumberField::Threshold1:
        case NumberField::Threshold2:
            return field == NumberField::Threshold1 ? Field::AnalogThreshold1
                                                    : Field::AnalogThreshold2;
        case NumberField::Averaging1:
        case NumberField::Averaging2:
            return field == NumberField::Averaging1 ? Field::AnalogAveraging1
                                                    : Field::AnalogAveraging2;
        default:
            break;
    }
    static constexpr Field kParts[] = {
        Field::Point1LatitudeDegrees,  Field::Point1LatitudeMinutes,
        Field::Point1LatitudeFraction, Field::Point1LongitudeDegrees,
        Field::Point1LongitudeMinutes, Field::Point1LongitudeFraction,
        Field::Point1Radius,           Field::Point1OnTime};
    const int offset = static_cast<int>(field) - static_cast<int>(NumberField::LatitudeDegrees1);
    return ofPoint(kParts[offset % kNumbersPerPoint], offset / kNumbersPerPoint + 1);
}

void applyReadValues(FieldModel& m, const ReadOutcome& read) {
    if (read.firmware) {
        m.setText(Field::FirmwareVersion, read.firmware->caption());
        m.firmwareVersion = read.firmware->combined();
        for (Field f : {Field::AnalogPollPeriod, Field::CounterPeriod12, Field::InputAccumulating1,
                        Field::InputAccumulating2, Field::InputPeriodic1, Field::InputPeriodic2}) {
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
        loadSettings(firstRun, {});
        const TrackerConfiguration defaults = configurationFromForm(firstRun);
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
            if (!m.checked(numbered(Field::InputAccumulating1, n)) &&
                !m.checked(numbered(Field::InputPeriodic1, n))) {
                m.setChecked(numbered(Field::InputOrdinary1, n), true);
            }
        }
    }
}

void loadStartingFields(FieldModel& model, const std::filesystem::path& settingsPath) {
    model.deviceMac = kTrackerMacBase;
    loadSettings(model, settingsPath);
}

void alignStartingFields(FieldModel& model) {
    model.encryptionChosen();
    model.keySizeChosen();
    model.addressingChosen();
    model.showMac(0);
}

}  // namespace korvan
