#include "sim/tracker_choices.h"

#include <algorithm>
#include <charconv>
#include <vector>

namespace korvan::sim {
namespace {

struct KindName {
    Fault::Kind kind;
    std::string_view name;
};

constexpr KindName kFaultKinds[] = {
    {Fault::Kind::NoReply, "no-reply"},       {Fault::Kind::ShortReply, "short-reply"},
    {Fault::Kind::WrongReply, "wrong-reply"}, {Fault::Kind::WrongEcho, "wrong-echo"},
    {Fault::Kind::Garbage, "garbage"},        {Fault::Kind::SplitReply, "split-reply"},
    {Fault::Kind::Unplug, "unplug"},          {Fault::Kind::NotKept, "not-kept"},
};

bool allDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// The tracker counts occurrences in an int: a fault's numbers stay well inside one.
constexpr int kLargest = 1'000'000'000;

// A whole number from `least` to a billion; nothing otherwise.
std::optional<int> number(std::string_view text, int least) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < least ||
        value > kLargest) {
        return std::nullopt;
    }
    return value;
}

}  // namespace

std::optional<SimulatedTracker> makeTracker(std::string_view kind, std::string usbSerial) {
    if (kind == "configured") {
        return SimulatedTracker::configured(std::move(usbSerial));
    }
    if (kind == "erased") {
        return SimulatedTracker::erased(std::move(usbSerial));
    }
    if (kind == "mute") {
        return SimulatedTracker::muted(std::move(usbSerial));
    }
    if (kind == "pulled-out-during-write" || kind == "pulled-out") {
        return SimulatedTracker::pulledOutDuringWrite(std::move(usbSerial));
    }
    if (kind == "without-mode") {
        return SimulatedTracker::withoutModeAndWideRecording(std::move(usbSerial));
    }
    if (kind == "port-not-kept") {
        return SimulatedTracker::keepingItsServerPort(std::move(usbSerial));
    }
    return std::nullopt;
}

std::string_view faultKindName(Fault::Kind kind) {
    for (const auto& known : kFaultKinds) {
        if (known.kind == kind) {
            return known.name;
        }
    }
    return {};
}

std::optional<Fault> parseFaultChoice(std::string_view text, std::string& error) {
    const auto colon = text.find(':');
    const auto kindName = text.substr(0, colon);
    const auto kind = std::find_if(std::begin(kFaultKinds), std::end(kFaultKinds),
                                   [kindName](const KindName& k) { return k.name == kindName; });
    if (kind == std::end(kFaultKinds)) {
        error = "неизвестный вид сбоя «" + std::string(kindName) +
                "»: no-reply, short-reply, wrong-reply, wrong-echo, garbage, split-reply, unplug";
        return std::nullopt;
    }
    std::string_view command =
        colon == std::string_view::npos ? std::string_view() : text.substr(colon + 1);
    // Up to three numbers at the end, TIMES first.
    std::vector<std::string_view> numbers;
    for (auto last = command.rfind(':'); last != std::string_view::npos && numbers.size() < 3 &&
                                         allDigits(command.substr(last + 1));
         last = command.rfind(':')) {
        numbers.insert(numbers.begin(), command.substr(last + 1));
        command = command.substr(0, last);
    }
    if (command.empty()) {
        error = "не указана команда, на которую трекер ответит сбоем";
        return std::nullopt;
    }
    Fault fault{.kind = kind->kind, .command = std::string(command)};
    fault.keep = 1;
    fault.pause = kDefaultSplitPause;
    fault.replacement = std::string(kWrongReply);
    if (!numbers.empty()) {
        const auto times = number(numbers[0], 1);
        if (!times) {
            error =
                "число повторов сбоя должно быть от 1 до 1000000000: " + std::string(numbers[0]);
            return std::nullopt;
        }
        fault.times = *times;
    }
    if (numbers.size() > 1) {
        const auto keep = number(numbers[1], 0);
        if (!keep) {
            error =
                "число оставляемых байтов должно быть до 1000000000: " + std::string(numbers[1]);
            return std::nullopt;
        }
        fault.keep = static_cast<std::size_t>(*keep);
    }
    if (numbers.size() > 2) {
        const auto pause = number(numbers[2], 0);
        if (!pause) {
            error = "пауза должна быть до 1000000000 мс: " + std::string(numbers[2]);
            return std::nullopt;
        }
        fault.pause = std::chrono::milliseconds(*pause);
    }
    return fault;
}

}  // namespace korvan::sim
