#include "sim/simulated_tracker.h"

#include <algorithm>
#include <cstdlib>
#include <functional>
#include <limits>
#include <map>

namespace korvan::sim {
namespace {

using InputRecord = decltype(TrackerSettings::inputs)::value_type::value_type;
using PointRecord = decltype(TrackerSettings::points)::value_type::value_type;
constexpr std::size_t kInputs = std::tuple_size_v<decltype(TrackerSettings::inputs)>;
constexpr std::size_t kInputRecordLength = std::tuple_size_v<InputRecord>;
constexpr std::size_t kPointRecordLength = std::tuple_size_v<PointRecord>;
constexpr std::size_t kInputQueryLength = 5;  // an input's query reads its record's first bytes

// The two setting commands that carry a record, "GSM_SET_SMS,n,record$" and
// "GSM_SET_CPOINTn,record$", are taken by their length.
constexpr std::string_view kInputSetting = "GSM_SET_SMS,";
constexpr std::string_view kPointSetting = "GSM_SET_CPOINT";
constexpr std::size_t kInputCommandLength = kInputSetting.size() + 2 + kInputRecordLength + 1;
constexpr std::size_t kPointCommandLength = kPointSetting.size() + 2 + kPointRecordLength + 1;
constexpr std::size_t kLongestCommand = 255;

constexpr Duration kTracker = SimulatedTracker::kTrackerProcessing;
constexpr Duration kWifi = SimulatedTracker::kWifiProcessing;

std::string le16(std::uint16_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8)};
}
std::string le32(std::uint32_t v) {
    return {static_cast<char>(v), static_cast<char>(v >> 8), static_cast<char>(v >> 16),
            static_cast<char>(v >> 24)};
}

// "EMPTY" filled out with zero bytes to the reply's length.
std::string empty(std::size_t length) {
    std::string reply = "EMPTY";
    reply.resize(length, '\0');
    return reply;
}

bool startsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

// The decimal number at the start of `text`, as the tracker's firmware reads it.
long numberAt(std::string_view text) {
    return std::strtol(std::string(text).c_str(), nullptr, 10);
}

// The number after the first "," of `arguments` ("30,0" gives 0), or 0 when there is none.
long secondNumber(std::string_view arguments) {
    const auto comma = arguments.find(',');
    return comma == std::string_view::npos ? 0 : numberAt(arguments.substr(comma + 1));
}

// A command as the firmware takes it apart: "NAME$", "NAME,arguments$" or "NAME=value;$".
struct Command {
    std::string_view name;       // up to the first ",", "=" or "$"
    char separator = '$';        // which of them ends the name
    std::string_view arguments;  // after the separator, up to the closing "$"
};

// Nothing else is a command. Only a record command, taken by its length, can come without its
// closing "$", or with a "$" before its name has ended: then its number is not followed by ",".
std::optional<Command> split(std::string_view text) {
    if (text.empty() || text.back() != '$') {
        return std::nullopt;
    }
    const std::string_view body = text.substr(0, text.size() - 1);
    const auto end = body.find_first_of(",=$");
    if (end == std::string_view::npos) {
        return Command{body, '$', {}};
    }
    if (body[end] == '$') {
        return std::nullopt;
    }
    return Command{body.substr(0, end), body[end], body.substr(end + 1)};
}

// A reply, or none when the command's arguments are not ones it takes: it is then taken in
// silence, as any command the tracker does not know.
using Reply = std::optional<std::string>;

// What the tracker does with one command: the separator its name comes with, the time the
// tracker (or its Wi-Fi module) takes over it, and the reply to its arguments.
struct Handler {
    char separator;
    Duration processing;
    std::function<Reply(SimulatedTracker&, std::string_view arguments)> answer;
};

// The Wi-Fi module.

// A setting of the Wi-Fi module: "NAME=value;$" sets it and comes back without its "$", and
// "GNAME$" reads it back as "NAME=value;".
struct WifiSetting {
    std::string_view name;
    std::string_view query;  // none: the module does not report it
    std::string (*read)(const TrackerSettings&);
    void (*write)(TrackerSettings&, const std::string& value);
};

template <std::string TrackerSettings::*Field>
constexpr WifiSetting wifiText(std::string_view name, std::string_view query) {
    return {name, query, [](const TrackerSettings& s) { return s.*Field; },
            [](TrackerSettings& s, const std::string& value) { s.*Field = value; }};
}

template <int TrackerSettings::*Field>
constexpr WifiSetting wifiNumber(std::string_view name, std::string_view query) {
    return {name, query, [](const TrackerSettings& s) { return std::to_string(s.*Field); },
            [](TrackerSettings& s, const std::string& value) {
                s.*Field = static_cast<int>(numberAt(value));
            }};
}

// The key goes as "<mode>:<key>" and reads back without the key when there is none.
constexpr WifiSetting kWifiKey = {
    "WKEY", "GWKEY",
    [](const TrackerSettings& s) {
        return std::to_string(s.keyMode) + ":" + (s.keyMode == 0 ? "" : s.key);
    },
    [](TrackerSettings& s, const std::string& value) {
        const auto colon = value.find(':');
        s.keyMode = static_cast<int>(numberAt(value));
        s.key = colon == std::string::npos ? std::string() : value.substr(colon + 1);
    }};

constexpr WifiSetting kWifiSettings[] = {
    wifiNumber<&TrackerSettings::dhcp>("DHCP", "GDHCP"),
    wifiNumber<&TrackerSettings::authentication>("AUTH", "GAUTH"),
    wifiText<&TrackerSettings::accessPoint>("WFPOINT", "GWFPOINT"),
    kWifiKey,
    wifiText<&TrackerSettings::deviceIp>("DEVIP", "GDEVIP"),
    wifiText<&TrackerSettings::netmask>("NETMASK", "GNETMASK"),
    wifiText<&TrackerSettings::gateway>("DEFGW", "GDEFGW"),
    wifiText<&TrackerSettings::mac>("DEVMAC", ""),
    wifiText<&TrackerSettings::serverPort>("SERPORT", "GSERPORT"),
    wifiText<&TrackerSettings::serverIp>("SERIP", "GSERIP"),
};

// The value runs up to the last ";", so it may hold ";" itself; without one it is empty.
std::string wifiValue(std::string_view arguments) {
    const auto close = arguments.rfind(';');
    return close == std::string_view::npos ? std::string()
                                           : std::string(arguments.substr(0, close));
}

Handler wifiQuery(const WifiSetting& setting) {
    return {'$', kWifi, [&setting](SimulatedTracker& tracker, std::string_view) -> Reply {
                return std::string(setting.name) + "=" + setting.read(tracker.settings) + ";";
            }};
}

Handler wifiChange(const WifiSetting& setting) {
    return {'=', kWifi, [&setting](SimulatedTracker& tracker, std::string_view value) -> Reply {
                // With a "," it is the tracker's own command, and it has none by this name.
                if (value.find(',') != std::string_view::npos) {
                    return std::nullopt;
                }
                setting.write(tracker.settings, wifiValue(value));
                return std::string(setting.name) + "=" + std::string(value);
            }};
}

// The tracker's own settings.

// A setting that "QUERY$" reads, and "CHANGE,arguments$" sets and answers as the query then
// would.
struct TrackerSetting {
    std::string_view query;
    std::string_view change;
    std::string (*read)(const TrackerSettings&);
    void (*write)(TrackerSettings&, std::string_view arguments);
};

constexpr TrackerSetting kTrackerSettings[] = {
    {"FL_GET_RATE", "FL_SET_RATE",
     [](const TrackerSettings& s) { return le16(s.recordingPeriod) + le16(s.rateSecondArgument); },
     [](TrackerSettings& s, std::string_view arguments) {
         s.recordingPeriod = static_cast<std::uint16_t>(numberAt(arguments));
         s.rateSecondArgument = static_cast<std::uint16_t>(secondNumber(arguments));
     }},
    {"GSM_GET_PERIODSEND", "GSM_SET_PERIODSEND",
     [](const TrackerSettings& s) { return le32(static_cast<std::uint32_t>(s.sendingPeriod)); },
     [](TrackerSettings& s, std::string_view arguments) {
         s.sendingPeriod = static_cast<std::int32_t>(numberAt(arguments));
     }},
    {"FL_GET_ADD_R", "FL_SET_ADD_R", [](const TrackerSettings& s) { return le16(s.analogPeriod); },
     [](TrackerSettings& s, std::string_view arguments) {
         s.analogPeriod = static_cast<std::uint16_t>(numberAt(arguments));
     }},
    {"FL_GET_COUNT_R", "FL_SET_COUNT_R",
     [](const TrackerSettings& s) { return le32(s.counterPeriods); },
     [](TrackerSettings& s, std::string_view arguments) {
         s.counterPeriods = static_cast<std::uint32_t>(numberAt(arguments));
     }},
    {"FL_GET_NDIST", "FL_CHANGE_NDIST",
     [](const TrackerSettings& s) { return std::string(s.recordByTime ? "NDIST=1" : "NDIST=0"); },
     [](TrackerSettings& s, std::string_view arguments) {
         s.recordByTime = numberAt(arguments) == 1;
     }},
    {"FL_GET_MODE", "FL_SET_MODE",
     [](const TrackerSettings& s) { return "MODE=" + std::to_string((s.mode % 10 + 10) % 10); },
     [](TrackerSettings& s, std::string_view arguments) {
         s.mode = static_cast<int>(numberAt(arguments));
     }},
    {"FL_GET_WIDE", "FL_CHANGE_WIDE",
     [](const TrackerSettings& s) { return std::string(s.wideRecording ? "RWIDE=0" : "RWIDE=1"); },
     [](TrackerSettings& s, std::string_view arguments) {
         s.wideRecording = numberAt(arguments) == 0;
     }},
};

Handler settingQuery(const TrackerSetting& setting) {
    return {'$', kTracker, [&setting](SimulatedTracker& tracker, std::string_view) -> Reply {
                return setting.read(tracker.settings);
            }};
}

Handler settingChange(const TrackerSetting& setting) {
    return {',', kTracker, [&setting](SimulatedTracker& tracker, std::string_view arguments) {
                setting.write(tracker.settings, arguments);
                return Reply(setting.read(tracker.settings));
            }};
}

// The password reads back as its 8 bytes, and is set without being read back.
Reply readPassword(SimulatedTracker& tracker, std::string_view) {
    const auto& password = tracker.settings.password;
    std::string reply = password ? *password : empty(8);
    reply.resize(8, '\0');
    return reply;
}

Reply setPassword(SimulatedTracker& tracker, std::string_view password) {
    tracker.settings.password = std::string(password);
    return "SET_OK";
}

// Identity.

Reply readVersion(SimulatedTracker& tracker, std::string_view) {
    return tracker.firmware;
}

Reply setSerialNumber(SimulatedTracker& tracker, std::string_view serialNumber) {
    tracker.settings.serialNumber = std::string(serialNumber);
    return "SET_OK";
}

// Inputs: "GSM_GET_SMS,n$" and "GSM_SET_SMS,n,record$".

// The input named by its number's one digit, counted from 0; none for any other.
std::optional<std::size_t> inputNamed(char digit) {
    if (digit < '1' || digit > static_cast<char>('0' + kInputs)) {
        return std::nullopt;
    }
    return static_cast<std::size_t>(digit - '1');
}

Reply readInput(SimulatedTracker& tracker, std::string_view arguments) {
    const auto n = arguments.size() == 1 ? inputNamed(arguments[0]) : std::nullopt;
    if (!n) {
        return std::nullopt;
    }
    const auto& input = tracker.settings.inputs[*n];
    return input ? std::string(input->begin(), input->begin() + kInputQueryLength)
                 : empty(kInputQueryLength);
}

// The arguments are the input's number, a "," and the record.
Reply setInput(SimulatedTracker& tracker, std::string_view arguments) {
    if (arguments.size() != 2 + kInputRecordLength || arguments[1] != ',') {
        return std::nullopt;
    }
    const auto n = inputNamed(arguments[0]);
    if (!n) {
        return std::nullopt;
    }
    InputRecord& input = tracker.settings.inputs[*n].emplace();
    std::copy(arguments.begin() + 2, arguments.end(), input.begin());
    return "SET_OK";
}

// Control points: "GSM_GET_CPOINTn$" and "GSM_SET_CPOINTn,record$", the number in the name.

constexpr std::string_view kPointQueries[] = {"GSM_GET_CPOINT1", "GSM_GET_CPOINT2",
                                              "GSM_GET_CPOINT3"};
constexpr std::string_view kPointChanges[] = {"GSM_SET_CPOINT1", "GSM_SET_CPOINT2",
                                              "GSM_SET_CPOINT3"};
static_assert(std::size(kPointQueries) == std::tuple_size_v<decltype(TrackerSettings::points)>);
static_assert(std::size(kPointChanges) == std::size(kPointQueries));

Handler pointQuery(std::size_t n) {
    return {'$', kTracker, [n](SimulatedTracker& tracker, std::string_view) -> Reply {
                const auto& point = tracker.settings.points[n];
                return point ? std::string(point->begin(), point->end())
                             : empty(kPointRecordLength);
            }};
}

Handler pointChange(std::size_t n) {
    return {',', kTracker, [n](SimulatedTracker& tracker, std::string_view record) -> Reply {
                if (record.size() != kPointRecordLength) {
                    return std::nullopt;
                }
                PointRecord& point = tracker.settings.points[n].emplace();
                std::copy(record.begin(), record.end(), point.begin());
                return "SET_OK";
            }};
}

// The debug log.

Reply readDebugPointer(SimulatedTracker& tracker, std::string_view) {
    return le32(tracker.debugPointer);
}

Reply readDebugLogSize(SimulatedTracker& tracker, std::string_view) {
    return le32(static_cast<std::uint32_t>(tracker.debugLog.size()));
}

Reply clearDebugLog(SimulatedTracker& tracker, std::string_view) {
    tracker.debugLog.clear();
    tracker.debugPointer = SimulatedTracker::kDebugLogBase;
    return "CLEARED\r\n";
}

// "DEBUG_READ_LOG,offset,length$". The tracker sends the whole block from its log's area: what
// the log holds, then the erased flash after it; only a block past the area's end comes short.
Reply readDebugLog(SimulatedTracker& tracker, std::string_view arguments) {
    const long offset = numberAt(arguments);
    const long length = secondNumber(arguments);
    std::string block;
    for (long i = offset; i >= 0 && i < offset + length && i < SimulatedTracker::kDebugLogArea;
         ++i) {
        const auto at = static_cast<std::size_t>(i);
        block += static_cast<char>(at < tracker.debugLog.size() ? tracker.debugLog[at] : 0xFF);
    }
    return block;
}

// Every command the tracker and its Wi-Fi module know, by name.
const std::map<std::string_view, Handler>& handlers() {
    static const auto kHandlers = [] {
        std::map<std::string_view, Handler> all = {
            {"FL_READ_VERSION", {'$', kTracker, readVersion}},
            {"GSM_SET_SERNUM", {',', kTracker, setSerialNumber}},
            {"GSM_GET_PASSWORD", {'$', kTracker, readPassword}},
            {"GSM_SET_PASSWORD", {',', kTracker, setPassword}},
            {"GSM_GET_SMS", {',', kTracker, readInput}},
            {"GSM_SET_SMS", {',', kTracker, setInput}},
            {"DEBUG_GET_PTR", {'$', kTracker, readDebugPointer}},
            {"DEBUG_LOG_SIZE", {'$', kTracker, readDebugLogSize}},
            {"DEBUG_CLEAR_LOG", {'$', kTracker, clearDebugLog}},
            {"DEBUG_READ_LOG", {',', kTracker, readDebugLog}},
        };
        for (const TrackerSetting& setting : kTrackerSettings) {
            all.emplace(setting.query, settingQuery(setting));
            all.emplace(setting.change, settingChange(setting));
        }
        for (std::size_t n = 0; n < std::size(kPointQueries); ++n) {
            all.emplace(kPointQueries[n], pointQuery(n));
            all.emplace(kPointChanges[n], pointChange(n));
        }
        for (const WifiSetting& setting : kWifiSettings) {
            all.emplace(setting.name, wifiChange(setting));
            if (!setting.query.empty()) {
                all.emplace(setting.query, wifiQuery(setting));
            }
        }
        return all;
    }();
    return kHandlers;
}

}  // namespace

SimulatedTracker::SimulatedTracker(std::string description, std::string serial)
    : usbDescription(std::move(description)), usbSerial(std::move(serial)) {}

SimulatedTracker SimulatedTracker::configured(std::string usbSerial) {
    SimulatedTracker tracker("Zentracor", std::move(usbSerial));
    auto& s = tracker.settings;
    s.recordingPeriod = 10;
    s.rateSecondArgument = 0;
    s.sendingPeriod = 300;
    s.analogPeriod = 600;
    s.counterPeriods = 3600;  // inputs 1 and 2 every hour, inputs 3 and 4 off
    s.password = "Fleet_07";
    s.recordByTime = true;
    s.mode = 1;
    s.wideRecording = true;
    // Input 1: ordinary, sends over Wi-Fi when closed; input 2: accumulating counter; inputs
    // 3 and 4 ordinary. Thresholds 1023, averaging 16 s.
    const std::array<std::uint8_t, 4> flags = {0x7B, 0x5F, 0x7F, 0x7F};
    for (std::size_t n = 0; n < 4; ++n) {
        InputRecord record{};
        record[0] = flags[n];
        record[1] = 0xFF;
        record[2] = 0x43;
        s.inputs[n] = record;
    }
    // Control point 1: 55°09,01230' S, 037°36,50000' E, radius 150, send on entry for 5 min.
    PointRecord point{};
    const std::string words =
        le32(0xFFFFFFFD) + le32(0xA0D615EE) + le32(373'650'000) + le32(150) + le32(300);
    std::copy(words.begin(), words.end(), point.begin());
    s.points[0] = point;
    s.dhcp = 1;
    s.authentication = 0;
    s.accessPoint = "Depot-North";
    s.keyMode = 1;
    s.key = "k3y05";
    s.serverIp = "192.0.2.10";
    s.serverPort = "2224";
    s.serialNumber = tracker.usbSerial;
    for (int i = 0; i < 600; ++i) {
        tracker.debugLog.push_back(static_cast<std::uint8_t>(i * 7 + 3));
    }
    tracker.debugPointer = kDebugLogBase + static_cast<std::uint32_t>(tracker.debugLog.size());
    return tracker;
}

SimulatedTracker SimulatedTracker::erased(std::string usbSerial) {
    return SimulatedTracker("Zentracor", std::move(usbSerial));
}

SimulatedTracker SimulatedTracker::muted(std::string usbSerial) {
    SimulatedTracker tracker = configured(std::move(usbSerial));
    tracker.mute = true;
    return tracker;
}

SimulatedTracker SimulatedTracker::pulledOutDuringWrite(std::string usbSerial) {
    SimulatedTracker tracker = configured(std::move(usbSerial));
    tracker.injectFault({.kind = Fault::Kind::Unplug, .command = "GSM_SET_SMS,3,"});
    return tracker;
}

SimulatedTracker SimulatedTracker::withoutModeAndWideRecording(std::string usbSerial) {
    SimulatedTracker tracker = configured(std::move(usbSerial));
    for (const char* query : {"FL_GET_MODE$", "FL_GET_WIDE$"}) {
        tracker.injectFault({.kind = Fault::Kind::NoReply,
                             .command = query,
                             .times = std::numeric_limits<int>::max() / 2});
    }
    return tracker;
}

SimulatedTracker SimulatedTracker::keepingItsServerPort(std::string usbSerial) {
    SimulatedTracker tracker = configured(std::move(usbSerial));
    tracker.injectFault({.kind = Fault::Kind::NotKept,
                         .command = "SERPORT=",
                         .times = std::numeric_limits<int>::max() / 2});
    return tracker;
}

void SimulatedTracker::injectFault(Fault fault) {
    faults_.push_back({std::move(fault), 0});
}

void SimulatedTracker::clearRecord() {
    received_.clear();
    commands_.clear();
}

std::optional<Response> SimulatedTracker::receive(std::uint8_t byte) {
    received_.push_back(byte);
    pending_ += static_cast<char>(byte);
    // The two setting commands that carry a record have a fixed length: a "$" inside the
    // record does not end them.
    std::size_t fixedLength = 0;
    if (startsWith(pending_, kInputSetting) && pending_.size() >= kInputSetting.size() + 2) {
        fixedLength = kInputCommandLength;
    } else if (startsWith(pending_, kPointSetting) && pending_.size() >= kPointSetting.size() + 2) {
        fixedLength = kPointCommandLength;
    }
    const bool complete =
        fixedLength != 0 ? pending_.size() == fixedLength : static_cast<char>(byte) == '$';
    if (!complete) {
        if (pending_.size() > kLongestCommand) {
            pending_.clear();  // line noise: the firmware drops its buffer
        }
        return std::nullopt;
    }
    std::string command;
    command.swap(pending_);
    commands_.push_back(command);
    // A setting the tracker acknowledges and then does not keep, as a flash write that failed
    // after the reply: the reply is the one a kept setting gives.
    const TrackerSettings before = settings;
    Response response = mute ? Response{} : answer(command);
    if (applyFaults(command, response)) {
        settings = before;
    }
    if (mute) {
        response.bytes.clear();
    }
    return response;
}

bool SimulatedTracker::applyFaults(const std::string& command, Response& response) {
    bool notKept = false;
    for (auto& armed : faults_) {
        if (!startsWith(command, armed.fault.command)) {
            continue;
        }
        ++armed.seen;
        const auto& f = armed.fault;
        if (armed.seen < f.occurrence || armed.seen >= f.occurrence + f.times) {
            continue;
        }
        switch (f.kind) {
            case Fault::Kind::NoReply:
                response.bytes.clear();
                break;
            case Fault::Kind::ShortReply:
                response.bytes.resize(std::min(f.keep, response.bytes.size()));
                break;
            case Fault::Kind::WrongReply:
                response.bytes = f.replacement;
                break;
            case Fault::Kind::WrongEcho:
                if (!response.bytes.empty()) {
                    char& changed = response.bytes[response.bytes.size() / 2];
                    changed = changed == '#' ? '*' : '#';
                }
                break;
            case Fault::Kind::Garbage:
                for (std::size_t i = 0; i < response.bytes.size(); ++i) {
                    response.bytes[i] = static_cast<char>(0xA5 ^ (i * 37));
                }
                break;
            case Fault::Kind::SplitReply:
                response.pauseAfter = f.keep;
                response.pause = f.pause;
                break;
            case Fault::Kind::Unplug:
                response.bytes.clear();
                response.unplug = true;
                break;
            case Fault::Kind::NotKept:
                notKept = true;
                break;
        }
    }
    return notKept;
}

Response SimulatedTracker::answer(const std::string& text) {
    // Anything that is not a command of this tracker is taken in silence.
    Response response;
    response.processing = kTrackerProcessing;
    const auto command = split(text);
    if (!command) {
        return response;
    }
    const auto handler = handlers().find(command->name);
    if (handler == handlers().end() || handler->second.separator != command->separator) {
        return response;
    }
    if (auto reply = handler->second.answer(*this, command->arguments)) {
        response.bytes = std::move(*reply);
        response.processing = handler->second.processing;
    }
    return response;
}

}  // namespace korvan::sim
