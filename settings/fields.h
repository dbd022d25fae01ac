#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Every configuration field and every piece of display state of the main window, under the name
// of its control. The window finds its widget by this name; the core refers to it by `Field`.
namespace korvan {

#define KORVAN_POINT_FIELDS(X, n)                                                           \
    X(Point##n##NS)                                                                         \
    X(Point##n##Latd)                                                                       \
    X(Point##n##Latm)                                                                       \
    X(Point##n##Latmm)                                                                      \
    X(Point##n##EW) X(Point##n##Lond) X(Point##n##Lonm) X(Point##n##Lonmm) X(Point##n##Rad) \
        X(Point##n##InGPRS) X(Point##n##OutGPRS) X(Point##n##InOut) X(Point##n##OutOut)     \
            X(edPoint##n##OnTime)

#define KORVAN_FIELDS(X)                                                                        \
    /* data server */                                                                           \
    X(ip)                                                                                       \
    X(port)                                                                                     \
    X(edPassword) /* recording */                                                               \
    X(WriteMethod)                                                                              \
    X(Edit1)                                                                                    \
    X(Edit2) X(WideWrite) X(StaticBox) /* Wi-Fi network */                                      \
        X(WiFiName) X(NoEncr) X(WEP) X(Sert) X(bit64) X(RadioButton7) X(WiFiKey) X(AutoIP)      \
            X(RadioButton6) X(DevIP) X(Netmask) X(DefGW) /* digital inputs */                   \
        X(InputBox1) X(InputBox2) X(InputBox3) X(InputBox4) X(GPRS1) X(GPRS2) X(GPRS3) X(GPRS4) \
            X(RadioButton1) X(RadioButton2) X(RadioButton3) X(RadioButton4) X(CheckBox1)        \
                X(CheckBox2) X(CheckBox3) X(CheckBox4) X(TempBox1) X(TempBox2) X(TempBox3)      \
                    X(TempBox4) X(CounterTime) X(CounterTime34) /* analogue inputs */           \
        X(AnalogTime) X(AnalogWrite1) X(AnalogWrite2) X(Ain1) X(Ain2) X(Usr1) X(Usr2)           \
            X(AnalogMethod) /* control points */                                                \
        KORVAN_POINT_FIELDS(X, 1) KORVAN_POINT_FIELDS(X, 2)                                     \
            KORVAN_POINT_FIELDS(X, 3) /* program option */                                      \
        X(UnReadBox) X(VerifyBox)     /* display state set by operations */                     \
        X(SerNum) X(Panel16) X(MacView) X(DbFileName) X(WiFiLabel) X(Label17) X(LabelNDIST)     \
            X(CommandInfo) X(Button5)

#define KORVAN_FIELD_ENUMERATOR(name) name,
enum class Field : std::uint8_t { KORVAN_FIELDS(KORVAN_FIELD_ENUMERATOR) };
#undef KORVAN_FIELD_ENUMERATOR

#define KORVAN_FIELD_COUNTER(name) +1
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
    Encryption,  // NoEncr, WEP
    KeySize,     // bit64, RadioButton7
    Address,     // AutoIP, RadioButton6
    Input1,      // RadioButtonN, CheckBoxN, TempBoxN: the type of digital input N
    Input2,
    Input3,
    Input4,
};

// The data server that a tracker sends its track to unless the technician enters another. The
// maker has not published one here, so this is an address of the documentation range that a
// real installation replaces; it is the one place that names it.
inline constexpr std::string_view kDataServerAddress = "192.0.2.10";
inline constexpr std::string_view kDataServerPort = "2224";
// A WEP key written as text: 5 characters for a 64-bit key, 13 for a 128-bit one.
inline constexpr int kWepKeyLength64 = 5;
inline constexpr int kWepKeyLength128 = 13;
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
constexpr bool IsSecret(Field field) {
    return field == Field::edPassword || field == Field::WiFiKey;
}
std::optional<Field> fieldByName(std::string_view name);
// The members of a radio group, in field order.
const std::vector<Field>& groupMembers(RadioGroup group);

// Fields that come in numbered runs: input n = 1..4, analogue input n = 1..2, control point
// n = 1..3. `first` is the field of number 1.
constexpr Field numbered(Field first, int n) {
    return static_cast<Field>(indexOf(first) + n - 1);
}
inline constexpr int kPointFieldCount = indexOf(Field::Point2NS) - indexOf(Field::Point1NS);
constexpr Field ofPoint(Field fieldOfPoint1, int n) {
    return static_cast<Field>(indexOf(fieldOfPoint1) + (n - 1) * kPointFieldCount);
}

static_assert(numbered(Field::TempBox1, 4) == Field::TempBox4);
static_assert(numbered(Field::Usr1, 2) == Field::Usr2);
static_assert(ofPoint(Field::edPoint1OnTime, 3) == Field::edPoint3OnTime);
static_assert(ofPoint(Field::Point1Lonmm, 2) == Field::Point2Lonmm);

}  // namespace korvan
