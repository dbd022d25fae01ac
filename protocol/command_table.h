#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "link/command_buffer.h"
#include "link/wire_trace.h"
#include "protocol/exchange.h"
#include "protocol/tracker_configuration.h"

// The one table of the tracker's settings: for each, how the tracker is asked for it and how
// its reply is taken, how it is set and how that reply is judged, and what a failure tells.
// The read and the write walk it in their fixed orders.
namespace korvan {

class RuleJudge;

enum class Setting : std::uint8_t {
    // The Wi-Fi module's settings, each confirmed by its echo.
    Addressing,
    Authentication,
    AccessPoint,
    Encryption,
    DeviceAddress,
    Netmask,
    Gateway,
    Mac,
    ServerPort,
    ServerAddress,
    // The tracker's own.
    Input1,
    Input2,
    Input3,
    Input4,
    SerialNumber,
    WideRecording,
    StaticProcessing,
    Point1,
    Point2,
    Point3,
    RecordingPeriod,
    SendingPeriod,
    AnalogPeriod,
    CounterPeriods,
    Password,
    RecordingMethod,  // the last: a new setting goes before it
};
inline constexpr Setting kLastSetting = Setting::RecordingMethod;

// A number that the write changed before sending it, as the field should now show it.
struct Correction {
    NumberField field;
    std::string text;
    bool operator==(const Correction&) const = default;
};

// What a set command is formatted from. The write's own copy of the configuration: what the
// write corrects on the way is corrected here and noted.
class SetContext {
  public:
    explicit SetContext(TrackerConfiguration& configuration) : configuration(configuration) {}

    // The field's number; a field without one is noted, and the write ends.
    std::optional<std::int32_t> number(NumberField field);
    void correct(NumberField field, std::string text);

    TrackerConfiguration& configuration;
    std::vector<Correction> corrections;
    std::optional<NumberField> notANumber;
};

enum class Encoded : std::uint8_t { Ready, Skipped, NotANumber };
enum class Decoded : std::uint8_t {
    Taken,
    Erased,   // the tracker's memory is erased there: it is not configured
    Nothing,  // nothing to take, and nothing wrong
    Unread,   // the reply did not hold the setting: cut short of its end, or unreadable
};

// How the status line shows an accepted reply to a set command.
enum class ReplyShown : std::uint8_t {
    ReplyText,
    Ok,         // "OK"
    SetOk,      // "SET_OK" when the reply says so
    FirstByte,  // the first byte as a number
    Unsigned16,
    Signed32,
    Nothing,
};

struct QueryCommand {
    const char* command = nullptr;  // none: the tracker is never asked for it
    ExchangeRule rule;
    bool fatal = true;
    const char* failure = nullptr;  // UTF-8
    bool showsCommand = false;      // the status line shows the command once it is answered
    Decoded (*decode)(const Reply&, TrackerConfiguration&) = nullptr;
};

struct SetCommand {
    Encoded (*encode)(SetContext&, CommandBuffer&) = nullptr;
    ExchangeRule rule;
    bool fatal = true;
    const char* failure = nullptr;   // UTF-8
    const char* mismatch = nullptr;  // an echo that differs: this, then the echo
    ReplyShown shown = ReplyShown::Nothing;
    const char* rejected = nullptr;  // a reply without "SET_OK" is told as a failure
};

struct SettingCommands {
    Setting setting;
    const char* title;  // what the step does, for the progress line (UTF-8)
    QueryCommand query;
    SetCommand set;
    bool fixedAddressOnly = false;  // asked and set only when the device has its own address
    // Notes each of the setting's values that breaks its rule (value_rules.h); none when the
    // setting has no value a technician gives.
    void (*rules)(RuleJudge&) = nullptr;
    // Where the setting's commands and replies carry a password or a key: the wire trace and
    // every shown command mask it there.
    std::span<const SecretPlace> secrets = {};
};

const SettingCommands& commandsFor(Setting setting);

// Every place of the table's rows where a password or a key travels.
const SecretPlaces& trafficSecrets();
// `command` (or a reply shown as it came) with its password or key masked by "*".
std::string maskSecrets(std::string_view command);

// The read asks in this order, after the firmware version.
extern const std::vector<Setting> kReadOrder;
// The write sends the Wi-Fi module's settings, then the tracker's, then its recording method
// last, once the device is recorded.
extern const std::vector<Setting> kNetworkWriteOrder;
extern const std::vector<Setting> kTrackerWriteOrder;

// The limits that the write brings numbers into, in place, before it sends them.
enum class LimitPhase : std::uint8_t {
    BeforeOpening,  // all of them before the link opens
    AfterNetwork,   // once the Wi-Fi module has taken its settings
};
struct FieldLimit {
    LimitPhase phase;
    NumberField field;
    std::optional<std::int32_t> lowest;
    std::optional<std::int32_t> highest;
    bool zeroAllowed = false;   // 0 is a setting of its own and is kept
    bool emptyAllowed = false;  // an empty field is left alone: what it belongs to is not sent
};
std::span<const FieldLimit> fieldLimits();

}  // namespace korvan
