#include "settings/defaults.h"

#include <string>

#include "settings/settings_keys.h"

namespace korvan {
namespace {

// The recording and analogue methods and the Wi-Fi network are how this tracker is to work
// where it is installed: the reset leaves them as they are.
bool keptByReset(const SettingsKey& key) {
    return key.section == "NET" || key.field == Field::RecordingMethod ||
           key.field == Field::AnalogRecordingMethod;
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
    // Every value the tracker keeps goes back to its first run's, as the settings reader gives
    // it to a key that is missing, reactions and all; so does the choice not to read a tracker.
    for (const SettingsKey* key : settingsKeysInReadOrder()) {
        if ((isTrackerSetting(*key) || key->field == Field::ReadIdentityOnly) &&
            !keptByReset(*key)) {
            applyStoredValue(model, *key, std::nullopt);
        }
    }
    model.setText(Field::CounterPeriod34, "3600");  // unlike its first run's "0"
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
