#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "protocol/tracker_configuration.h"
#include "protocol/tracker_facts.h"

// What each value of a tracker configuration must be for the tracker to hold it as meant. The
// same rules judge the window's fields as they are typed, a profile before any tracker is
// touched, the command line's values and the values read from a tracker; the write refuses a
// configuration that breaks one, before its link opens. Each setting of the command table
// names the rules of its values, so that a setting's rule lives with its row.
namespace korvan {

// The server password the tracker takes: exactly this many characters.

// The values that are texts; the numbers are `NumberField`s.
enum class TextField : std::uint8_t {
    AccessPoint,
    Key,
    DeviceAddress,
    Netmask,
    Gateway,
    ServerPort,
    ServerAddress,
    Password,
    // Control point 1; the other points follow in the same order.
    LatitudeHemisphere1,
    LongitudeHemisphere1,
    LastOfPoint3 = LongitudeHemisphere1 + 4,
};

constexpr TextField ofPoint(TextField ofPoint1, int n) {
    return static_cast<TextField>(static_cast<int>(ofPoint1) + (n - 1) * 2);
}

// "Порт сервера", "Полушарие широты второй контрольной точки": UTF-8.
std::string describe(TextField field);

using ValueField = std::variant<NumberField, TextField>;
std::string describe(const ValueField& field);

// A value that breaks its rule.
struct RuleBreak {
    ValueField field;
    std::string rule;     // what the value must be, UTF-8: a field's tooltip
    std::string message;  // why the write refuses it, naming the field: Windows-1251
    bool operator==(const RuleBreak&) const = default;
};

// Walks the rules of the settings a write sends and notes every value that breaks one.
// The write corrects some numbers rather than refuse them: their rule is that they are whole
// numbers, which the correction then brings into range.
class RuleJudge {
  public:
    explicit RuleJudge(const TrackerConfiguration& configuration) : configuration(configuration) {}

    // A text of the tracker's own memory: no "$" (the end of a command), no control character,
    // no ";" in a Wi-Fi module's value (the end of the value), at most `longest` bytes.
    void text(TextField field, const std::string& value, std::size_t longest, bool wifi);
    // Exactly `length` bytes, and a text as above.
    void exactText(TextField field, const std::string& value, std::size_t length);
    // Four decimal parts from 0 to 255 joined by dots, nothing else.
    void address(TextField field, const std::string& value);
    // Digits only, from 1 to 65535.
    void port(TextField field, const std::string& value);
    // Digits only, from `lowest` to `highest`; empty passes where `emptyAllowed`.
    void number(NumberField field, std::int32_t lowest, std::int32_t highest,
                bool emptyAllowed = false);
    // Digits only, a whole number the write can convert; the write then brings it within the
    // limits it corrects to. Empty passes where the write leaves it alone.
    void correctedNumber(NumberField field);
    // Must not be empty: `why` (UTF-8) says what needs it.
    void required(NumberField field, const std::string& why);
    void hemisphere(TextField field, const GeoCoordinate& coordinate, const char* letters);
    void broken(ValueField field, std::string rule, std::string message);

    const TrackerConfiguration& configuration;
    std::vector<RuleBreak> breaks;

  private:
    bool alreadyBroken(const ValueField& field) const;
};

// The rules of each setting's values, for the command table's rows.
namespace rules {
void accessPoint(RuleJudge& judge);
void encryption(RuleJudge& judge);
void deviceAddress(RuleJudge& judge);
void netmask(RuleJudge& judge);
void gateway(RuleJudge& judge);
void serverPort(RuleJudge& judge);
void serverAddress(RuleJudge& judge);
void input1(RuleJudge& judge);
void input2(RuleJudge& judge);
void point1(RuleJudge& judge);
void point2(RuleJudge& judge);
void point3(RuleJudge& judge);
void recordingPeriod(RuleJudge& judge);
void sendingPeriod(RuleJudge& judge);
void analogPeriod(RuleJudge& judge);
void counterPeriods(RuleJudge& judge);
void password(RuleJudge& judge);
}  // namespace rules

// Every value of the configuration that breaks its rule, in the order the write sends them;
// at most one break per value.
std::vector<RuleBreak> brokenRules(const TrackerConfiguration& configuration);

// The first break's message, or nothing when the configuration can be written.
std::optional<std::string> writeRefusal(const TrackerConfiguration& configuration);

}  // namespace korvan
