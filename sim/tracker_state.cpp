#include "sim/tracker_state.h"

#include <charconv>
#include <functional>
#include <limits>
#include <optional>
#include <vector>

namespace korvan::sim {
namespace {

constexpr std::string_view kHeading = "# Память симулированного трекера";
constexpr std::string_view kNothing = "-";  // an optional value that is not there

std::string hex(std::string_view bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    for (const char c : bytes) {
        const auto byte = static_cast<unsigned char>(c);
        text += kDigits[byte >> 4];
        text += kDigits[byte & 0x0F];
    }
    return text;
}

std::optional<std::string> unhex(std::string_view text) {
    if (text.size() % 2 != 0) {
        return std::nullopt;
    }
    std::string bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        unsigned value = 0;
        const auto [end, error] = std::from_chars(text.data() + i, text.data() + i + 2, value, 16);
        if (error != std::errc() || end != text.data() + i + 2) {
            return std::nullopt;
        }
        bytes += static_cast<char>(value);
    }
    return bytes;
}

template <typename Number>
std::optional<Number> decimal(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.empty()) {
        return std::nullopt;
    }
    return value;
}

// One line of the memory: how it is written from a tracker and read back into one.
struct Line {
    std::string_view name;
    std::function<std::string(const SimulatedTracker&)> save;
    std::function<bool(SimulatedTracker&, std::string_view)> load;
};

template <typename Number>
Line numberLine(std::string_view name, Number TrackerSettings::*member) {
    return {name, [member](const auto& t) { return std::to_string(t.settings.*member); },
            [member](auto& t, std::string_view value) {
                const auto number = decimal<Number>(value);
                if (number) {
                    t.settings.*member = *number;
                }
                return number.has_value();
            }};
}

Line flagLine(std::string_view name, bool TrackerSettings::*member) {
    return {name, [member](const auto& t) { return std::string(t.settings.*member ? "1" : "0"); },
            [member](auto& t, std::string_view value) {
                t.settings.*member = value == "1";
                return value == "1" || value == "0";
            }};
}

Line textLine(std::string_view name, std::string TrackerSettings::*member) {
    return {name, [member](const auto& t) { return hex(t.settings.*member); },
            [member](auto& t, std::string_view value) {
                auto bytes = unhex(value);
                if (bytes) {
                    t.settings.*member = std::move(*bytes);
                }
                return bytes.has_value();
            }};
}

// An input's or a control point's record, or "-" for one never written.
template <std::size_t Size, std::size_t Count>
Line recordLine(
    std::string_view name,
    std::array<std::optional<std::array<std::uint8_t, Size>>, Count> TrackerSettings::*member,
    std::size_t index) {
    return {name,
            [member, index](const auto& t) {
                const auto& record = (t.settings.*member)[index];
                return record ? hex({reinterpret_cast<const char*>(record->data()), Size})
                              : std::string(kNothing);
            },
            [member, index](auto& t, std::string_view value) {
                auto& record = (t.settings.*member)[index];
                if (value == kNothing) {
                    record.reset();
                    return true;
                }
                const auto bytes = unhex(value);
                if (!bytes || bytes->size() != Size) {
                    return false;
                }
                record.emplace();
                std::copy(bytes->begin(), bytes->end(), record->begin());
                return true;
            }};
}

// The server's password, or "-" for none.
Line passwordLine() {
    return {"password",
            [](const auto& t) {
                return t.settings.password ? hex(*t.settings.password) : std::string(kNothing);
            },
            [](auto& t, std::string_view value) {
                if (value == kNothing) {
                    t.settings.password.reset();
                    return true;
                }
                t.settings.password = unhex(value);
                return t.settings.password.has_value();
            }};
}

Line debugLogLine() {
    return {"debug-log",
            [](const auto& t) {
                return hex({reinterpret_cast<const char*>(t.debugLog.data()), t.debugLog.size()});
            },
            [](auto& t, std::string_view value) {
                const auto bytes = unhex(value);
                if (bytes) {
                    t.debugLog.assign(bytes->begin(), bytes->end());
                }
                return bytes.has_value();
            }};
}

Line debugPointerLine() {
    return {"debug-pointer", [](const auto& t) { return std::to_string(t.debugPointer); },
            [](auto& t, std::string_view value) {
                const auto pointer = decimal<std::uint32_t>(value);
                if (pointer) {
                    t.debugPointer = *pointer;
                }
                return pointer.has_value();
            }};
}

const std::vector<Line>& lines() {
    using S = TrackerSettings;
    static const std::vector<Line> kLines = [] {
        std::vector<Line> all = {
            numberLine("recording-period", &S::recordingPeriod),
            numberLine("rate-second-argument", &S::rateSecondArgument),
            numberLine("sending-period", &S::sendingPeriod),
            numberLine("analog-period", &S::analogPeriod),
            numberLine("counter-periods", &S::counterPeriods),
            passwordLine(),
            flagLine("record-by-time", &S::recordByTime),
            numberLine("mode", &S::mode),
            flagLine("wide-recording", &S::wideRecording),
        };
        for (std::size_t n = 0; n < 4; ++n) {
            static constexpr std::string_view kNames[] = {"input1", "input2", "input3", "input4"};
            all.push_back(recordLine(kNames[n], &S::inputs, n));
        }
        for (std::size_t n = 0; n < 3; ++n) {
            static constexpr std::string_view kNames[] = {"point1", "point2", "point3"};
            all.push_back(recordLine(kNames[n], &S::points, n));
        }
        const Line rest[] = {
            textLine("serial-number", &S::serialNumber),
            numberLine("dhcp", &S::dhcp),
            numberLine("authentication", &S::authentication),
            textLine("access-point", &S::accessPoint),
            numberLine("key-mode", &S::keyMode),
            textLine("key", &S::key),
            textLine("device-ip", &S::deviceIp),
            textLine("netmask", &S::netmask),
            textLine("gateway", &S::gateway),
            textLine("mac", &S::mac),
            textLine("server-ip", &S::serverIp),
            textLine("server-port", &S::serverPort),
            debugLogLine(),
            debugPointerLine(),
        };
        all.insert(all.end(), std::begin(rest), std::end(rest));
        return all;
    }();
    return kLines;
}

}  // namespace

std::string saveTrackerMemory(const SimulatedTracker& tracker) {
    std::string text = std::string(kHeading) + '\n';
    for (const Line& line : lines()) {
        text += std::string(line.name) + ' ' + line.save(tracker) + '\n';
    }
    return text;
}

bool loadTrackerMemory(std::string_view text, SimulatedTracker& tracker, std::string& error) {
    SimulatedTracker loaded = tracker;
    int number = 0;
    while (!text.empty()) {
        const auto end = text.find('\n');
        std::string_view row = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        ++number;
        if (!row.empty() && row.back() == '\r') {
            row.remove_suffix(1);
        }
        if (row.empty() || row.front() == '#') {
            continue;
        }
        const auto space = row.find(' ');
        const auto name = row.substr(0, space);
        const auto value =
            space == std::string_view::npos ? std::string_view() : row.substr(space + 1);
        const auto& all = lines();
        const auto line =
            std::find_if(all.begin(), all.end(), [name](const Line& l) { return l.name == name; });
        if (line == all.end() || !line->load(loaded, value)) {
            error = "строка " + std::to_string(number) + ": " +
                    (line == all.end() ? "неизвестное имя " : "недопустимое значение ") +
                    std::string(name);
            return false;
        }
    }
    tracker = std::move(loaded);
    return true;
}

}  // namespace korvan::sim
