#include "settings/field_model.h"

#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <set>
#include <utility>
#include <vector>

#include "tests/support/temp_folder.h"

namespace korvan {
namespace {

using testing::ansi;

struct Change {
    Field field;
    Aspect aspect;
    bool operator==(const Change&) const = default;
};

class Recorder {
  public:
    explicit Recorder(FieldModel& model)
        : subscription_(model.subscribe([this](Field f, Aspect a) {
              changes.push_back({f, a});
          })) {}
    int count(Field f, Aspect a = Aspect::Value) const {
        int n = 0;
        for (const auto& c : changes) {
            n += c == Change{f, a} ? 1 : 0;
        }
        return n;
    }
    std::vector<Change> changes;

  private:
    Subscription subscription_;
};

TEST(FieldModel, EveryControlNameFindsItsOwnField) {
    std::set<std::string_view> names;
    for (int i = 0; i < kFieldCount; ++i) {
        const auto field = static_cast<Field>(i);
        const auto& name = fieldInfo(field).name;
        EXPECT_TRUE(names.insert(name).second) << name;
        EXPECT_EQ(fieldByName(name), field) << name;
    }
    EXPECT_EQ(fieldByName("edPassword"), Field::ServerPassword);
    EXPECT_EQ(fieldByName("edpassword"), std::nullopt);
}

TEST(FieldModel, NewWindowHasOneButtonSelectedInEveryGroupAndSendTimesDisabled) {
    FieldModel model;
    for (auto group :
         {RadioGroup::Encryption, RadioGroup::KeySize, RadioGroup::Address, RadioGroup::Input1,
          RadioGroup::Input2, RadioGroup::Input3, RadioGroup::Input4}) {
        int selected = 0;
        for (Field member : groupMembers(group)) {
            selected += model.checked(member) ? 1 : 0;
        }
        EXPECT_EQ(selected, 1);
    }
    EXPECT_TRUE(model.checked(Field::NoEncryption));
    EXPECT_TRUE(model.checked(Field::InputOrdinary3));
    EXPECT_EQ(groupMembers(RadioGroup::Input2),
              (std::vector<Field>{Field::InputOrdinary2, Field::InputAccumulating2,
                                  Field::InputPeriodic2}));
    for (int n = 1; n <= 3; ++n) {
        EXPECT_FALSE(model.enabled(ofPoint(Field::Point1OnTime, n)));
        EXPECT_EQ(model.text(ofPoint(Field::Point1Radius, n)), "");
    }
    EXPECT_EQ(model.itemIndex(Field::RecordingMethod), 0);
    EXPECT_EQ(model.itemIndex(Field::AnalogRecordingMethod), 1);
    EXPECT_EQ(model.text(Field::Point2LatitudeHemisphere), "N");
    EXPECT_EQ(model.text(Field::SerialNumber), ansi("Номер"));
    EXPECT_EQ(model.text(Field::MacAddress), "00 00 00 00 00 00");
    EXPECT_EQ(model.maxLength(Field::ServerPassword), 8);
    EXPECT_EQ(model.maxLength(Field::Point3LongitudeDegrees), 3);
}

TEST(FieldModel, SelectingARadioButtonUnselectsTheRestOfItsGroupOnly) {
    FieldModel model;
    Recorder recorder(model);
    model.setChecked(Field::InputPeriodic2, true);
    EXPECT_TRUE(model.checked(Field::InputPeriodic2));
    EXPECT_FALSE(model.checked(Field::InputOrdinary2));
    EXPECT_FALSE(model.checked(Field::InputAccumulating2));
    EXPECT_TRUE(model.checked(Field::InputOrdinary1));
    EXPECT_TRUE(model.checked(Field::InputOrdinary3));
    EXPECT_EQ(recorder.count(Field::InputOrdinary2), 1);
    EXPECT_EQ(recorder.count(Field::InputPeriodic2), 1);

    model.setChecked(Field::InputAccumulating2, true);
    EXPECT_FALSE(model.checked(Field::InputPeriodic2));
    EXPECT_TRUE(model.checked(Field::InputAccumulating2));
}

TEST(FieldModel, SettingTheSameValueAgainChangesNothingAndTellsNoOne) {
    FieldModel model;
    Recorder recorder(model);
    model.setChecked(Field::NoEncryption, true);
    model.setChecked(Field::InputSendsAtOnce1, false);
    model.setText(Field::ServerPort, "2224");
    model.setItemIndex(Field::Authentication, 0);
    model.setEnabled(Field::ServerAddress, true);
    EXPECT_TRUE(recorder.changes.empty());
}

TEST(FieldModel, EncryptionChoiceEnablesTheKeyFieldsAndKeepsTheKey) {
    FieldModel model;
    model.encryptionChosen();
    EXPECT_FALSE(model.enabled(Field::NetworkKey));
    model.setChecked(Field::WepEncryption, true);
    model.setText(Field::NetworkKey, "abcde");
    EXPECT_TRUE(model.enabled(Field::NetworkKey));
    EXPECT_TRUE(model.enabled(Field::Key64Bit));
    EXPECT_TRUE(model.enabled(Field::Key128Bit));
    model.setChecked(Field::NoEncryption, true);
    EXPECT_FALSE(model.enabled(Field::NetworkKey));
    EXPECT_FALSE(model.enabled(Field::Key64Bit));
    EXPECT_FALSE(model.enabled(Field::Key128Bit));
    EXPECT_EQ(model.text(Field::NetworkKey), "abcde");
    EXPECT_TRUE(model.enabled(Field::AccessPoint));
    EXPECT_TRUE(model.enabled(Field::Authentication));
}

TEST(FieldModel, AddressChoiceEnablesTheFixedAddressFields) {
    FieldModel model;
    model.addressingChosen();
    EXPECT_FALSE(model.enabled(Field::DeviceAddress));
    model.setChecked(Field::FixedAddress, true);
    for (Field f : {Field::DeviceAddress, Field::Netmask, Field::Gateway}) {
        EXPECT_TRUE(model.enabled(f));
    }
    model.setText(Field::DeviceAddress, "10.0.0.7");
    model.setChecked(Field::AutomaticAddress, true);
    for (Field f : {Field::DeviceAddress, Field::Netmask, Field::Gateway}) {
        EXPECT_FALSE(model.enabled(f));
    }
    EXPECT_EQ(model.text(Field::DeviceAddress), "10.0.0.7");
}

TEST(FieldModel, KeySizeSetsKeyLengthAndCaptionButKeepsTheTypedKey) {
    FieldModel model;
    model.keySizeChosen();
    EXPECT_EQ(model.maxLength(Field::NetworkKey), 5);
    EXPECT_EQ(model.text(Field::NetworkKeyCaption), ansi("Ключ сети (5 символов)"));
    model.setChecked(Field::Key128Bit, true);
    EXPECT_EQ(model.maxLength(Field::NetworkKey), 13);
    EXPECT_EQ(model.text(Field::NetworkKeyCaption), ansi("Ключ сети (13 символов)"));
    model.setText(Field::NetworkKey, "0123456789abc");
    model.setChecked(Field::Key64Bit, true);
    EXPECT_EQ(model.maxLength(Field::NetworkKey), 5);
    EXPECT_EQ(model.text(Field::NetworkKey), "0123456789abc");
}

TEST(FieldModel, SendBoxAndCounterTypeExcludeEachOtherPerInput) {
    FieldModel model;
    model.setChecked(Field::InputAccumulating2, true);
    model.setChecked(Field::InputAccumulating3, true);
    model.setChecked(Field::InputSendsAtOnce1, true);

    model.setChecked(Field::InputSendsAtOnce2, true);  // back to an ordinary input
    EXPECT_TRUE(model.checked(Field::InputOrdinary2));
    EXPECT_FALSE(model.checked(Field::InputAccumulating2));
    EXPECT_TRUE(model.checked(Field::InputAccumulating3));
    EXPECT_TRUE(model.checked(Field::InputSendsAtOnce1));

    model.setChecked(Field::InputPeriodic2, true);  // a counter never sends on its trigger
    EXPECT_FALSE(model.checked(Field::InputSendsAtOnce2));
    EXPECT_TRUE(model.checked(Field::InputSendsAtOnce1));

    model.setChecked(Field::InputSendsAtOnce4, true);
    model.setChecked(Field::InputOrdinary4, true);  // type A has no reaction of its own
    EXPECT_TRUE(model.checked(Field::InputSendsAtOnce4));
}

TEST(FieldModel, RecordingAnAnalogueInputAsDigitalSetsItsAveragingToOne) {
    FieldModel model;
    model.setText(Field::AnalogAveraging1, "30");
    model.setText(Field::AnalogAveraging2, "40");
    model.setChecked(Field::AnalogAsDigital1, true);
    EXPECT_EQ(model.text(Field::AnalogAveraging1), "1");
    EXPECT_EQ(model.text(Field::AnalogAveraging2), "40");
    model.setText(Field::AnalogAveraging1, "25");
    model.setChecked(Field::AnalogAsDigital1, false);
    EXPECT_EQ(model.text(Field::AnalogAveraging1), "25");
}

TEST(FieldModel, SendTimeIsEnabledWhileEitherSendingBoxOfItsPointIsTicked) {
    FieldModel model;
    model.setChecked(Field::Point2SendOnEntry, true);
    EXPECT_TRUE(model.enabled(Field::Point2OnTime));
    EXPECT_FALSE(model.enabled(Field::Point1OnTime));
    EXPECT_FALSE(model.enabled(Field::Point3OnTime));
    model.setChecked(Field::Point2SendOnExit, true);
    model.setChecked(Field::Point2SendOnEntry, false);
    EXPECT_TRUE(model.enabled(Field::Point2OnTime));
    model.setChecked(Field::Point2SendOnExit, false);
    EXPECT_FALSE(model.enabled(Field::Point2OnTime));
    model.setChecked(Field::Point3OutputOnEntry, true);  // the hidden output boxes enable nothing
    EXPECT_FALSE(model.enabled(Field::Point3OnTime));
}

TEST(FieldModel, AReactionFiresOncePerChangeAndNotForAButtonUnselectedByAnother) {
    FieldModel model;
    model.setText(Field::AnalogAveraging1, "30");
    Recorder recorder(model);
    model.setChecked(Field::AnalogAsDigital1, true);
    model.setChecked(Field::AnalogAsDigital1, true);
    EXPECT_EQ(recorder.count(Field::AnalogAveraging1), 1);

    model.encryptionChosen();  // as start-up does
    recorder.changes.clear();
    model.setChecked(Field::WepEncryption, true);
    EXPECT_EQ(recorder.count(Field::NetworkKey, Aspect::Enabled), 1);
    model.setChecked(Field::WepEncryption, true);  // already selected: nothing runs
    model.setChecked(Field::NoEncryption, true);
    EXPECT_EQ(recorder.count(Field::NetworkKey, Aspect::Enabled), 2);

    // Ticking the send box unselects the counter type; were the counter's reaction to run for
    // that, it would clear the box again.
    model.setChecked(Field::InputAccumulating1, true);
    model.setChecked(Field::InputSendsAtOnce1, true);
    EXPECT_TRUE(model.checked(Field::InputSendsAtOnce1));
    EXPECT_TRUE(model.checked(Field::InputOrdinary1));
}

TEST(FieldModel, ComboTextSelectsTheItemItNamesExactly) {
    FieldModel model;
    model.setText(Field::Point1LatitudeHemisphere, "S");
    EXPECT_EQ(model.itemIndex(Field::Point1LatitudeHemisphere), 1);
    model.setText(Field::Point1LatitudeHemisphere, "x");
    EXPECT_EQ(model.itemIndex(Field::Point1LatitudeHemisphere), -1);
    EXPECT_EQ(model.text(Field::Point1LatitudeHemisphere), "x");
    model.setItemIndex(Field::RecordingMethod, 1);
    EXPECT_EQ(model.text(Field::RecordingMethod), ansi("Адаптивная запись"));
    model.setItemIndex(Field::RecordingMethod, 2);
    EXPECT_EQ(model.itemIndex(Field::RecordingMethod), -1);
    EXPECT_EQ(model.text(Field::RecordingMethod), "");
}

TEST(FieldModel, RecordingMethodCaptionsFollowTheMethod) {
    FieldModel model;
    const std::string periodCaption = model.text(Field::RecordingPeriodCaption);
    const std::string periodNote = model.text(Field::RecordingPeriodHint);
    EXPECT_EQ(periodCaption, ansi("Период записи точек (сек):"));

    model.setItemIndex(Field::RecordingMethod, 1);
    model.recordingMethodChanged();
    EXPECT_EQ(model.text(Field::RecordingPeriodCaption), ansi("Интервал записи точек (м):"));
    EXPECT_EQ(model.text(Field::RecordingPeriodHint),
              ansi("Интервал записи - минимальное расстояние, через которое при движении будут "
                   "добавляться записи"));
    model.setItemIndex(Field::RecordingMethod, 0);
    model.recordingMethodChanged();
    EXPECT_EQ(model.text(Field::RecordingPeriodCaption), periodCaption);
    EXPECT_EQ(model.text(Field::RecordingPeriodHint), periodNote);
    model.setText(Field::RecordingMethod, "typed");
    model.recordingMethodChanged();
    EXPECT_EQ(model.text(Field::RecordingPeriodCaption), ansi("Интервал записи точек (м):"));
}

TEST(FieldModel, MacAddressFollowsTheSerialNumber) {
    FieldModel model;
    model.deviceMac = {0x00, 0x50, 0x25, 0, 0, 0};
    const std::pair<int, const char*> examples[] = {
        {90000, "00 50 25 00 00 01"},
        {89999, "00 50 25 00 00 00"},
        {99999, "00 50 25 00 27 10"},
        {1, "00 50 25 FE A0 72"},
    };
    for (const auto& [serial, shown] : examples) {
        model.showMac(serial);
        EXPECT_EQ(model.text(Field::MacAddress), shown) << serial;
    }
    model.showMac(0);  // no device: the last address stays
    EXPECT_EQ(model.text(Field::MacAddress), "00 50 25 FE A0 72");
    EXPECT_EQ(model.deviceMac[5], 0x72);
}

TEST(FieldModel, StatusLineColourAndFontAreObserved) {
    FieldModel model;
    Recorder recorder(model);
    model.setStatusColour(StatusColour::Red);
    model.setStatusFont(StatusFont::Points12);
    model.setStatusFont(StatusFont::Points12);
    EXPECT_EQ(model.statusColour(), StatusColour::Red);
    EXPECT_EQ(recorder.changes, (std::vector<Change>{{Field::StatusLine, Aspect::Colour},
                                                     {Field::StatusLine, Aspect::Font}}));
}

TEST(FieldModel, ListenersHearChangesOnlyWhileSubscribed) {
    FieldModel model;
    int heard = 0;
    {
        Subscription subscription = model.subscribe([&](Field, Aspect) { ++heard; });
        model.setText(Field::RecordingPeriod, "7");
        Subscription moved = std::move(subscription);
        model.setText(Field::RecordingPeriod, "8");
    }
    model.setText(Field::RecordingPeriod, "9");
    EXPECT_EQ(heard, 2);
}

TEST(FieldModel, AListenerMayUnsubscribeWhileBeingTold) {
    FieldModel model;
    auto own = std::make_unique<Subscription>();
    int heard = 0;
    int other = 0;
    *own = model.subscribe([&](Field, Aspect) {
        ++heard;
        own.reset();
    });
    Subscription second = model.subscribe([&](Field, Aspect) { ++other; });
    model.setText(Field::RecordingPeriod, "1");
    model.setText(Field::RecordingPeriod, "2");
    EXPECT_EQ(heard, 1);
    EXPECT_EQ(other, 2);
}

}  // namespace
}  // namespace korvan
