#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>

#include "settings/field_model.h"

namespace korvan::testing {

// Every field set away from its first-run value, consistently with the interlocks.
inline void SetEveryField(FieldModel& m) {
    m.setText(Field::edPassword, "pa;ss_w0");
    m.setText(Field::ip, "10.20.30.40");
    m.setText(Field::port, "9000");
    m.setItemIndex(Field::WriteMethod, 0);
    m.setText(Field::Edit1, "30");
    m.setText(Field::Edit2, "600");
    m.setChecked(Field::WideWrite, true);
    m.setChecked(Field::StaticBox, true);
    m.setText(Field::WiFiName, "depot_AP");
    m.setChecked(Field::WEP, true);
    m.setItemIndex(Field::Sert, 1);
    m.setChecked(Field::RadioButton7, true);
    m.setText(Field::WiFiKey, " key with; \"quotes\" ");
    m.setChecked(Field::RadioButton6, true);
    m.setText(Field::DevIP, "172.16.0.5");
    m.setText(Field::Netmask, "255.255.0.0");
    m.setText(Field::DefGW, "172.16.0.1");
    m.setItemIndex(Field::InputBox1, 1);
    m.setItemIndex(Field::InputBox4, 1);
    m.setChecked(Field::GPRS1, true);
    m.setChecked(Field::CheckBox2, true);
    m.setChecked(Field::TempBox3, true);
    m.setChecked(Field::GPRS4, true);
    m.setText(Field::CounterTime, "60");
    m.setText(Field::CounterTime34, "120");
    m.setText(Field::AnalogTime, "30");
    m.setChecked(Field::AnalogWrite1, true);
    m.setChecked(Field::AnalogWrite2, true);
    m.setText(Field::Ain1, "100");
    m.setText(Field::Ain2, "200");
    m.setText(Field::Usr1, "33");
    m.setText(Field::Usr2, "44");
    m.setItemIndex(Field::AnalogMethod, 0);
    for (int n = 1; n <= 3; ++n) {
        auto p = [n](Field f) { return ofPoint(f, n); };
        const std::string d = std::to_string(n);
        m.setText(p(Field::Point1NS), "S");
        m.setText(p(Field::Point1Latd), "5" + d);
        m.setText(p(Field::Point1Latm), "1" + d);
        m.setText(p(Field::Point1Latmm), "0123" + d);
        m.setText(p(Field::Point1EW), "W");
        m.setText(p(Field::Point1Lond), "03" + d);
        m.setText(p(Field::Point1Lonm), "4" + d);
        m.setText(p(Field::Point1Lonmm), "9876" + d);
        m.setText(p(Field::Point1Rad), "25" + d);
        m.setChecked(p(Field::Point1InOut), n != 2);
        m.setChecked(p(Field::Point1OutOut), n != 3);
        m.setChecked(p(Field::Point1InGPRS), n == 1);
        m.setChecked(p(Field::Point1OutGPRS), n == 2);
        m.setText(p(Field::edPoint1OnTime), "7" + d);
    }
    m.setChecked(Field::UnReadBox, true);
    m.DatabasePath = "/home/техник/Автопарк/fleet.zcf";
}

// Every field's value and enabled state alike, but for the fields `except`.
inline void ExpectSameFields(const FieldModel& actual, const FieldModel& expected,
                             std::initializer_list<Field> except = {}) {
    for (int i = 0; i < kFieldCount; ++i) {
        const auto f = static_cast<Field>(i);
        if (std::find(except.begin(), except.end(), f) != except.end()) {
            continue;
        }
        const auto& name = fieldInfo(f).name;
        switch (fieldInfo(f).kind) {
            case FieldKind::Edit:
            case FieldKind::Combo:
                EXPECT_EQ(actual.text(f), expected.text(f)) << name;
                EXPECT_EQ(actual.itemIndex(f), expected.itemIndex(f)) << name;
                break;
            case FieldKind::Check:
            case FieldKind::Radio:
                EXPECT_EQ(actual.checked(f), expected.checked(f)) << name;
                break;
            default:
                break;
        }
        EXPECT_EQ(actual.enabled(f), expected.enabled(f)) << name;
    }
}

}  // namespace korvan::testing
