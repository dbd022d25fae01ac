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
    EXPECT_EQ(fieldByName("edPassword"), Field::edPassword);
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
    EXPECT_TRUE(model.checked(Field::NoEncr));
    EXPECT_TRUE(model.checked(Field::RadioButton3));
    EXPECT_EQ(groupMembers(RadioGroup::Input2),
              (std::vector<Field>{Field::RadioButton2, Field::CheckBox2, Field::TempBox2}));
    for (int n = 1; n <= 3; ++n) {
        EXPECT_FALSE(model.enabled(ofPoint(Field::edPoint1OnTime, n)));
        EXPECT_EQ(model.text(ofPoint(Field::Point1Rad, n)), "");
    }
    EXPECT_EQ(model.itemIndex(Field::WriteMethod), 0);
    EXPECT_EQ(model.itemIndex(Field::AnalogMethod), 1);
    EXPECT_EQ(model.text(Field::Point2NS), "N");
    EXPECT_EQ(model.text(Field::SerNum), ansi("Номер"));
    EXPECT_EQ(model.text(Field::MacView), "00 00 00 00 00 00");
    EXPECT_EQ(model.maxLength(Field::edPassword), 8);
    EXPECT_EQ(model.maxLength(Field::Point3Lond), 3);
}

TEST(FieldModel, SelectingARadioButtonUnselectsTheRestOfItsGroupOnly) {
    FieldModel model;
    Recorder recorder(model);
    model.setChecked(Field::TempBox2, true);
    EXPECT_TRUE(model.checked(Field::TempBox2));
    EXPECT_FALSE(model.checked(Field::RadioButton2));
    EXPECT_FALSE(model.checked(Field::CheckBox2));
    EXPECT_TRUE(model.checked(Field::RadioButton1));
    EXPECT_TRUE(model.checked(Field::RadioButton3));
    EXPECT_EQ(recorder.count(Field::RadioButton2), 1);
    EXPECT_EQ(recorder.count(Field::TempBox2), 1);

    model.setChecked(Field::CheckBox2, true);
    EXPECT_FALSE(model.checked(Field::TempBox2));
    EXPECT_TRUE(model.checked(Field::CheckBox2));
}

TEST(FieldModel, SettingTheSameValueAgainChangesNothingAndTellsNoOne) {
    FieldModel model;
    Recorder recorder(model);
    model.setChecked(Field::NoEncr, true);
    model.setChecked(Field::GPRS1, false);
    model.setText(Field::port, "2224");
    model.setItemIndex(Field::Sert, 0);
    model.setEnabled(Field::ip, true);
    EXPECT_TRUE(recorder.changes.empty());
}

TEST(FieldModel, EncryptionChoiceEnablesTheKeyFieldsAndKeepsTheKey) {
    FieldModel model;
    model.NoEncrClick();
    EXPECT_FALSE(model.enabled(Field::WiFiKey));
    model.setChecked(Field::WEP, true);
    model.setText(Field::WiFiKey, "abcde");
    EXPECT_TRUE(model.enabled(Field::WiFiKey));
    EXPECT_TRUE(model.enabled(Field::bit64));
    EXPECT_TRUE(model.enabled(Field::RadioButton7));
    model.setChecked(Field::NoEncr, true);
    EXPECT_FALSE(model.enabled(Field::WiFiKey));
    EXPECT_FALSE(model.enabled(Field::bit64));
    EXPECT_FALSE(model.enabled(Field::RadioButton7));
    EXPECT_EQ(model.text(Field::WiFiKey), "abcde");
    EXPECT_TRUE(model.enabled(Field::WiFiName));
    EXPECT_TRUE(model.enabled(Field::Sert));
}

TEST(FieldModel, AddressChoiceEnablesTheFixedAddressFields) {
    FieldModel model;
    model.AutoIPClick();
    EXPECT_FALSE(model.enabled(Field::DevIP));
    model.setChecked(Field::RadioButton6, true);
    for (Field f : {Field::DevIP, Field::Netmask, Field::DefGW}) {
        EXPECT_TRUE(model.enabled(f));
    }
    model.setText(Field::DevIP, "10.0.0.7");
    model.setChecked(Field::AutoIP, true);
    for (Field f : {Field::DevIP, Field::Netmask, Field::DefGW}) {
        EXPECT_FALSE(model.enabled(f));
    }
    EXPECT_EQ(model.text(Field::DevIP), "10.0.0.7");
}

TEST(FieldModel, KeySizeSetsKeyLengthAndCaptionButKeepsTheTypedKey) {
    FieldModel model;
    model.bit64Click();
    EXPECT_EQ(model.maxLength(Field::WiFiKey), 5);
    EXPECT_EQ(model.text(Field::WiFiLabel), ansi("Ключ сети (5 символов)"));
    model.setChecked(Field::RadioButton7, true);
    EXPECT_EQ(model.maxLength(Field::WiFiKey), 13);
    EXPECT_EQ(model.text(Field::WiFiLabel), ansi("Ключ сети (13 символов)"));
    model.setText(Field::WiFiKey, "0123456789abc");
    model.setChecked(Field::bit64, true);
    EXPECT_EQ(model.maxLength(Field::WiFiKey), 5);
    EXPECT_EQ(model.text(Field::WiFiKey), "0123456789abc");
}

TEST(FieldModel, SendBoxAndCounterTypeExcludeEachOtherPerInput) {
    FieldModel model;
    model.setChecked(Field::CheckBox2, true);
    model.setChecked(Field::CheckBox3, true);
    model.setChecked(Field::GPRS1, true);

    model.setChecked(Field::GPRS2, true);  // back to an ordinary input
    EXPECT_TRUE(model.checked(Field::RadioButton2));
    EXPECT_FALSE(model.checked(Field::CheckBox2));
    EXPECT_TRUE(model.checked(Field::CheckBox3));
    EXPECT_TRUE(model.checked(Field::GPRS1));

    model.setChecked(Field::TempBox2, true);  // a counter never sends on its trigger
    EXPECT_FALSE(model.checked(Field::GPRS2));
    EXPECT_TRUE(model.checked(Field::GPRS1));

    model.setChecked(Field::GPRS4, true);
    model.setChecked(Field::RadioButton4, true);  // type A has no reaction of its own
    EXPECT_TRUE(model.checked(Field::GPRS4));
}

TEST(FieldModel, RecordingAnAnalogueInputAsDigitalSetsItsAveragingToOne) {
    FieldModel model;
    model.setText(Field::Usr1, "30");
    model.setText(Field::Usr2, "40");
    model.setChecked(Field::AnalogWrite1, true);
    EXPECT_EQ(model.text(Field::Usr1), "1");
    EXPECT_EQ(model.text(Field::Usr2), "40");
    model.setText(Field::Usr1, "25");
    model.setChecked(Field::AnalogWrite1, false);
    EXPECT_EQ(model.text(Field::Usr1), "25");
}

TEST(FieldModel, SendTimeIsEnabledWhileEitherSendingBoxOfItsPointIsTicked) {
    FieldModel model;
    model.setChecked(Field::Point2InGPRS, true);
    EXPECT_TRUE(model.enabled(Field::edPoint2OnTime));
    EXPECT_FALSE(model.enabled(Field::edPoint1OnTime));
    EXPECT_FALSE(model.enabled(Field::edPoint3OnTime));
    model.setChecked(Field::Point2OutGPRS, true);
    model.setChecked(Field::Point2InGPRS, false);
    EXPECT_TRUE(model.enabled(Field::edPoint2OnTime));
    model.setChecked(Field::Point2OutGPRS, false);
    EXPECT_FALSE(model.enabled(Field::edPoint2OnTime));
    model.setChecked(Field::Point3InOut, true);  // the hidden output boxes enable nothing
    EXPECT_FALSE(model.enabled(Field::edPoint3OnTime));
}

TEST(FieldModel, AReactionFiresOncePerChangeAndNotForAButtonUnselectedByAnother) {
    FieldModel model;
    model.setText(Field::Usr1, "30");
    Recorder recorder(model);
    model.setChecked(Field::AnalogWrite1, true);
    model.setChecked(Field::AnalogWrite1, true);
    EXPECT_EQ(recorder.count(Field::Usr1), 1);

    model.NoEncrClick();  // as start-up does
    recorder.changes.clear();
    model.setChecked(Field::WEP, true);
    EXPECT_EQ(recorder.count(Field::WiFiKey, Aspect::Enabled), 1);
    model.setChecked(Field::WEP, true);  // already selected: nothing runs
    model.setChecked(Field::NoEncr, true);
    EXPECT_EQ(recorder.count(Field::WiFiKey, Aspect::Enabled), 2);

    // Ticking the send box unselects the counter type; were the counter's reaction to run for
    // that, it would clear the box again.
    model.setChecked(Field::CheckBox1, true);
    model.setChecked(Field::GPRS1, true);
    EXPECT_TRUE(model.checked(Field::GPRS1));
    EXPECT_TRUE(model.checked(Field::RadioButton1));
}

TEST(FieldModel, ComboTextSelectsTheItemItNamesExactly) {
    FieldModel model;
    model.setText(Field::Point1NS, "S");
    EXPECT_EQ(model.itemIndex(Field::Point1NS), 1);
    model.setText(Field::Point1NS, "x");
    EXPECT_EQ(model.itemIndex(Field::Point1NS), -1);
    EXPECT_EQ(model.text(Field::Point1NS), "x");
    model.setItemIndex(Field::WriteMethod, 1);
    EXPECT_EQ(model.text(Field::WriteMethod), ansi("Адаптивная запись"));
    model.setItemIndex(Field::WriteMethod, 2);
    EXPECT_EQ(model.itemIndex(Field::WriteMethod), -1);
    EXPECT_EQ(model.text(Field::WriteMethod), "");
}

TEST(FieldModel, RecordingMethodCaptionsFollowTheMethod) {
    FieldModel model;
    const std::string periodCaption = model.text(Field::Label17);
    const std::string periodNote = model.text(Field::LabelNDIST);
    EXPECT_EQ(periodCaption, ansi("Период записи точек (сек):"));

    model.setItemIndex(Field::WriteMethod, 1);
    model.WriteMethodChange();
    EXPECT_EQ(model.text(Field::Label17), ansi("Интервал записи точек (м):"));
    EXPECT_EQ(model.text(Field::LabelNDIST),
              ansi("Интервал записи - минимальное расстояние, через которое при движении будут "
                   "добавляться записи"));
    model.setItemIndex(Field::WriteMethod, 0);
    model.WriteMethodChange();
    EXPECT_EQ(model.text(Field::Label17), periodCaption);
    EXPECT_EQ(model.text(Field::LabelNDIST), periodNote);
    model.setText(Field::WriteMethod, "typed");
    model.WriteMethodChange();
    EXPECT_EQ(model.text(Field::Label17), ansi("Интервал записи точек (м):"));
}

TEST(FieldModel, MacAddressFollowsTheSerialNumber) {
    FieldModel model;
    model.DeviceMac = {0x00, 0x50, 0x25, 0, 0, 0};
    const std::pair<int, const char*> examples[] = {
        {90000, "00 50 25 00 00 01"},
        {89999, "00 50 25 00 00 00"},
        {99999, "00 50 25 00 27 10"},
        {1, "00 50 25 FE A0 72"},
    };
    for (const auto& [serial, shown] : examples) {
        model.ShowMac(serial);
        EXPECT_EQ(model.text(Field::MacView), shown) << serial;
    }
    model.ShowMac(0);  // no device: the last address stays
    EXPECT_EQ(model.text(Field::MacView), "00 50 25 FE A0 72");
    EXPECT_EQ(model.DeviceMac[5], 0x72);
}

TEST(FieldModel, StatusLineColourAndFontAreObserved) {
    FieldModel model;
    Recorder recorder(model);
    model.setStatusColour(StatusColour::Red);
    model.setStatusFont(StatusFont::Points12);
    model.setStatusFont(StatusFont::Points12);
    EXPECT_EQ(model.statusColour(), StatusColour::Red);
    EXPECT_EQ(recorder.changes, (std::vector<Change>{{Field::CommandInfo, Aspect::Colour},
                                                     {Field::CommandInfo, Aspect::Font}}));
}

TEST(FieldModel, ListenersHearChangesOnlyWhileSubscribed) {
    FieldModel model;
    int heard = 0;
    {
        Subscription subscription = model.subscribe([&](Field, Aspect) { ++heard; });
        model.setText(Field::Edit1, "7");
        Subscription moved = std::move(subscription);
        model.setText(Field::Edit1, "8");
    }
    model.setText(Field::Edit1, "9");
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
    model.setText(Field::Edit1, "1");
    model.setText(Field::Edit1, "2");
    EXPECT_EQ(heard, 1);
    EXPECT_EQ(other, 2);
}

}  // namespace
}  // namespace korvan
