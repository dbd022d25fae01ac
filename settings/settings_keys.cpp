#include "settings/settings_keys.h"

#include <algorithm>
#include <array>

#include "base/cp1251.h"
#include "settings/profile_file.h"

namespace korvan {
namespace {

constexpr SettingsKey text(std::string_view section, std::string_view name, Field field,
                           std::string_view absent, int readStep) {
    return {section, name, Stored::Text, field, absent, 0, readStep};
}
constexpr SettingsKey number(std::string_view section, std::string_view name, Stored stored,
                             Field field, int absent, int readStep) {
    return {section, name, stored, field, {}, absent, readStep};
}
constexpr SettingsKey flag(std::string_view section, std::string_view name, Field field,
                           int readStep) {
    return number(section, name, Stored::Checked, field, 0, readStep);
}
constexpr SettingsKey apn(std::string_view name) {
    return {"APN", name, Stored::AlwaysEmpty, Field::ServerAddress, {}, 0, 0};
}

// The control point keys of point `n`, "p<n>...", in the order they are written and read.
constexpr std::array<std::string_view, 14 * 3> kPointKeyNames = {
    "p1lad", "p1lam", "p1lamm",  "p1NS",     "p1lod",    "p1lom",     "p1lomm",
    "p1EW",  "p1rad", "p1inout", "p1outout", "p1ingprs", "p1outgprs", "p1ontime",
    "p2lad", "p2lam", "p2lamm",  "p2NS",     "p2lod",    "p2lom",     "p2lomm",
    "p2EW",  "p2rad", "p2inout", "p2outout", "p2ingprs", "p2outgprs", "p2ontime",
    "p3lad", "p3lam", "p3lamm",  "p3NS",     "p3lod",    "p3lom",     "p3lomm",
    "p3EW",  "p3rad", "p3inout", "p3outout", "p3ingprs", "p3outgprs", "p3ontime",
};

constexpr std::array<SettingsKey, 14> pointKeys(int n) {
    auto p = [n](Field ofPoint1) { return ofPoint(ofPoint1, n); };
    auto name = [n](int i) { return kPointKeyNames[static_cast<std::size_t>((n - 1) * 14 + i)]; };
    const int step = 44 + (n - 1) * 14;
    return {{
        text("POINTS", name(0), p(Field::Point1LatitudeDegrees), "", step),
        text("POINTS", name(1), p(Field::Point1LatitudeMinutes), "", step + 1),
        text("POINTS", name(2), p(Field::Point1LatitudeFraction), "", step + 2),
        text("POINTS", name(3), p(Field::Point1LatitudeHemisphere), "N", step + 3),
        text("POINTS", name(4), p(Field::Point1LongitudeDegrees), "", step + 4),
        text("POINTS", name(5), p(Field::Point1LongitudeMinutes), "", step + 5),
        text("POINTS", name(6), p(Field::Point1LongitudeFraction), "", step + 6),
        text("POINTS", name(7), p(Field::Point1LongitudeHemisphere), "E", step + 7),
        text("POINTS", name(8), p(Field::Point1Radius), "50", step + 8),
        flag("POINTS", name(9), p(Field::Point1OutputOnEntry), step + 9),
        flag("POINTS", name(10), p(Field::Point1OutputOnExit), step + 10),
        flag("POINTS", name(11), p(Field::Point1SendOnEntry), step + 11),
        flag("POINTS", name(12), p(Field::Point1SendOnExit), step + 12),
        text("POINTS", name(13), p(Field::Point1OnTime), "1", step + 13),
    }};
}

constexpr auto kFirstKeys = std::to_array<SettingsKey>({
    apn("ApnDef"),
    apn("UserDef"),
    apn("PasswordDef"),
    text("SERVER", "ServPassDef", Field::ServerPassword, "", 1),
    text("SERVER", "IP", Field::ServerAddress, kDataServerAddress, 2),
    text("SERVER", "Port", Field::ServerPort, kDataServerPort, 3),
    text("DEVICE", "PeriodSendDef", Field::SendingPeriod, "120", 4),
    text("DEVICE", "PeriodDef", Field::RecordingPeriod, "5", 5),
    number("DEVICE", "WriteMethod", Stored::ItemIndex, Field::RecordingMethod, 1, 86),
    {kDatabasePathSection, "LastBegeDB", Stored::DatabasePath, Field::ServerAddress, "", 0, 87},
    {kDatabasePathSection, kDatabasePathExactKey, Stored::DatabasePathExact, Field::ServerAddress,
     "", 0, 0},
    flag("DEVICE", "WideWrite", Field::WideRecording, 6),
    flag("DEVICE", "StaticWrite", Field::StaticProcessing, 7),
    number("DEVICE", "COUNT1", Stored::InputType, Field::InputAccumulating1, 0, 8),
    number("DEVICE", "COUNT2", Stored::InputType, Field::InputAccumulating2, 0, 9),
    number("DEVICE", "COUNT3", Stored::InputType, Field::InputAccumulating3, 0, 10),
    number("DEVICE", "COUNT4", Stored::InputType, Field::InputAccumulating4, 0, 11),
    number("DEVICE", "TEMP1", Stored::InputType, Field::InputPeriodic1, 0, 12),
    number("DEVICE", "TEMP2", Stored::InputType, Field::InputPeriodic2, 0, 13),
    number("DEVICE", "TEMP3", Stored::InputType, Field::InputPeriodic3, 0, 14),
    number("DEVICE", "TEMP4", Stored::InputType, Field::InputPeriodic4, 0, 15),
    flag("DEVICE", "GPRS1", Field::InputSendsAtOnce1, 25),
    flag("DEVICE", "GPRS2", Field::InputSendsAtOnce2, 26),
    flag("DEVICE", "GPRS3", Field::InputSendsAtOnce3, 27),
    flag("DEVICE", "GPRS4", Field::InputSendsAtOnce4, 28),
    number("DEVICE", "InputBox1", Stored::ItemIndex, Field::InputTrigger1, 0, 29),
    number("DEVICE", "InputBox2", Stored::ItemIndex, Field::InputTrigger2, 0, 30),
    number("DEVICE", "InputBox3", Stored::ItemIndex, Field::InputTrigger3, 0, 31),
    number("DEVICE", "InputBox4", Stored::ItemIndex, Field::InputTrigger4, 0, 32),
    text("DEVICE", "AnalogTime", Field::AnalogPollPeriod, "3600", 33),
    text("DEVICE", "CounterTime", Field::CounterPeriod12, "3600", 34),
    text("DEVICE", "CounterTime34", Field::CounterPeriod34, "0", 35),
    text("DEVICE", "Ain1", Field::AnalogThreshold1, "1023", 39),
    text("DEVICE", "Ain2", Field::AnalogThreshold2, "1023", 40),
    text("DEVICE", "Usr1", Field::AnalogAveraging1, "16", 41),
    text("DEVICE", "Usr2", Field::AnalogAveraging2, "16", 42),
    flag("DEVICE", "AnalogWrite1", Field::AnalogAsDigital1, 36),
    flag("DEVICE", "AnalogWrite2", Field::AnalogAsDigital2, 37),
    number("DEVICE", "AnalogMethod", Stored::ItemIndex, Field::AnalogRecordingMethod, 1, 38),
    flag("MISC", "UnRead", Field::ReadIdentityOnly, 43),
    // Every write read back and compared: off unless asked for, so that a write sends what
    // it always has.
    flag("MISC", "VerifyWrite", Field::VerifyAfterWrite, 88),
    number("NET", "AutoIP", Stored::PairFirst, Field::AutomaticAddress, 1, 16),
    number("NET", "NoCrypt", Stored::PairFirst, Field::NoEncryption, 1, 17),
    number("NET", "64bit", Stored::PairFirst, Field::Key64Bit, 1, 18),
    number("NET", "Sert", Stored::ItemIndex, Field::Authentication, 0, 19),
    text("NET", "DevIP", Field::DeviceAddress, "192.168.0.2", 20),
    text("NET", "Netmask", Field::Netmask, "255.255.255.0", 21),
    text("NET", "DefGW", Field::Gateway, "192.168.0.1", 22),
    text("NET", "WiFiKey", Field::NetworkKey, "", 23),
    text("NET", "WiFiName", Field::AccessPoint, "", 24),
});

// Every key, in the order it is written.
constexpr auto kKeys = [] {
    std::array<SettingsKey, kFirstKeys.size() + 3 * 14> keys{};
    std::size_t at = 0;
    for (const auto& key : kFirstKeys) {
        keys[at++] = key;
    }
    for (int n = 1; n <= 3; ++n) {
        for (const auto& key : pointKeys(n)) {
            keys[at++] = key;
        }
    }
    return keys;
}();

constexpr auto kReadOrder = [] {
    std::array<const SettingsKey*, kKeys.size()> order{};
    std::transform(kKeys.begin(), kKeys.end(), order.begin(),
                   [](const SettingsKey& k) { return &k; });
    // Only the keys never read share a step; they keep the order they are written in.
    std::sort(order.begin(), order.end(), [](const SettingsKey* a, const SettingsKey* b) {
        return a->readStep != b->readStep ? a->readStep < b->readStep : a < b;
    });
    return order;
}();
// The keys never read (readStep 0) sort first; the read starts after them.
constexpr auto kFirstRead = static_cast<std::size_t>(std::count_if(
    kKeys.begin(), kKeys.end(), [](const SettingsKey& k) { return k.readStep == 0; }));

// The other button of a pair whose first button is `first`.
Field secondOfPair(Field first) {
    for (Field member : groupMembers(fieldInfo(first).group)) {
        if (member != first) {
            return member;
        }
    }
    return first;
}

int numberOf(const std::optional<std::string>& value, const SettingsKey& key) {
    const auto parsed = value ? parseProfileInteger(*value) : std::nullopt;
    return parsed.value_or(key.absentNumber);
}

}  // namespace

std::span<const SettingsKey> settingsKeys() {
    return kKeys;
}

std::span<const SettingsKey* const> settingsKeysInReadOrder() {
    return std::span(kReadOrder).subspan(kFirstRead);
}

bool isTrackerSetting(const SettingsKey& key) {
    switch (key.stored) {
        case Stored::AlwaysEmpty:
        case Stored::DatabasePath:
        case Stored::DatabasePathExact:
            return false;
        default:
            return key.field != Field::ReadIdentityOnly && key.field != Field::VerifyAfterWrite;
    }
}

void applyStoredValue(FieldModel& model, const SettingsKey& key,
                      const std::optional<std::string>& value) {
    switch (key.stored) {
        case Stored::AlwaysEmpty:
        case Stored::DatabasePath:
        case Stored::DatabasePathExact:
            return;
        case Stored::Text:
            model.setText(key.field, value.value_or(std::string(key.absentText)));
            return;
        case Stored::ItemIndex: {
            int index = numberOf(value, key);
            const int items = static_cast<int>(fieldInfo(key.field).items.size());
            // An index the box has no item for would select nothing by accident; -1 is a
            // deliberate "nothing selected" and stays.
            if (index < -1 || index >= items) {
                index = key.absentNumber;
            }
            model.setItemIndex(key.field, index);
            if (key.field == Field::RecordingMethod) {
                model.recordingMethodChanged();
            }
            return;
        }
        case Stored::Checked:
            model.setChecked(key.field, numberOf(value, key) != 0);
            return;
        case Stored::PairFirst:
            model.setChecked(numberOf(value, key) != 0 ? key.field : secondOfPair(key.field), true);
            return;
        case Stored::InputType:
            if (numberOf(value, key) != 0) {
                model.setChecked(key.field, true);
            } else if (model.checked(key.field)) {
                // The stored type is not this one; an ordinary input is what remains.
                model.setChecked(groupMembers(fieldInfo(key.field).group).front(), true);
            }
            return;
    }
}

std::string storedValueOf(const FieldModel& model, const SettingsKey& key) {
    switch (key.stored) {
        case Stored::AlwaysEmpty:
            return {};
        case Stored::Text:
            return model.text(key.field);
        case Stored::ItemIndex:
            return std::to_string(model.itemIndex(key.field));
        case Stored::Checked:
        case Stored::PairFirst:
        case Stored::InputType:
            return model.checked(key.field) ? "1" : "0";
        case Stored::DatabasePath:
            return cp1251::fromUtf8(model.databasePath);
        case Stored::DatabasePathExact:
            return model.databasePath;
    }
    return {};
}

}  // namespace korvan
