#include "settings/defaults.h"

#include <string>

namespace korvan {
namespace {

void resetPoint(FieldModel& model, int n) {
    auto p = [n](Field ofPoint1) { return ofPoint(ofPoint1, n); };
    model.setText(p(Field::Point1Latd), {});
    model.setText(p(Field::Point1Latm), {});
    model.setText(p(Field::Point1Latmm), {});
    model.setText(p(Field::Point1NS), "N");
    model.setText(p(Field::Point1Lond), {});
    model.setText(p(Field::Point1Lonm), {});
    model.setText(p(Field::Point1Lonmm), {});
    model.setText(p(Field::Point1EW), "E");
    model.setText(p(Field::Point1Rad), "50");
    model.setChecked(p(Field::Point1InOut), false);
    model.setChecked(p(Field::Point1OutOut), false);
    model.setChecked(p(Field::Point1InGPRS), false);
    model.setChecked(p(Field::Point1OutGPRS), false);
    model.setText(p(Field::edPoint1OnTime), "1");
}

void resetAnalogValues(FieldModel& model) {
    model.setChecked(Field::AnalogWrite1, false);
    model.setChecked(Field::AnalogWrite2, false);
    model.setText(Field::Ain1, "1023");
    model.setText(Field::Ain2, "1023");
    model.setText(Field::Usr1, "16");
    model.setText(Field::Usr2, "16");
}

}  // namespace

void ButtonResetClick(FieldModel& model) {
    model.setText(Field::edPassword, {});
    model.setText(Field::ip, std::string(kDataServerAddress));
    model.setText(Field::port, std::string(kDataServerPort));
    model.setText(Field::Edit2, "120");
    model.setText(Field::Edit1, "5");

    for (Field box : {Field::CheckBox1, Field::CheckBox2, Field::TempBox1, Field::TempBox2}) {
        model.setChecked(box, false);
    }
    model.setChecked(Field::StaticBox, false);
    model.setChecked(Field::WideWrite, false);
    // Every input becomes an ordinary one, inputs 3 and 4 included.
    for (int n = 1; n <= 4; ++n) {
        model.setChecked(numbered(Field::RadioButton1, n), true);
    }
    for (int n = 1; n <= 4; ++n) {
        model.setChecked(numbered(Field::GPRS1, n), false);
    }
    for (int n = 1; n <= 4; ++n) {
        model.setItemIndex(numbered(Field::InputBox1, n), 0);
    }

    model.setText(Field::AnalogTime, "3600");
    model.setText(Field::CounterTime, "3600");
    model.setText(Field::CounterTime34, "3600");  // unlike the digital defaults' "0"
    resetAnalogValues(model);
    model.setChecked(Field::UnReadBox, false);
    for (int n = 1; n <= 3; ++n) {
        resetPoint(model, n);
    }
}

void AnalogDefaultClick(FieldModel& model) {
    resetAnalogValues(model);
    model.setItemIndex(Field::AnalogMethod, 1);
    model.setText(Field::AnalogTime, "3600");
}

void DigitDefaultClick(FieldModel& model) {
    for (int n = 1; n <= 4; ++n) {
        model.setItemIndex(numbered(Field::InputBox1, n), 0);
        model.setChecked(numbered(Field::GPRS1, n), false);
        model.setChecked(numbered(Field::RadioButton1, n), true);
    }
    model.setText(Field::CounterTime, "3600");
    model.setText(Field::CounterTime34, "0");
}

}  // namespace korvan
