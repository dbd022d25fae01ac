#include "link/wire_trace.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <optional>

#include "link/link.h"

namespace korvan {
namespace {

std::string_view asText(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Where the secret of a command lies, by the place that describes it; nothing where the
// command does not hold one there.
struct Span {
    std::size_t begin = 0;
    std::size_t end = 0;
};

std::optional<Span> secretIn(const SecretPlace& place, std::string_view command) {
    std::size_t begin = place.commandBegins.size();
    if (place.startAfter != 0) {
        const auto start = command.find(place.startAfter, begin);
        if (start == std::string_view::npos) {
            return std::nullopt;
        }
        begin = start + 1;
    }
    auto end = place.endAt != 0 ? command.rfind(place.endAt) : std::string_view::npos;
    if (end == std::string_view::npos || end < begin) {
        end = command.ends_with('$') ? command.size() - 1 : command.size();
    }
    return Span{begin, std::max(begin, end)};
}

const SecretPlace* placeOf(const SecretPlaces& places, std::string_view command) {
    for (const SecretPlace& place : places) {
        if (command.starts_with(place.commandBegins)) {
            return &place;
        }
    }
    return nullptr;
}

std::string timeStamp(Clock::Duration at) {
    const auto us = std::max<std::int64_t>(at.count(), 0);
    char text[32];
    std::snprintf(text, sizeof text, "+%5" PRId64 ".%03" PRId64 " ms", us / 1000, us % 1000);
    return text;
}

}  // namespace

std::vector<bool> secretBytesOfCommand(const SecretPlaces& places,
                                       std::span<const std::uint8_t> command) {
    std::vector<bool> secret(command.size(), false);
    const auto text = asText(command);
    const SecretPlace* place = placeOf(places, text);
    if (place == nullptr || !place->inCommand) {
        return secret;
    }
    if (const auto span = secretIn(*place, text)) {
        for (std::size_t i = span->begin; i < span->end; ++i) {
            secret[i] = true;
        }
    }
    return secret;
}

std::string maskedCommand(const SecretPlaces& places, std::string_view command) {
    std::string masked(command);
    const auto secret = secretBytesOfCommand(
        places, {reinterpret_cast<const std::uint8_t*>(command.data()), command.size()});
    for (std::size_t i = 0; i < masked.size(); ++i) {
        if (secret[i]) {
            masked[i] = '*';
        }
    }
    return masked;
}

WireTrace::WireTrace(Sink sink, SecretPlaces secrets)
    : sink_(std::move(sink)), places_(std::move(secrets)) {}

void WireTrace::opened(const LinkTarget& target) {
    secrets_.clear();
    std::string line = timeStamp(Clock::Duration::zero()) + " открыт";
    switch (target.kind) {
        case LinkTarget::Kind::UsbSerial:
            line += " трекер " + target.usbSerial;
            break;
        case LinkTarget::Kind::FirstListed:
            line += " первый трекер в списке";
            break;
        case LinkTarget::Kind::Nothing:
            break;
    }
    sink_(line);
}

void WireTrace::written(std::span<const std::uint8_t> bytes, Clock::Duration at) {
    const auto text = asText(bytes);
    const SecretPlace* place = placeOf(places_, text);
    std::optional<SecretReply> asks;
    if (place != nullptr && place->inReply) {
        std::size_t clear = place->replyClear;
        bool carries = true;
        if (place->inCommand) {
            // An echo repeats the command: its secret is where the command's was, and it is
            // awaited only where the command carried one.
            const auto own = secretIn(*place, text);
            carries = own.has_value();
            clear = own ? std::min(own->begin, clear) : clear;
        }
        if (carries) {
            asks = SecretReply{clear, place->replyEndAt, place->replyLength};
        }
    }
    if (asks) {
        // Behind any secret still awaited: the rest of an earlier reply comes first. A reply
        // that never comes makes the next ones masked in its place, which shows less, never
        // more.
        secrets_.push_back(*asks);
    }
    tellBytes(at, '>', bytes, secretBytesOfCommand(places_, bytes));
}

void WireTrace::received(std::span<const std::uint8_t> bytes, Clock::Duration at) {
    std::vector<bool> secret(bytes.size(), false);
    for (std::size_t i = 0; i < bytes.size() && !secrets_.empty(); ++i) {
        SecretReply& reply = secrets_.front();
        const std::size_t position = reply.seen++;
        secret[i] = position >= reply.clear;
        const bool ended = reply.endAt != 0 ? secret[i] && bytes[i] == reply.endAt
                                            : reply.seen >= reply.clear + reply.length;
        if (ended) {
            secrets_.pop_front();
        }
    }
    tellBytes(at, '<', bytes, secret);
}

void WireTrace::closed(Clock::Duration at) {
    sink_(timeStamp(at) + " закрыт");
}

void WireTrace::tellBytes(Clock::Duration at, char direction, std::span<const std::uint8_t> bytes,
                          const std::vector<bool>& secret) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string hex;
    std::string text;
    hex.reserve(bytes.size() * 3);
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint8_t byte = bytes[i];
        if (i > 0) {
            hex += ' ';
        }
        if (secret[i]) {
            hex += "**";
            text += '*';
            continue;
        }
        hex += kDigits[byte >> 4];
        hex += kDigits[byte & 0x0F];
        text += byte >= 0x20 && byte < 0x7F ? static_cast<char>(byte) : '.';
    }
    sink_(timeStamp(at) + ' ' + direction + ' ' + hex + "  |" + text + '|');
}

}  // namespace korvan
