#include "protocol/exchange.h"

#include <algorithm>

#include "base/scan.h"

namespace korvan {
namespace {

// Every reply buffer is at least as large as the Wi-Fi module's, and one byte larger than
// what is asked, so that a full reply still ends in a zero.
constexpr std::size_t kSmallestReplyBuffer = 100;

ReplyCompletion completionFor(const ExchangeRule& rule) {
    if (rule.acceptance != Acceptance::Prefix && rule.acceptance != Acceptance::Parse) {
        return {};
    }
    return rule.end == TextEnd::Semicolon ? ReplyCompletion::wifiValue()
                                          : ReplyCompletion::wifiText();
}

std::size_t askedLength(const ExchangeRule& rule, const CommandBuffer& command) {
    if (rule.acceptance == Acceptance::Echo) {
        return command.length() > 0 ? command.length() - 1 : 0;
    }
    return rule.replyLength;
}

}  // namespace

Reply::Reply(std::size_t asked)
    : buffer_(std::max(kSmallestReplyBuffer, asked + 1), 0), asked_(asked) {}

std::string Reply::text() const {
    const auto* begin = reinterpret_cast<const char*>(buffer_.data());
    return std::string(begin, std::find(buffer_.begin(), buffer_.end(), 0) - buffer_.begin());
}

std::uint32_t Reply::number(std::size_t at, std::size_t size) const {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < size && at + i < buffer_.size(); ++i) {
        value |= static_cast<std::uint32_t>(buffer_[at + i]) << (8 * i);
    }
    return value;
}

bool Reply::startsWith(std::string_view expected) const {
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const char got = i < buffer_.size() ? static_cast<char>(buffer_[i]) : '\0';
        if (got != expected[i]) {
            return false;
        }
        if (got == '\0') {
            return true;
        }
    }
    return true;
}

bool accepts(const ExchangeRule& rule, const CommandBuffer& command, Reply& reply) {
    switch (rule.acceptance) {
        case Acceptance::Count:
            return reply.count() == rule.replyLength;
        case Acceptance::Echo:
            return reply.count() == askedLength(rule, command);
        case Acceptance::Prefix: {
            if (!reply.startsWith(rule.pattern)) {
                return false;
            }
            // The last byte received closes the value (";"); it is not part of it.
            const auto bytes = reply.bytes();
            const std::size_t end = bytes.empty() ? 0 : bytes.size() - 1;
            std::string value;
            for (std::size_t i = rule.pattern.size(); i < end && bytes[i] != 0; ++i) {
                value += static_cast<char>(bytes[i]);
            }
            reply.value = std::move(value);
            return true;
        }
        case Acceptance::Parse: {
            std::size_t wanted = 0;
            for (auto at = rule.pattern.find("%d"); at != std::string_view::npos;
                 at = rule.pattern.find("%d", at + 2)) {
                ++wanted;
            }
            auto numbers = scanNumbers(reply.text(), rule.pattern);
            if (numbers.size() != wanted) {
                return false;
            }
            reply.numbers = std::move(numbers);
            return true;
        }
    }
    return false;
}

bool echoMatches(const Reply& reply, const CommandBuffer& command) {
    const auto expected = command.text().substr(0, reply.count());
    return reply.count() + 1 == command.length() && reply.startsWith(expected);
}

ExchangeResult exchange(Link& link, const ExchangeRule& rule,
                        const std::function<void(int attempt)>& retrying) {
    const std::size_t asked = askedLength(rule, link.commandText);
    ExchangeResult result{false, 0, Reply(asked)};
    for (int attempt = 1; attempt <= kExchangeAttempts; ++attempt) {
        if (link.interrupted()) {
            result.interrupted = true;
            return result;
        }
        if (attempt > 1 && retrying) {
            retrying(attempt);
        }
        Reply reply = askOnce(link, asked, completionFor(rule));
        if (link.interrupted()) {
            // A reply cut off by a cancel or an unplug may still pass a prefix or a scan: it
            // is not taken.
            result = ExchangeResult{false, attempt, std::move(reply), true};
            return result;
        }
        const bool accepted = accepts(rule, link.commandText, reply);
        result = ExchangeResult{accepted, attempt, std::move(reply), false};
        if (accepted) {
            return result;
        }
        pauseUnlessInterrupted(link, kPauseAfterFailedAttempt);
    }
    result.interrupted = link.interrupted();
    return result;
}

Reply askOnce(Link& link, std::size_t asked, ReplyCompletion completion) {
    link.purgePort();
    link.sendCommand();
    Reply reply(asked);
    reply.setCount(link.readPort(reply.readInto(), completion));
    return reply;
}

void pauseUnlessInterrupted(Link& link, Clock::Duration pause) {
    constexpr Clock::Duration kSlice = std::chrono::milliseconds(20);
    while (pause > Clock::Duration::zero() && !link.interrupted()) {
        const auto slice = std::min(pause, kSlice);
        link.clock().sleepFor(slice);
        pause -= slice;
    }
}

}  // namespace korvan
