#include "settings/fields.h"

#include <array>
#include <initializer_list>

#include "base/cp1251.h"

namespace korvan {
namespace {

using Table = std::array<FieldInfo, kFieldCount>;

std::vector<std::string> itemsOf(std::initializer_list<std::string_view> utf8Items) {
    std::vector<std::string> items;
    for (auto item : utf8Items) {
        items.push_back(cp1251::fromUtf8(item));
    }
    return items;
}

class TableBuilder {
  public:
    explicit TableBuilder(Table& table) : table_(table) {}

    void edit(Field f, std::string_view initial = {}, int maxLength = 0) {
        auto& info = at(f, FieldKind::Edit);
        info.initialText = cp1251::fromUtf8(initial);
        info.maxLength = maxLength;
    }
    void combo(Field f, std::initializer_list<std::string_view> items, int initialIndex,
               int maxLength = 0) {
        auto& info = at(f, FieldKind::Combo);
        info.items = itemsOf(items);
        info.initialIndex = initialIndex;
        info.initialText = info.items.at(static_cast<std::size_t>(initialIndex));
        info.maxLength = maxLength;
    }
    void check(Field f) { at(f, FieldKind::Check); }
    void radio(Field f, RadioGroup group, bool selected = false) {
        auto& info = at(f, FieldKind::Radio);
        info.group = group;
        info.initialChecked = selected;
    }
    void label(Field f, std::string_view initial) {
        at(f, FieldKind::Label).initialText = cp1251::fromUtf8(initial);
    }
    void button(Field f) { at(f, FieldKind::Button); }
    void disable(Field f) { table_[indexOf(f)].initiallyEnabled = false; }

  private:
    FieldInfo& at(Field f, FieldKind kind) {
        auto& info = table_[indexOf(f)];
        info.kind = kind;
        return info;
    }
    Table& table_;
};

void describePoint(TableBuilder& t, int n) {
    auto p = [n](Field ofPoint1) { return ofPoint(ofPoint1, n); };
    t.combo(p(Field::Point1LatitudeHemisphere), {"N", "S"}, 0, 1);
    t.edit(p(Field::Point1LatitudeDegrees), {}, 2);
    t.edit(p(Field::Point1LatitudeMinutes), {}, 2);
    t.edit(p(Field::Point1LatitudeFraction), {}, 5);
    t.combo(p(Field::Point1LongitudeHemisphere), {"E", "W"}, 0, 1);
    t.edit(p(Field::Point1LongitudeDegrees), {}, 3);
    t.edit(p(Field::Point1LongitudeMinutes), {}, 2);
    t.edit(p(Field::Point1LongitudeFraction), {}, 5);
    t.edit(p(Field::Point1Radius));
    t.check(p(Field::Point1SendOnEntry));
    t.check(p(Field::Point1SendOnExit));
    t.check(p(Field::Point1OutputOnEntry));
    t.check(p(Field::Point1OutputOnExit));
    t.edit(p(Field::Point1OnTime));
    t.disable(p(Field::Point1OnTime));
}

Table buildTable() {
    Table table;
#define KORVAN_FIELD_NAME(field, control) table[indexOf(Field::field)].name = #control;
    KORVAN_FIELDS(KORVAN_FIELD_NAME)
#undef KORVAN_FIELD_NAME

    TableBuilder t(table);
    t.edit(Field::ServerAddress, kDataServerAddress);
    t.edit(Field::ServerPort, kDataServerPort);
    t.edit(Field::ServerPassword, {}, kPasswordLength);

    t.combo(Field::RecordingMethod, {"Запись по времени", "Адаптивная запись"}, 0);
    t.edit(Field::RecordingPeriod, {}, 3);
    t.edit(Field::SendingPeriod, {}, 5);
    t.check(Field::WideRecording);
    t.check(Field::StaticProcessing);

    t.edit(Field::AccessPoint, {}, kAccessPointLength);
    t.radio(Field::NoEncryption, RadioGroup::Encryption, true);
    t.radio(Field::WepEncryption, RadioGroup::Encryption);
    t.combo(Field::Authentication, {"Открытая", "Совместная"}, 0);
    t.radio(Field::Key64Bit, RadioGroup::KeySize, true);
    t.radio(Field::Key128Bit, RadioGroup::KeySize);
    t.edit(Field::NetworkKey, {}, kWepKeyLength64);
    t.radio(Field::AutomaticAddress, RadioGroup::Address, true);
    t.radio(Field::FixedAddress, RadioGroup::Address);
    t.edit(Field::DeviceAddress, "192.168.0.2");
    t.edit(Field::Netmask, "255.255.255.0");
    t.edit(Field::Gateway, "192.168.0.1");

    for (int n = 1; n <= 4; ++n) {
        const auto group = static_cast<RadioGroup>(static_cast<int>(RadioGroup::Input1) + n - 1);
        t.combo(numbered(Field::InputTrigger1, n), {"Замкнут (0)", "Разомкнут (1)"}, 0);
        t.check(numbered(Field::InputSendsAtOnce1, n));
        t.radio(numbered(Field::InputOrdinary1, n), group, true);
        t.radio(numbered(Field::InputAccumulating1, n), group);
        t.radio(numbered(Field::InputPeriodic1, n), group);
    }
    t.edit(Field::CounterPeriod12, "3600");
    t.edit(Field::CounterPeriod34, "0");

    t.edit(Field::AnalogPollPeriod, "3600");
    for (int n = 1; n <= 2; ++n) {
        t.check(numbered(Field::AnalogAsDigital1, n));
        t.edit(numbered(Field::AnalogThreshold1, n), "1023", 4);
        t.edit(numbered(Field::AnalogAveraging1, n), "16", 2);
    }
    t.combo(Field::AnalogRecordingMethod,
            {"Не чаще, чем период опроса", "Не реже, чем период опроса"}, 1);

    for (int n = 1; n <= 3; ++n) {
        describePoint(t, n);
    }
    t.check(Field::ReadIdentityOnly);
    t.check(Field::VerifyAfterWrite);

    t.label(Field::SerialNumber, "Номер");
    t.label(Field::FirmwareVersion, "Прошивка");
    t.label(Field::MacAddress, "00 00 00 00 00 00");
    t.label(Field::DatabaseName, "...");
    t.label(Field::NetworkKeyCaption, {});
    t.label(Field::RecordingPeriodCaption, "Период записи точек (сек):");
    t.label(Field::RecordingPeriodHint,
            "Период записи - интервал времени, с которым в память прибора будут добавляться "
            "записи о текущем местоположении");
    t.label(Field::StatusLine, {});
    t.button(Field::WriteButton);
    return table;
}

const Table& table() {
    static const Table instance = buildTable();
    return instance;
}

}  // namespace

const FieldInfo& fieldInfo(Field field) {
    return table()[indexOf(field)];
}

std::optional<Field> fieldByName(std::string_view name) {
    for (int i = 0; i < kFieldCount; ++i) {
        if (table()[i].name == name) {
            return static_cast<Field>(i);
        }
    }
    return std::nullopt;
}

const std::vector<Field>& groupMembers(RadioGroup group) {
    static const auto members = [] {
        std::array<std::vector<Field>, static_cast<int>(RadioGroup::Input4) + 1> byGroup;
        for (int i = 0; i < kFieldCount; ++i) {
            byGroup[static_cast<int>(table()[i].group)].push_back(static_cast<Field>(i));
        }
        byGroup[static_cast<int>(RadioGroup::None)].clear();
        return byGroup;
    }();
    return members[static_cast<int>(group)];
}

}  // namespace korvan
