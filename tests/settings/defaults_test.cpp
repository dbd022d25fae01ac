#include "settings/defaults.h"

#include <gtest/gtest.h>

#include "tests/support/temp_folder.h"

namespace korvan {
namespace {

using testing::ansi;

class Defaults : public ::testing::Test {
  protected:
    FieldModel model;

    void SetUp() override {
        model.setItemIndex(Field::WriteMethod, 1);
        model.setItemIndex(Field::AnalogMethod, 0);
        model.setText(Field::WiFiName, "depot");
        model.setChecked(Field::WEP, true);
        model.setChecked(Field::TempBox3, true);
        model.setChecked(Field::CheckBox4, true);
        model.setChecked(Field::GPRS1, true);
        model.setItemIndex(Field::InputBox2, 1);
        model.setChecked(Field::AnalogWrite2, true);
        model.setText(Field::Usr2, "9");
        model.setChecked(Field::Point2InGPRS, true);
        model.setChecked(Field::Point1OutOut, true);
        model.setText(Field::edPoint2OnTime, "15");
        model.setText(Field::Point3NS, "S");
        model.setText(Field::Point3Lonmm, "12345");
        model.setText(Field::CounterTime34, "7");
        model.setChecked(Field::UnReadBox, true);
        model.setStatusColour(StatusColour::Red);
        model.setText(Field::CommandInfo, "before");
        model.setText(Field::DbFileName, "fleet.zcf");
        model.DatabasePath = "/data/fleet.zcf";
    }

    void expectDigitalInputsReset() {
        for (int n = 1; n <= 4; ++n) {
            EXPECT_TRUE(model.checked(numbered(Field::RadioButton1, n))) << n;
            EXPECT_FALSE(model.checked(numbered(Field::GPRS1, n))) << n;
            EXPECT_EQ(model.itemIndex(numbered(Field::InputBox1, n)), 0) << n;
        }
        EXPECT_EQ(model.text(Field::CounterTime), "3600");
    }

    void expectUntouchedOutsideTheFields() {
        EXPECT_EQ(model.statusColour(), StatusColour::Red);
        EXPECT_EQ(model.text(Field::CommandInfo), "before");
        EXPECT_EQ(model.text(Field::DbFileName), "fleet.zcf");
        EXPECT_EQ(model.DatabasePath, "/data/fleet.zcf");
    }
};

TEST_F(Defaults, ResetClearsEverythingButTheMethodsAndTheNetwork) {
    ButtonResetClick(model);
    expectDigitalInputsReset();
    EXPECT_EQ(model.text(Field::CounterTime34), "3600");  // not the digital default "0"
    EXPECT_EQ(model.text(Field::ip), kDataServerAddress);
    EXPECT_EQ(model.text(Field::Edit1), "5");
    EXPECT_EQ(model.text(Field::Usr2), "16");
    EXPECT_FALSE(model.checked(Field::AnalogWrite2));
    EXPECT_FALSE(model.checked(Field::UnReadBox));
    for (int n = 1; n <= 3; ++n) {
        EXPECT_FALSE(model.checked(ofPoint(Field::Point1InGPRS, n)));
        EXPECT_FALSE(model.checked(ofPoint(Field::Point1OutOut, n)));
        EXPECT_FALSE(model.enabled(ofPoint(Field::edPoint1OnTime, n)));
        EXPECT_EQ(model.text(ofPoint(Field::edPoint1OnTime, n)), "1");
        EXPECT_EQ(model.text(ofPoint(Field::Point1Rad, n)), "50");
        EXPECT_EQ(model.text(ofPoint(Field::Point1NS, n)), "N");
        EXPECT_EQ(model.itemIndex(ofPoint(Field::Point1NS, n)), 0);
        EXPECT_EQ(model.text(ofPoint(Field::Point1Lonmm, n)), "");
    }
    EXPECT_EQ(model.itemIndex(Field::WriteMethod), 1);
    EXPECT_EQ(model.itemIndex(Field::AnalogMethod), 0);
    EXPECT_EQ(model.text(Field::WiFiName), "depot");
    EXPECT_TRUE(model.checked(Field::WEP));
    expectUntouchedOutsideTheFields();
}

TEST_F(Defaults, DigitalDefaultsTouchOnlyTheInputs) {
    DigitDefaultClick(model);
    expectDigitalInputsReset();
    EXPECT_EQ(model.text(Field::CounterTime34), "0");
    EXPECT_EQ(model.text(Field::Usr2), "9");
    EXPECT_TRUE(model.checked(Field::UnReadBox));
    expectUntouchedOutsideTheFields();
}

TEST_F(Defaults, AnalogueDefaultsTouchOnlyTheAnalogueInputs) {
    model.setText(Field::AnalogTime, "5");
    model.setText(Field::Ain1, "7");
    AnalogDefaultClick(model);
    EXPECT_FALSE(model.checked(Field::AnalogWrite2));
    EXPECT_EQ(model.text(Field::Usr2), "16");
    EXPECT_EQ(model.text(Field::Ain1), "1023");
    EXPECT_EQ(model.itemIndex(Field::AnalogMethod), 1);
    EXPECT_EQ(model.text(Field::AnalogMethod), ansi("Не реже, чем период опроса"));
    EXPECT_EQ(model.text(Field::AnalogTime), "3600");
    EXPECT_TRUE(model.checked(Field::TempBox3));
    EXPECT_EQ(model.text(Field::CounterTime34), "7");
    expectUntouchedOutsideTheFields();
}

}  // namespace
}  // namespace korvan
