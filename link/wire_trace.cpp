#include "link/wire_trace.h"

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <optional>

#include "link/link.h"
#include "protocol/tracker_facts.h"

namespace korvan {
namespace {

constexpr std::string_view kSetPassword = "GSM_SET_PASSWORD,";
constexpr std::string_view kGetPassword = "GSM_GET_PASSWORD$";
constexpr std::string_view kSetKey = "WKEY=";
constexpr std::string_view kGetKey = "GWKEY$";
// "WKEY=n:": where the key begins in the reply to "GWKEY$". A wider number only moves the key
// further on, so masking from here never shows a byte of it.
constexpr std::size_t kKeyInReply = 7;
// The reply to "GSM_GET_PASSWORD$": the password's bytes.
constexpr std::size_t kPasswordReply = kPasswordLength;

std::string_view asText(std::span<const std::uint8_t> bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
}

// Where the key of "WKEY=n:key;$" begins, and where it ends (its ";", or the end).
struct KeySpan {
    std::size_t begin = 0;
    std::size_t end = 0;
};

std::optional<KeySpan> keyOfSetting(std::string_view command) {
    if (!command.starts_with(kSetKey)) {
        return std::nullopt;
    }
    const auto colon = command.find(':', kSetKey.size());
    if (colon == std::string_view::npos) {
        return std::nullopt;
    }
    auto end = command.rfind(';');
    if (end == std::string_view::npos || end <= colon) {
        end = command.ends_with('$') ? command.size() - 1 : command.size();
    }
    return KeySpan{colon + 1, end};
}

std::string timeStamp(Clock::Duration at) {
    const auto us = std::max<std::int64_t>(at.count(), 0);
    char text[32];
    std::snprintf(text, sizeof text, "+%5" PRId64 ".%03" PRId64 " ms", us / 1000, us % 1000);
    return text;
}

}  // namespace

std::vector<bool> SecretBytesOfCommand(std::span<const std::uint8_t> command) {
    std::vector<bool> secret(command.size(), false);
    const auto text = asText(command);
    std::size_t begin = 0;
    std::size_t end = 0;
    if (text.starts_with(kSetPassword)) {
        begin = kSetPassword.size();
        end = text.ends_with('$') ? text.size() - 1 : text.size();
    } else if (const auto key = keyOfSetting(text)) {
        begin = key->begin;
        end = key->end;
    }
    for (std::size_t i = begin; i < end; ++i) {
        secret[i] = true;
    }
    return secret;
}

std::string MaskedCommand(std::string_view command) {
    std::string masked(command);
    const auto secret = SecretBytesOfCommand(
        {reinterpret_cast<const std::uint8_t*>(command.data()), command.size()});
    for (std::size_t i = 0; i < masked.size(); ++i) {
        if (secret[i]) {
            masked[i] = '*';
        }
    }
    return masked;
}

WireTrace::WireTrace(Sink sink) : sink_(std::move(sink)) {}

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
    std::optional<SecretReply> asks;
    if (text.starts_with(kGetPassword)) {
        asks = SecretReply{0, false, kPasswordReply};
    } else if (text.starts_with(kGetKey)) {
        asks = SecretReply{kKeyInReply, true, 0};
    } else if (const auto key = keyOfSetting(text)) {
        // The setting's echo carries the key.
        asks = SecretReply{std::min(key->begin, kKeyInReply), true, 0};
    }
    if (asks) {
        // Behind any secret still awaited: the rest of an earlier reply comes first. A reply
        // that never comes makes the next ones masked in its place, which shows less, never
        // more.
        secrets_.push_back(std::move(*asks));
    }
    tellBytes(at, '>', bytes, SecretBytesOfCommand(bytes));
}

void WireTrace::received(std::span<const std::uint8_t> bytes, Clock::Duration at) {
    std::vector<bool> secret(bytes.size(), false);
    for (std::size_t i = 0; i < bytes.size() && !secrets_.empty(); ++i) {
        SecretReply& reply = secrets_.front();
        const std::size_t position = reply.seen++;
        secret[i] = position >= reply.clear;
        const bool ended = reply.toSemicolon ? secret[i] && bytes[i] == ';'
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
