#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <initializer_list>
#include <string>

#include "settings/field_model.h"

namespace korvan::testing {

// Every field set away from its first-run value, consistently with the interlocks.
inline void setEveryField(FieldModel& m) {
    m.setText(Field::ServerPassword, "pa;ss_w0");
    m.setText(Field::ServerAddress, "10.20.30.40");
    m.setText(Field::ServerPort, "9000");
    m.setItemIndex(Field::RecordingMethod, 0);
    m.setText(Field::RecordingPeriod, "30");
    m.setText(Field::SendingPeriod, "600");
    m.setChecked(Field::WideRecording, true);
    m.setChecked(Field::StaticProcessing, true);
    m.setText(Field::AccessPoint, "depot_AP");
    m.setChecked(Field::WepEncryption, true);
    m.setItemIndex(Field::Authentication, 1);
    m.setChecked(Field::Key128Bit, true);
    m.setText(Field::NetworkKey, " key with; \"quotes\" ");
    m.setChecked(Field::FixedAddress, true);
    m.setText(Field::DeviceAddress, "172.16.0.5");
    m.setText(Field::Netmask, "255.255.0.0");
    m.setText(Field::Gateway, "172.16.0.1");
    m.setItemIndex(Field::InputTrigger1, 1);
    m.setItemIndex(Field::InputTrigger4, 1);
    m.setChecked(Field::InputSendsAtOnce1, true);
    m.setChecked(Field::InputAccumulating2, true);
    m.setChecked(Field::InputPeriodic3, true);
    m.setChecked(Field::InputSendsAtOnce4, true);
    m.setText(Field::CounterPeriod12, "60");
    m.setText(Field::CounterPeriod34, "120");
    m.setText(Field::AnalogPollPeriod, "30");
    m.setChecked(Field::AnalogAsDigital1, true);
    m.setChecked(Field::AnalogAsDigital2, true);
    m.setText(Field::AnalogThreshold1, "100");
    m.setText(Field::AnalogThreshold2, "200");
    m.setText(Field::AnalogAveraging1, "33");
    m.setText(Field::AnalogAveraging2, "44");
    m.setItemIndex(Field::AnalogRecordingMethod, 0);
    for (int n = 1; n <= 3; ++n) {
        auto p = [n](Field f) { return ofPoint(f, n); };
        const std::string d = std::to_string(n);
        m.setText(p(Field::Point1LatitudeHemisphere), "S");
        m.setText(p(Field::Point1LatitudeDegrees), "5" + d);
        m.setText(p(Field::Point1LatitudeMinutes), "1" + d);
        m.setText(p(Field::Point1LatitudeFraction), "0123" + d);
        m.setText(p(Field::Point1LongitudeHemisphere), "W");
        m.setText(p(Field::Point1LongitudeDegrees), "03" + d);
        m.setText(p(Field::Point1LongitudeMinutes), "4" + d);
        m.setText(p(Field::Point1LongitudeFraction), "9876" + d);
        m.setText(p(Field::Point1Radius), "25" + d);
        m.setChecked(p(Field::Point1OutputOnEntry), n != 2);
        m.setChecked(p(Field::Point1OutputOnExit), n != 3);
        m.setChecked(p(Field::Point1SendOnEntry), n == 1);
        m.setChecked(p(Field::Point1SendOnExit), n == 2);
        m.setText(p(Field::Point1OnTime), "7" + d);
    }
    m.setChecked(Field::ReadIdentityOnly, true);
    m.databasePath = "/home/техник/Автопарк/fleet.zcf";
}

// Every field's value and enabled state alike, but for the fields `except`.
inline void expectSameFields(const FieldModel& actual, const FieldModel& expected,
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
