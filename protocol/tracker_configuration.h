#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// Everything a tracker can be told and asked, in the tracker's own terms. Texts are
// Windows-1251 bytes, as the tracker takes them.
namespace korvan {

// A number as the technician typed it. Some are sent as typed, the rest are converted at the
// step that needs them; the value rules have refused a text that is no number before that.
struct Number {
    std::string text;

    // The whole text as a decimal number: an optional sign and digits, within 32 bits.
    std::optional<std::int32_t> value() const;
    static Number of(std::int64_t number) { return {std::to_string(number)}; }
    bool operator==(const Number&) const = default;
};

enum class Encryption : std::uint8_t { None, Wep64, Wep128 };

struct WifiNetwork {
    std::string accessPoint;
    Encryption encryption = Encryption::None;
    std::string key;  // a WEP key as text: 5 characters for 64 bits, 13 for 128
    bool sharedKeyAuthentication = false;
    bool dhcp = true;  // otherwise the three addresses below are the device's own
    std::string deviceAddress;
    std::string netmask;
    std::string gateway;
};

struct DataServer {
    std::string address;
    std::string port;
    std::string password;  // 8 characters
};

enum class RecordingMethod : std::uint8_t {
    ByTime,      // a point every `period` seconds
    ByDistance,  // a point every `period` metres of movement
};

struct Recording {
    RecordingMethod method = RecordingMethod::ByTime;
    Number period;         // seconds, or metres by distance
    Number sendingPeriod;  // seconds; 0 sends nothing over Wi-Fi
    bool wideRecording = false;
    bool staticProcessing = false;  // points of a standing vehicle are filtered
    Number counterPeriod12;         // seconds, counters on inputs 1 and 2
    Number counterPeriod34;         // seconds, counters on inputs 3 and 4
};

enum class InputKind : std::uint8_t {
    Ordinary,             // limit switches, buttons, oil pressure
    AccumulatingCounter,  // fuel flow, passengers
    PeriodicCounter,      // counters read once a period
};

struct DigitalInput {
    InputKind kind = InputKind::Ordinary;
    bool triggerWhenOpen = false;  // otherwise when closed
    bool sendOverWifi = false;
};

// Inputs 1 and 2 can also be read as analogue values.
struct AnalogInput {
    Number changeThreshold;  // raw units, 0..1023
    Number averagingPeriod;  // seconds
    bool recordAsDigital = false;
};

struct Analog {
    Number pollPeriod;               // seconds
    bool atMostOncePerPoll = false;  // otherwise at least once a poll
    std::array<AnalogInput, 2> inputs;
};

struct GeoCoordinate {
    Number degrees;
    Number minutes;
    Number fraction;  // of a minute, in units of 1/100 000 minute, shown with five digits
    bool southOrWest = false;
    bool hemisphereKnown = true;  // false: the form's letter was neither of the two
};

struct ControlPoint {
    GeoCoordinate latitude;
    GeoCoordinate longitude;
    Number radius;         // metres
    Number onTimeMinutes;  // how long the output stays on
    bool outputOnEntry = false;
    bool outputOnExit = false;
    bool sendOnEntry = false;
    bool sendOnExit = false;

    // A point without degrees or radius is not sent; one with some of them is refused.
    bool placed() const {
        return !latitude.degrees.text.empty() && !longitude.degrees.text.empty() &&
               !radius.text.empty();
    }
    bool sends() const { return sendOnEntry || sendOnExit; }
};

// Who the tracker is, as detection and the version query found it.
struct TrackerIdentity {
    std::string serialNumber;  // five digits, as shown
    std::array<std::uint8_t, 6> mac{};
    std::int32_t firmware = 0;  // major × 100 + minor
};

struct TrackerConfiguration {
    TrackerIdentity identity;
    WifiNetwork network;
    DataServer server;
    Recording recording;
    std::array<DigitalInput, 4> inputs;
    Analog analog;
    std::array<ControlPoint, 3> points;
};

// The numbers of a configuration that the write corrects or converts, each with the name a
// technician knows it by.
enum class NumberField : std::uint8_t {
    RecordingPeriod,
    SendingPeriod,
    AnalogPollPeriod,
    CounterPeriod12,
    CounterPeriod34,
    Threshold1,
    Threshold2,
    Averaging1,
    Averaging2,
    // Control point 1; the other points follow in the same order.
    LatitudeDegrees1,
    LatitudeMinutes1,
    LatitudeFraction1,
    LongitudeDegrees1,
    LongitudeMinutes1,
    LongitudeFraction1,
    Radius1,
    OnTime1,
    LastOfPoint3 = OnTime1 + 16,
};

inline constexpr int kNumbersPerPoint = 8;
constexpr NumberField ofPoint(NumberField ofPoint1, int n) {
    return static_cast<NumberField>(static_cast<int>(ofPoint1) + (n - 1) * kNumbersPerPoint);
}
constexpr NumberField ofAnalog(NumberField ofInput1, int n) {
    return static_cast<NumberField>(static_cast<int>(ofInput1) + n - 1);
}

Number& numberOf(TrackerConfiguration& configuration, NumberField field);
const Number& numberOf(const TrackerConfiguration& configuration, NumberField field);
// "Период записи точек", "Радиус второй контрольной точки": UTF-8.
std::string describe(NumberField field);

}  // namespace korvan
