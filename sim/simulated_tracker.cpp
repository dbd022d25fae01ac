#include "sim/simulated_tracker.h"

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <map>

namespace korvan::sim {
namespace {

constexpr std::string_view kInputSetting = "GSM_SET_SMS,";    // + "n," + 21 bytes + "$"
constexpr std::string_view kPointSetting = "GSM_SET_CPOINT";  // + "n," + 20 bytes + "$"
constexpr std::size_t kInputCommandLength = 14 + 21 + 1;
constexpr std::size_t kPointCommandLength = 16 + 20 + 1;
constexpr std::size_t kLongestCommand = 255;

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

// The digit of a numbered command ("GSM_GET_SMS,3$" gives 3), or 0 when out of range.
int numberIn(std::string_view command, std::size_t at, int highest) {
    if (at >= command.size() || command[at] < '1' || command[at] > '0' + highest) {
        return 0;
    }
    return command[at] - '0';
}

// The value of a Wi-Fi setting "NAME=value;$": between the "=" and the closing ";".
std::string wifiValue(std::string_view command) {
    const auto equals = command.find('=');
    const auto close = command.rfind(';');
    if (equals == std::string_view::npos || close == std::string_view::npos || close < equals) {
        return {};
    }
    return std::string(command.substr(equals + 1, close - equals - 1));
}

std::string text(std::string_view format, long number) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, std::string(format).c_str(), number);
    return buffer;
}

}  // namespace

SimulatedTracker::SimulatedTracker(std::string description, std::string serial)
    : usbDescription(std::move(description)), usbSerial(std::move(serial)) {}

SimulatedTracker SimulatedTracker::Configured(std::string usbSerial) {
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
        std::array<std::uint8_t, 21> record{};
        record[0] = flags[n];
        record[1] = 0xFF;
        record[2] = 0x43;
        s.inputs[n] = record;
    }
    // Control point 1: 55°09,01230' S, 037°36,50000' E, radius 150, send on entry for 5 min.
    std::array<std::uint8_t, 20> point{};
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

SimulatedTracker SimulatedTracker::Erased(std::string usbSerial) {
    return SimulatedTracker("Zentracor", std::move(usbSerial));
}

SimulatedTracker SimulatedTracker::Mute(std::string usbSerial) {
    SimulatedTracker tracker = Configured(std::move(usbSerial));
    tracker.mute = true;
    return tracker;
}

SimulatedTracker SimulatedTracker::PulledOutDuringWrite(std::string usbSerial) {
    SimulatedTracker tracker = Configured(std::move(usbSerial));
    tracker.injectFault({.kind = Fault::Kind::Unplug, .command = "GSM_SET_SMS,3,"});
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

Response SimulatedTracker::answer(const std::string& command) {
    auto& s = settings;
    Response r;
    r.processing = kTrackerProcessing;
    const std::string_view c = command;

    // The Wi-Fi module: read-back queries and settings echoed back without their "$".
    static const std::map<std::string_view, std::function<std::string(const TrackerSettings&)>>
        kWifiQueries = {
            {"GDHCP$", [](const auto& t) { return text("DHCP=%ld;", t.dhcp); }},
            {"GAUTH$", [](const auto& t) { return text("AUTH=%ld;", t.authentication); }},
            {"GSERIP$", [](const auto& t) { return "SERIP=" + t.serverIp + ";"; }},
            {"GSERPORT$", [](const auto& t) { return "SERPORT=" + t.serverPort + ";"; }},
            {"GDEVIP$", [](const auto& t) { return "DEVIP=" + t.deviceIp + ";"; }},
            {"GNETMASK$", [](const auto& t) { return "NETMASK=" + t.netmask + ";"; }},
            {"GDEFGW$", [](const auto& t) { return "DEFGW=" + t.gateway + ";"; }},
            {"GWKEY$",
             [](const auto& t) {
                 return text("WKEY=%ld:", t.keyMode) + (t.keyMode == 0 ? "" : t.key) + ";";
             }},
            {"GWFPOINT$", [](const auto& t) { return "WFPOINT=" + t.accessPoint + ";"; }},
        };
    if (auto query = kWifiQueries.find(c); query != kWifiQueries.end()) {
        r.processing = kWifiProcessing;
        r.bytes = query->second(s);
        return r;
    }
    static const std::map<std::string_view, std::string TrackerSettings::*> kWifiTexts = {
        {"WFPOINT=", &TrackerSettings::accessPoint}, {"DEVIP=", &TrackerSettings::deviceIp},
        {"NETMASK=", &TrackerSettings::netmask},     {"DEFGW=", &TrackerSettings::gateway},
        {"DEVMAC=", &TrackerSettings::mac},          {"SERPORT=", &TrackerSettings::serverPort},
        {"SERIP=", &TrackerSettings::serverIp},
    };
    const auto equals = c.find('=');
    if (equals != std::string_view::npos && c.back() == '$' && c.find(',') == c.npos) {
        const std::string_view name = c.substr(0, equals + 1);
        bool known = true;
        if (auto setting = kWifiTexts.find(name); setting != kWifiTexts.end()) {
            s.*(setting->second) = wifiValue(c);
        } else if (name == "DHCP=") {
            s.dhcp = static_cast<int>(numberAt(wifiValue(c)));
        } else if (name == "AUTH=") {
            s.authentication = static_cast<int>(numberAt(wifiValue(c)));
        } else if (name == "WKEY=") {
            const std::string value = wifiValue(c);  // "<mode>:<key>"
            const auto colon = value.find(':');
            s.keyMode = static_cast<int>(numberAt(value));
            s.key = colon == std::string::npos ? std::string() : value.substr(colon + 1);
        } else {
            known = false;
        }
        if (known) {
            r.processing = kWifiProcessing;
            r.bytes = command.substr(0, command.size() - 1);
            return r;
        }
    }

    // The tracker itself.
    if (c == "FL_READ_VERSION$") {
        r.bytes = firmware;
    } else if (c == "FL_GET_RATE$") {
        r.bytes = le16(s.recordingPeriod) + le16(s.rateSecondArgument);
    } else if (c == "GSM_GET_PERIODSEND$") {
        r.bytes = le32(static_cast<std::uint32_t>(s.sendingPeriod));
    } else if (c == "FL_GET_ADD_R$") {
        r.bytes = le16(s.analogPeriod);
    } else if (c == "FL_GET_COUNT_R$") {
        r.bytes = le32(s.counterPeriods);
    } else if (c == "GSM_GET_PASSWORD$") {
        r.bytes = s.password ? *s.password : empty(8);
        r.bytes.resize(8, '\0');
    } else if (c == "FL_GET_NDIST$") {
        r.bytes = s.recordByTime ? "NDIST=1" : "NDIST=0";
    } else if (c == "FL_GET_MODE$") {
        r.bytes = text("MODE=%ld", (s.mode % 10 + 10) % 10);
    } else if (c == "FL_GET_WIDE$") {
        r.bytes = s.wideRecording ? "RWIDE=0" : "RWIDE=1";
    } else if (startsWith(c, "GSM_GET_SMS,") && c.size() == 14 && c[13] == '$') {
        if (const int n = numberIn(c, 12, 4)) {
            const auto& input = s.inputs[static_cast<std::size_t>(n - 1)];
            r.bytes = input ? std::string(input->begin(), input->begin() + 5) : empty(5);
        }
    } else if (startsWith(c, "GSM_GET_CPOINT") && c.size() == 16 && c[15] == '$') {
        if (const int n = numberIn(c, 14, 3)) {
            const auto& point = s.points[static_cast<std::size_t>(n - 1)];
            r.bytes = point ? std::string(point->begin(), point->end()) : empty(20);
        }
    } else if (startsWith(c, kInputSetting) && c.size() == kInputCommandLength) {
        if (const int n = numberIn(c, 12, 4); n != 0 && c[13] == ',' && c.back() == '$') {
            std::array<std::uint8_t, 21> record{};
            std::copy(c.begin() + 14, c.begin() + 35, record.begin());
            s.inputs[static_cast<std::size_t>(n - 1)] = record;
            r.bytes = "SET_OK";
        }
    } else if (startsWith(c, kPointSetting) && c.size() == kPointCommandLength) {
        if (const int n = numberIn(c, 14, 3); n != 0 && c[15] == ',' && c.back() == '$') {
            std::array<std::uint8_t, 20> record{};
            std::copy(c.begin() + 16, c.begin() + 36, record.begin());
            s.points[static_cast<std::size_t>(n - 1)] = record;
            r.bytes = "SET_OK";
        }
    } else if (startsWith(c, "GSM_SET_SERNUM,")) {
        s.serialNumber = std::string(c.substr(15, c.size() - 16));
        r.bytes = "SET_OK";
    } else if (startsWith(c, "FL_CHANGE_WIDE,")) {
        s.wideRecording = numberAt(c.substr(15)) == 0;
        r.bytes = s.wideRecording ? "RWIDE=0" : "RWIDE=1";
    } else if (startsWith(c, "FL_SET_MODE,")) {
        s.mode = static_cast<int>(numberAt(c.substr(12)));
        r.bytes = text("MODE=%ld", (s.mode % 10 + 10) % 10);
    } else if (startsWith(c, "FL_SET_RATE,")) {
        const auto arguments = c.substr(12);
        s.recordingPeriod = static_cast<std::uint16_t>(numberAt(arguments));
        const auto comma = arguments.find(',');
        s.rateSecondArgument = static_cast<std::uint16_t>(
            comma == std::string_view::npos ? 0 : numberAt(arguments.substr(comma + 1)));
        r.bytes = le16(s.recordingPeriod) + le16(s.rateSecondArgument);
    } else if (startsWith(c, "GSM_SET_PERIODSEND,")) {
        s.sendingPeriod = static_cast<std::int32_t>(numberAt(c.substr(19)));
        r.bytes = le32(static_cast<std::uint32_t>(s.sendingPeriod));
    } else if (startsWith(c, "FL_SET_ADD_R,")) {
        s.analogPeriod = static_cast<std::uint16_t>(numberAt(c.substr(13)));
        r.bytes = le16(s.analogPeriod);
    } else if (startsWith(c, "FL_SET_COUNT_R,")) {
        s.counterPeriods = static_cast<std::uint32_t>(numberAt(c.substr(15)));
        r.bytes = le32(s.counterPeriods);
    } else if (startsWith(c, "GSM_SET_PASSWORD,")) {
        s.password = std::string(c.substr(17, c.size() - 18));
        r.bytes = "SET_OK";
    } else if (startsWith(c, "FL_CHANGE_NDIST,")) {
        s.recordByTime = numberAt(c.substr(16)) == 1;
        r.bytes = s.recordByTime ? "NDIST=1" : "NDIST=0";
    } else if (c == "DEBUG_GET_PTR$") {
        r.bytes = le32(debugPointer);
    } else if (c == "DEBUG_CLEAR_LOG$") {
        debugLog.clear();
        debugPointer = kDebugLogBase;
        r.bytes = "CLEARED\r\n";
    } else if (c == "DEBUG_LOG_SIZE$") {
        r.bytes = le32(static_cast<std::uint32_t>(debugLog.size()));
    } else if (startsWith(c, "DEBUG_READ_LOG,")) {
        const auto arguments = c.substr(15);
        const long offset = numberAt(arguments);
        const auto comma = arguments.find(',');
        const long length =
            comma == std::string_view::npos ? 0 : numberAt(arguments.substr(comma + 1));
        // The tracker sends the whole block from its log's area: what the log holds, then the
        // erased flash after it; only a block past the area's end comes short.
        for (long i = offset; i >= 0 && i < offset + length && i < kDebugLogArea; ++i) {
            const auto at = static_cast<std::size_t>(i);
            r.bytes += static_cast<char>(at < debugLog.size() ? debugLog[at] : 0xFF);
        }
    }
    // Anything else is not a command of this tracker: it stays silent.
    return r;
}

}  // namespace korvan::sim
