#include "settings/defaults.h"

#include <gtest/gtest.h>

#include "settings/settings_file.h"
#include "settings/settings_keys.h"
#include "tests/support/every_field.h"
#include "tests/support/temp_folder.h"

namespace korvan {
namespace {

using testing::ansi;

class Defaults : public ::testing::Test {
  protected:
    FieldModel model;

    void SetUp() override {
        model.setItemIndex(Field::RecordingMethod, 1);
        model.setItemIndex(Field::AnalogRecordingMethod, 0);
        model.setText(Field::AccessPoint, "depot");
        model.setChecked(Field::WepEncryption, true);
        model.setChecked(Field::InputPeriodic3, true);
        model.setChecked(Field::InputAccumulating4, true);
        model.setChecked(Field::InputSendsAtOnce1, true);
        model.setItemIndex(Field::InputTrigger2, 1);
        model.setChecked(Field::AnalogAsDigital2, true);
        model.setText(Field::AnalogAveraging2, "9");
        model.setChecked(Field::Point2SendOnEntry, true);
        model.setChecked(Field::Point1OutputOnExit, true);
        model.setText(Field::Point2OnTime, "15");
        model.setText(Field::Point3LatitudeHemisphere, "S");
        model.setText(Field::Point3LongitudeFraction, "12345");
        model.setText(Field::CounterPeriod34, "7");
        model.setChecked(Field::ReadIdentityOnly, true);
        model.setStatusColour(StatusColour::Red);
        model.setText(Field::StatusLine, "before");
        model.setText(Field::DatabaseName, "fleet.zcf");
        model.databasePath = "/data/fleet.zcf";
    }

    void expectDigitalInputsReset() {
        for (int n = 1; n <= 4; ++n) {
            EXPECT_TRUE(model.checked(numbered(Field::InputOrdinary1, n))) << n;
            EXPECT_FALSE(model.checked(numbered(Field::InputSendsAtOnce1, n))) << n;
            EXPECT_EQ(model.itemIndex(numbered(Field::InputTrigger1, n)), 0) << n;
        }
        EXPECT_EQ(model.text(Field::CounterPeriod12), "3600");
    }

    void expectUntouchedOutsideTheFields() {
        EXPECT_EQ(model.statusColour(), StatusColour::Red);
        EXPECT_EQ(model.text(Field::StatusLine), "before");
        EXPECT_EQ(model.text(Field::DatabaseName), "fleet.zcf");
        EXPECT_EQ(model.databasePath, "/data/fleet.zcf");
    }
};

TEST_F(Defaults, ResetClearsEverythingButTheMethodsAndTheNetwork) {
    applyDefaults(model);
    expectDigitalInputsReset();
    EXPECT_EQ(model.text(Field::CounterPeriod34), "3600");  // not the digital default "0"
    EXPECT_EQ(model.text(Field::ServerAddress), kDataServerAddress);
    EXPECT_EQ(model.text(Field::RecordingPeriod), "5");
    EXPECT_EQ(model.text(Field::AnalogAveraging2), "16");
    EXPECT_FALSE(model.checked(Field::AnalogAsDigital2));
    EXPECT_FALSE(model.checked(Field::ReadIdentityOnly));
    for (int n = 1; n <= 3; ++n) {
        EXPECT_FALSE(model.checked(ofPoint(Field::Point1SendOnEntry, n)));
        EXPECT_FALSE(model.checked(ofPoint(Field::Point1OutputOnExit, n)));
        EXPECT_FALSE(model.enabled(ofPoint(Field::Point1OnTime, n)));
        EXPECT_EQ(model.text(ofPoint(Field::Point1OnTime, n)), "1");
        EXPECT_EQ(model.text(ofPoint(Field::Point1Radius, n)), "50");
        EXPECT_EQ(model.text(ofPoint(Field::Point1LatitudeHemisphere, n)), "N");
        EXPECT_EQ(model.itemIndex(ofPoint(Field::Point1LatitudeHemisphere, n)), 0);
        EXPECT_EQ(model.text(ofPoint(Field::Point1LongitudeFraction, n)), "");
    }
    EXPECT_EQ(model.itemIndex(Field::RecordingMethod), 1);
    EXPECT_EQ(model.itemIndex(Field::AnalogRecordingMethod), 0);
    EXPECT_EQ(model.text(Field::AccessPoint), "depot");
    EXPECT_TRUE(model.checked(Field::WepEncryption));
    expectUntouchedOutsideTheFields();
}

TEST_F(Defaults, DigitalDefaultsTouchOnlyTheInputs) {
    applyDigitalDefaults(model);
    expectDigitalInputsReset();
    EXPECT_EQ(model.text(Field::CounterPeriod34), "0");
    EXPECT_EQ(model.text(Field::AnalogAveraging2), "9");
    EXPECT_TRUE(model.checked(Field::ReadIdentityOnly));
    expectUntouchedOutsideTheFields();
}

TEST_F(Defaults, AnalogueDefaultsTouchOnlyTheAnalogueInputs) {
    model.setText(Field::AnalogPollPeriod, "5");
    model.setText(Field::AnalogThreshold1, "7");
    applyAnalogDefaults(model);
    EXPECT_FALSE(model.checked(Field::AnalogAsDigital2));
    EXPECT_EQ(model.text(Field::AnalogAveraging2), "16");
    EXPECT_EQ(model.text(Field::AnalogThreshold1), "1023");
    EXPECT_EQ(model.itemIndex(Field::AnalogRecordingMethod), 1);
    EXPECT_EQ(model.text(Field::AnalogRecordingMethod), ansi("Не реже, чем период опроса"));
    EXPECT_EQ(model.text(Field::AnalogPollPeriod), "3600");
    EXPECT_TRUE(model.checked(Field::InputPeriodic3));
    EXPECT_EQ(model.text(Field::CounterPeriod34), "7");
    expectUntouchedOutsideTheFields();
}

}  // namespace
}  // namespace korvan

namespace korvan {
namespace {

// A tracker setting added without its line in the reset keeps what the technician last had.
TEST(DefaultsOfEverySetting, ResetEveryTrackerSettingButTheMethodsAndTheNetwork) {
    FieldModel every;
    loadSettings(every, {});
    FieldModel firstRun;
    loadSettings(firstRun, {});
    testing::setEveryField(every);
    FieldModel reset;
    reset.restore(every.snapshot());
    applyDefaults(reset);
    int checked = 0;
    for (const SettingsKey& key : settingsKeys()) {
        const std::string name = std::string(key.section) + "/" + std::string(key.name);
        const bool kept =
            key.section == "NET" || name == "DEVICE/WriteMethod" || name == "DEVICE/AnalogMethod";
        if (!isTrackerSetting(key) || kept ||
            storedValueOf(every, key) == storedValueOf(firstRun, key)) {
            continue;  // not the tracker's, kept on purpose, or not moved by setEveryField
        }
        ++checked;
        EXPECT_NE(storedValueOf(reset, key), storedValueOf(every, key)) << name;
    }
    EXPECT_GT(checked, 50);  // setEveryField moves most of them
}

}  // namespace
}  // namespace korvan
