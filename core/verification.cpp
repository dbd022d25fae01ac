#include "core/verification.h"

#include <algorithm>

#include "base/cp1251.h"
#include "core/field_titles.h"
#include "core/form_mapping.h"
#include "settings/key_filters.h"
#include "settings/settings_file.h"
#include "settings/settings_keys.h"

namespace korvan {
namespace {

bool uses(const FieldModel& m, Field wep) {
    return !m.checked(wep);
}

bool sends(const FieldModel& m, int point) {
    return m.checked(ofPoint(Field::Point1SendOnEntry, point)) ||
           m.checked(ofPoint(Field::Point1SendOnExit, point));
}

void inputFields(std::vector<Field>& fields, int n) {
    for (Field first : {Field::InputSendsAtOnce1, Field::InputTrigger1, Field::InputAccumulating1,
                        Field::InputPeriodic1}) {
        fields.push_back(numbered(first, n));
    }
    if (n <= 2) {
        for (Field first :
             {Field::AnalogAsDigital1, Field::AnalogThreshold1, Field::AnalogAveraging1}) {
            fields.push_back(numbered(first, n));
        }
    }
    if (n == 1) {
        fields.push_back(Field::AnalogRecordingMethod);
    }
}

void pointFields(std::vector<Field>& fields, int n, const FieldModel& a, const FieldModel& b) {
    for (Field f = ofPoint(Field::Point1LatitudeHemisphere, n);
         f != ofPoint(Field::Point1OnTime, n); f = numbered(f, 2)) {
        fields.push_back(f);
    }
    // Without sending, the tracker is told an on-time of one minute whatever the field says.
    if (sends(a, n) || sends(b, n)) {
        fields.push_back(ofPoint(Field::Point1OnTime, n));
    }
}

// The fields a setting fills when it is read, of those both forms use.
std::vector<Field> fieldsOf(Setting setting, const FieldModel& a, const FieldModel& b) {
    std::vector<Field> fields;
    const int index = static_cast<int>(setting);
    // No default: a new setting must say here what it fills, or it is never verified.
    switch (setting) {
        case Setting::Input1:
        case Setting::Input2:
        case Setting::Input3:
        case Setting::Input4:
            inputFields(fields, index - static_cast<int>(Setting::Input1) + 1);
            return fields;
        case Setting::Point1:
        case Setting::Point2:
        case Setting::Point3:
            pointFields(fields, index - static_cast<int>(Setting::Point1) + 1, a, b);
            return fields;
        case Setting::RecordingPeriod:
            return {Field::RecordingPeriod};
        case Setting::SendingPeriod:
            return {Field::SendingPeriod};
        case Setting::AnalogPeriod:
            return {Field::AnalogPollPeriod};
        case Setting::CounterPeriods:
            return {Field::CounterPeriod12, Field::CounterPeriod34};
        case Setting::Password:
            return {Field::ServerPassword};
        case Setting::RecordingMethod:
            return {Field::RecordingMethod};
        case Setting::StaticProcessing:
            return {Field::StaticProcessing};
        case Setting::WideRecording:
            return {Field::WideRecording};
        case Setting::Addressing:
            return {Field::AutomaticAddress};
        case Setting::Authentication:
            return {Field::Authentication};
        case Setting::ServerAddress:
            return {Field::ServerAddress};
        case Setting::ServerPort:
            return {Field::ServerPort};
        case Setting::DeviceAddress:
            return {Field::DeviceAddress};
        case Setting::Netmask:
            return {Field::Netmask};
        case Setting::Gateway:
            return {Field::Gateway};
        case Setting::Encryption:
            if (uses(a, Field::NoEncryption) || uses(b, Field::NoEncryption)) {
                return {Field::NoEncryption, Field::Key64Bit, Field::NetworkKey};
            }
            return {Field::NoEncryption};
        case Setting::AccessPoint:
            return {Field::AccessPoint};
        case Setting::Mac:
        case Setting::SerialNumber:
            return {};  // the device's identity, which the write sets and nobody chooses
    }
    return {};
}

// Numbers as the tracker keeps them: "05" and "5" are the same period.
bool same(const SettingsKey& key, const std::string& a, const std::string& b) {
    const KeyFilter filter = keyFilterOf(key.field);
    if (filter == KeyFilter::Digits || filter == KeyFilter::CoordinateDigits) {
        const auto x = Number{a}.value();
        const auto y = Number{b}.value();
        if (x && y) {
            return *x == *y;
        }
    }
    return a == b;
}

bool contains(const std::vector<Setting>& settings, Setting setting) {
    return std::find(settings.begin(), settings.end(), setting) != settings.end();
}

std::string joined(const std::vector<std::string>& parts, std::string_view separator) {
    std::string all;
    for (const auto& part : parts) {
        all += (all.empty() ? "" : std::string(separator)) + part;
    }
    return all;
}

}  // namespace

std::vector<Difference> compareForms(const FieldModel& meant, const FieldModel& held,
                                     const std::vector<Setting>& settings) {
    std::vector<Difference> differences;
    for (Setting setting : settings) {
        for (Field field : fieldsOf(setting, meant, held)) {
            for (const SettingsKey& key : settingsKeys()) {
                if (key.field != field || !isTrackerSetting(key) ||
                    same(key, storedValueOf(meant, key), storedValueOf(held, key))) {
                    continue;
                }
                differences.push_back({field, fieldTitle(field),
                                       std::string(key.section) + '/' + std::string(key.name),
                                       shownValue(held, key), shownValue(meant, key)});
            }
        }
    }
    return differences;
}

std::vector<Setting> verifiableSettings(const TrackerConfiguration& written) {
    return settingsInUse(written, written);
}

std::vector<Setting> settingsInUse(const TrackerConfiguration& a, const TrackerConfiguration& b) {
    std::vector<Setting> settings;
    for (Setting setting : kReadOrder) {
        const int point = static_cast<int>(setting) - static_cast<int>(Setting::Point1);
        if (point >= 0 && point < 3) {
            const auto at = static_cast<std::size_t>(point);
            if (!a.points[at].placed() && !b.points[at].placed()) {
                continue;  // not sent: the tracker keeps whatever point it had
            }
        } else if (commandsFor(setting).fixedAddressOnly && a.network.dhcp && b.network.dhcp) {
            continue;  // neither sent nor asked with DHCP on
        }
        settings.push_back(setting);
    }
    return settings;
}

void fillForm(FieldModel& model, const TrackerConfiguration& configuration,
              const std::vector<Setting>& settings) {
    loadSettings(model, {});
    ReadOutcome filled;
    filled.values = configuration;
    filled.read = settings;
    filled.reachedNetwork = true;
    applyReadValues(model, filled);
}

Verification verifyWritten(Link& link, const TrackerConfiguration& written, Progress& progress) {
    Verification verification;
    verification.read = readConfiguration(link, ReadRequest{true}, progress);
    if (!verification.read.succeeded()) {
        return verification;
    }
    std::vector<Setting> compared;
    for (Setting setting : verifiableSettings(written)) {
        (contains(verification.read.read, setting) ? compared : verification.unread)
            .push_back(setting);
    }
    verification.differences = compareConfigurations(written, verification.read.values, compared);
    return verification;
}

std::vector<Difference> compareConfigurations(const TrackerConfiguration& meant,
                                              const TrackerConfiguration& held,
                                              const std::vector<Setting>& settings) {
    FieldModel meantForm;
    fillForm(meantForm, meant, settings);
    FieldModel heldForm;
    fillForm(heldForm, held, settings);
    return compareForms(meantForm, heldForm, settings);
}

std::string describeDifference(const Difference& d) {
    return d.title + ": записано «" + d.meant + "», в трекере «" + d.held + "»";
}

void applyVerification(WriteOutcome& written, const Verification& verification) {
    const ReadOutcome& read = verification.read;
    written.steps.insert(written.steps.end(), read.steps.begin(), read.steps.end());
    // The write's own success is said again only as verified, or not at all.
    std::erase_if(written.messages,
                  [](const Message& m) { return m.severity == Severity::Success; });
    if (verification.verified()) {
        written.tell(Severity::Success, "Данные записаны и проверены");
        return;
    }
    written.ending = read.ending == Ending::Cancelled || read.ending == Ending::DeviceGone
                         ? read.ending
                         : Ending::Failed;
    if (!read.succeeded()) {
        const std::string why = read.messages.empty()
                                    ? std::string()
                                    : ": " + cp1251::toUtf8(read.messages.back().text);
        written.tell(Severity::Fatal, "Записанное не проверено, трекер не перечитан" + why);
        return;
    }
    std::vector<std::string> parts;
    for (const Difference& d : verification.differences) {
        parts.push_back(describeDifference(d));
    }
    for (Setting setting : verification.unread) {
        parts.push_back(std::string(commandsFor(setting).title) + ": не перечитано");
    }
    written.tell(Severity::Fatal, "Трекер хранит не то, что записано: " + joined(parts, "; "),
                 Place::Notice);
}

}  // namespace korvan
