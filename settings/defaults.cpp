#include "settings/defaults.h"

#include <string>

namespace korvan {
namespace {

void resetPoint(FieldModel& model, int n) {
    auto p = [n](Field ofPoint1) { return ofPoint(ofPoint1, n); };
    model.setText(p(Field::Point1LatitudeDegrees), {});
    model.setText(p(Field::Point1LatitudeMinutes), {});
    model.setText(p(Field::Point1LatitudeFraction), {});
    model.setText(p(Field::Point1LatitudeHemisphere), "N");
    model.setText(p(Field::Point1LongitudeDegrees), {});
    model.setText(p(Field::Point1LongitudeMinutes), {});
    model.setText(p(Field::Point1LongitudeFraction), {});
    model.setText(p(Field::Point1LongitudeHemisphere), "E");
    model.setText(p(Field::Point1Radius), "50");
    model.setChecked(p(Field::Point1OutputOnEntry), false);
    model.setChecked(p(Field::Point1OutputOnExit), false);
    model.setChecked(p(Field::Point1SendOnEntry), false);
    model.setChecked(p(Field::Point1SendOnExit), false);
    model.setText(p(Field::Point1OnTime), "1");
}

void resetAnalogValues(FieldModel& model) {
    model.setChecked(Field::AnalogAsDigital1, false);
    model.setChecked(Field::AnalogAsDigital2, false);
    model.setText(Field::AnalogThreshold1, "1023");
    model.setText(Field::AnalogThreshold2, "1023");
    model.setText(Field::AnalogAveraging1, "16");
    model.setText(Field::AnalogAveraging2, "16");
}

}  // namespace

void applyDefaults(FieldModel& model) {
    model.setText(Field::ServerPassword, {});
    model.setText(Field::ServerAddress, std::string(kDataServerAddress));
    model.setText(Field::ServerPort, std::string(kDataServerPort));
    model.setText(Field::SendingPeriod, "120");
    model.setText(Field::RecordingPeriod, "5");

    for (Field box : {Field::InputAccumulating1, Field::InputAccumulating2, Field::InputPeriodic1,
                      Field::InputPeriodic2}) {
        model.setChecked(box, false);
    }
    model.setChecked(Field::StaticProcessing, false);
    model.setChecked(Field::WideRecording, false);
    // Every input becomes an ordinary one, inputs 3 and 4 included.
    for (int n = 1; n <= 4; ++n) {
        model.setChecked(numbered(Field::InputOrdinary1, n), true);
    }
    for (int n = 1; n <= 4; ++n) {
        model.setChecked(numbered(Field::InputSendsAtOnce1, n), false);
    }
    for (int n = 1; n <= 4; ++n) {
        model.setItemIndex(numbered(Field::InputTrigger1, n), 0);
    }

    model.setText(Field::AnalogPollPeriod, "3600");
    model.setText(Field::CounterPeriod12, "3600");
    model.setText(Field::CounterPeriod34, "3600");  // unlike the digital defaults' "0"
    resetAnalogValues(model);
    model.setChecked(Field::ReadIdentityOnly, false);
    for (int n = 1; n <= 3; ++n) {
        resetPoint(model, n);
    }
}

void applyAnalogDefaults(FieldModel& model) {
    resetAnalogValues(model);
    model.setItemIndex(Field::AnalogRecordingMethod, 1);
    model.setText(Field::AnalogPollPeriod, "3600");
}

void applyDigitalDefaults(FieldModel& model) {
    for (int n = 1; n <= 4; ++n) {
        model.setItemIndex(numbered(Field::InputTrigger1, n), 0);
        model.setChecked(numbered(Field::InputSendsAtOnce1, n), false);
        model.setChecked(numbered(Field::InputOrdinary1, n), true);
    }
    model.setText(Field::CounterPeriod12, "3600");
    model.setText(Field::CounterPeriod34, "0");
}

}  // namespace korvan
