#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "protocol/tracker_facts.h"

// Every configuration field and every piece of display state of the main window. The code names
// a field by what it holds (`Field`); its control keeps a name of its own (`FieldInfo::name`),
// by which the window finds the widget.
namespace korvan {

// clang-format off
// Each field: X(its name in the code, the name of its control). The control's name is the
// widget's objectName, by which the window finds it and the window tests name it.
#define KORVAN_POINT_FIELDS(X, n) \
    X(Point##n##LatitudeHemisphere, Point##n##NS) \
    X(Point##n##LatitudeDegrees, Point##n##Latd) \
    X(Point##n##LatitudeMinutes, Point##n##Latm) \
    X(Point##n##LatitudeFraction, Point##n##Latmm) \
    X(Point##n##LongitudeHemisphere, Point##n##EW) \
    X(Point##n##LongitudeDegrees, Point##n##Lond) \
    X(Point##n##LongitudeMinutes, Point##n##Lonm) \
    X(Point##n##LongitudeFraction, Point##n##Lonmm) \
    X(Point##n##Radius, Point##n##Rad) \
    X(Point##n##SendOnEntry, Point##n##InGPRS) \
    X(Point##n##SendOnExit, Point##n##OutGPRS) \
    X(Point##n##OutputOnEntry, Point##n##InOut) \
    X(Point##n##OutputOnExit, Point##n##OutOut) \
    X(Point##n##OnTime, edPoint##n##OnTime)

#define KORVAN_FIELDS(X) \
    /* data server */ \
    X(ServerAddress, ip) \
    X(ServerPort, port) \
    X(ServerPassword, edPassword) \
    /* recording */ \
    X(RecordingMethod, WriteMethod) \
    X(RecordingPeriod, Edit1) \
    X(SendingPeriod, Edit2) \
    X(WideRecording, WideWrite) \
    X(StaticProcessing, StaticBox) \
    /* Wi-Fi network */ \
    X(AccessPoint, WiFiName) \
    X(NoEncryption, NoEncr) \
    X(WepEncryption, WEP) \
    X(Authentication, Sert) \
    X(Key64Bit, bit64) \
    X(Key128Bit, RadioButton7) \
    X(NetworkKey, WiFiKey) \
    X(AutomaticAddress, AutoIP) \
    X(FixedAddress, RadioButton6) \
    X(DeviceAddress, DevIP) \
    X(Netmask, Netmask) \
    X(Gateway, DefGW) \
    /* digital inputs */ \
    X(InputTrigger1, InputBox1) \
    X(InputTrigger2, InputBox2) \
    X(InputTrigger3, InputBox3) \
    X(InputTrigger4, InputBox4) \
    X(InputSendsAtOnce1, GPRS1) \
    X(InputSendsAtOnce2, GPRS2) \
    X(InputSendsAtOnce3, GPRS3) \
    X(InputSendsAtOnce4, GPRS4) \
    X(InputOrdinary1, RadioButton1) \
    X(InputOrdinary2, RadioButton2) \
    X(InputOrdinary3, RadioButton3) \
    X(InputOrdinary4, RadioButton4) \
    X(InputAccumulating1, CheckBox1) \
    X(InputAccumulating2, CheckBox2) \
    X(InputAccumulating3, CheckBox3) \
    X(InputAccumulating4, CheckBox4) \
    X(InputPeriodic1, TempBox1) \
    X(InputPeriodic2, TempBox2) \
    X(InputPeriodic3, TempBox3) \
    X(InputPeriodic4, TempBox4) \
    X(CounterPeriod12, CounterTime) \
    X(CounterPeriod34, CounterTime34) \
    /* analogue inputs */ \
    X(AnalogPollPeriod, AnalogTime) \
    X(AnalogAsDigital1, AnalogWrite1) \
    X(AnalogAsDigital2, AnalogWrite2) \
    X(AnalogThreshold1, Ain1) \
    X(AnalogThreshold2, Ain2) \
    X(AnalogAveraging1, Usr1) \
    X(AnalogAveraging2, Usr2) \
    X(AnalogRecordingMethod, AnalogMethod) \
    /* control points */ \
    KORVAN_POINT_FIELDS(X, 1) KORVAN_POINT_FIELDS(X, 2) KORVAN_POINT_FIELDS(X, 3) \
    /* program options */ \
    X(ReadIdentityOnly, UnReadBox) \
    X(VerifyAfterWrite, VerifyBox) \
    /* display state set by operations */ \
    X(SerialNumber, SerNum) \
    X(FirmwareVersion, Panel16) \
    X(MacAddress, MacView) \
    X(DatabaseName, DbFileName) \
    X(NetworkKeyCaption, WiFiLabel) \
    X(RecordingPeriodCaption, Label17) \
    X(RecordingPeriodHint, LabelNDIST) \
    X(StatusLine, CommandInfo) \
    X(WriteButton, Button5)
// clang-format on

#define KORVAN_FIELD_ENUMERATOR(name, control) name,
enum class Field : std::uint8_t { KORVAN_FIELDS(KORVAN_FIELD_ENUMERATOR) };
#undef KORVAN_FIELD_ENUMERATOR

#define KORVAN_FIELD_COUNTER(name, control) +1
inline constexpr int kFieldCount = 0 KORVAN_FIELDS(KORVAN_FIELD_COUNTER);
#undef KORVAN_FIELD_COUNTER

enum class FieldKind : std::uint8_t {
    Edit,    // value is its text
    Combo,   // value is its item index, and its text for the hemisphere boxes
    Check,   // value is its checked state
    Radio,   // checked state; selecting one unselects the rest of its group
    Label,   // text that operations show; the user cannot edit it
    Button,  // only its enabled state is kept
};

enum class RadioGroup : std::uint8_t {
    None,
    Encryption,  // NoEncryption, WepEncryption
    KeySize,     // Key64Bit, Key128Bit
    Address,     // AutomaticAddress, FixedAddress
    Input1,      // InputOrdinaryN, InputAccumulatingN, InputPeriodicN: the kind of input N
    Input2,
    Input3,
    Input4,
};

// The data server that a tracker sends its track to unless the technician enters another. The
// maker has not published one here, so this is an address of the documentation range that a
// real installation replaces; it is the one place that names it.
inline constexpr std::string_view kDataServerAddress = "192.0.2.10";
inline constexpr std::string_view kDataServerPort = "2224";
// The maker's web address that the window's link label shows and opens. A placeholder of the
// reserved ".example" domain, in this one place, until the maker names its site.
inline constexpr std::string_view kMakerWebAddress = "zentracor.example";

struct FieldInfo {
    std::string_view name;
    FieldKind kind = FieldKind::Edit;
    std::string initialText;  // Windows-1251
    int initialIndex = -1;
    bool initialChecked = false;
    bool initiallyEnabled = true;
    int maxLength = 0;  // 0: no limit
    RadioGroup group = RadioGroup::None;
    std::vector<std::string> items;  // Windows-1251
};

constexpr int indexOf(Field field) {
    return static_cast<int>(field);
}

const FieldInfo& fieldInfo(Field field);
// The fields whose values are secrets (the server password and the network key): never shown
// in a message, a list of differences or on a terminal.
constexpr bool isSecret(Field field) {
    return field == Field::ServerPassword || field == Field::NetworkKey;
}
std::optional<Field> fieldByName(std::string_view name);
// The members of a radio group, in field order.
const std::vector<Field>& groupMembers(RadioGroup group);

// Fields that come in numbered runs: input n = 1..4, analogue input n = 1..2, control point
// n = 1..3. `first` is the field of number 1.
constexpr Field numbered(Field first, int n) {
    return static_cast<Field>(indexOf(first) + n - 1);
}
inline constexpr int kPointFieldCount =
    indexOf(Field::Point2LatitudeHemisphere) - indexOf(Field::Point1LatitudeHemisphere);
constexpr Field ofPoint(Field fieldOfPoint1, int n) {
    return static_cast<Field>(indexOf(fieldOfPoint1) + (n - 1) * kPointFieldCount);
}

static_assert(numbered(Field::InputPeriodic1, 4) == Field::InputPeriodic4);
static_assert(numbered(Field::AnalogAveraging1, 2) == Field::AnalogAveraging2);
static_assert(ofPoint(Field::Point1OnTime, 3) == Field::Point3OnTime);
static_assert(ofPoint(Field::Point1LongitudeFraction, 2) == Field::Point2LongitudeFraction);

}  // namespace korvan
