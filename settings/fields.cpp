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
    t.combo(p(Field::Point1NS), {"N", "S"}, 0, 1);
    t.edit(p(Field::Point1Latd), {}, 2);
    t.edit(p(Field::Point1Latm), {}, 2);
    t.edit(p(Field::Point1Latmm), {}, 5);
    t.combo(p(Field::Point1EW), {"E", "W"}, 0, 1);
    t.edit(p(Field::Point1Lond), {}, 3);
    t.edit(p(Field::Point1Lonm), {}, 2);
    t.edit(p(Field::Point1Lonmm), {}, 5);
    t.edit(p(Field::Point1Rad));
    t.check(p(Field::Point1InGPRS));
    t.check(p(Field::Point1OutGPRS));
    t.check(p(Field::Point1InOut));
    t.check(p(Field::Point1OutOut));
    t.edit(p(Field::edPoint1OnTime));
    t.disable(p(Field::edPoint1OnTime));
}

Table buildTable() {
    Table table;
#define KORVAN_FIELD_NAME(control) table[indexOf(Field::control)].name = #control;
    KORVAN_FIELDS(KORVAN_FIELD_NAME)
#undef KORVAN_FIELD_NAME

    TableBuilder t(table);
    t.edit(Field::ip, kDataServerAddress);
    t.edit(Field::port, kDataServerPort);
    t.edit(Field::edPassword, {}, 8);

    t.combo(Field::WriteMethod, {"Запись по времени", "Адаптивная запись"}, 0);
    t.edit(Field::Edit1, {}, 3);
    t.edit(Field::Edit2, {}, 5);
    t.check(Field::WideWrite);
    t.check(Field::StaticBox);

    t.edit(Field::WiFiName, {}, 35);
    t.radio(Field::NoEncr, RadioGroup::Encryption, true);
    t.radio(Field::WEP, RadioGroup::Encryption);
    t.combo(Field::Sert, {"Открытая", "Совместная"}, 0);
    t.radio(Field::bit64, RadioGroup::KeySize, true);
    t.radio(Field::RadioButton7, RadioGroup::KeySize);
    t.edit(Field::WiFiKey, {}, kWepKeyLength64);
    t.radio(Field::AutoIP, RadioGroup::Address, true);
    t.radio(Field::RadioButton6, RadioGroup::Address);
    t.edit(Field::DevIP, "192.168.0.2");
    t.edit(Field::Netmask, "255.255.255.0");
    t.edit(Field::DefGW, "192.168.0.1");

    for (int n = 1; n <= 4; ++n) {
        const auto group = static_cast<RadioGroup>(static_cast<int>(RadioGroup::Input1) + n - 1);
        t.combo(numbered(Field::InputBox1, n), {"Замкнут (0)", "Разомкнут (1)"}, 0);
        t.check(numbered(Field::GPRS1, n));
        t.radio(numbered(Field::RadioButton1, n), group, true);
        t.radio(numbered(Field::CheckBox1, n), group);
        t.radio(numbered(Field::TempBox1, n), group);
    }
    t.edit(Field::CounterTime, "3600");
    t.edit(Field::CounterTime34, "0");

    t.edit(Field::AnalogTime, "3600");
    for (int n = 1; n <= 2; ++n) {
        t.check(numbered(Field::AnalogWrite1, n));
        t.edit(numbered(Field::Ain1, n), "1023", 4);
        t.edit(numbered(Field::Usr1, n), "16", 2);
    }
    t.combo(Field::AnalogMethod, {"Не чаще, чем период опроса", "Не реже, чем период опроса"}, 1);

    for (int n = 1; n <= 3; ++n) {
        describePoint(t, n);
    }
    t.check(Field::UnReadBox);
    t.check(Field::VerifyBox);

    t.label(Field::SerNum, "Номер");
    t.label(Field::Panel16, "Прошивка");
    t.label(Field::MacView, "00 00 00 00 00 00");
    t.label(Field::DbFileName, "...");
    t.label(Field::WiFiLabel, {});
    t.label(Field::Label17, "Период записи точек (сек):");
    t.label(Field::LabelNDIST,
            "Период записи - интервал времени, с которым в память прибора будут добавляться "
            "записи о текущем местоположении");
    t.label(Field::CommandInfo, {});
    t.button(Field::Button5);
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
