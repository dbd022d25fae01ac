#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/link.h"

namespace korvan {

// How a reply is judged before the exchange counts as done. A reply that fails is asked for
// again; one that passes is never asked for again, whatever its content turns out to be.
enum class Acceptance : std::uint8_t {
    Count,   // exactly the length asked for
    Prefix,  // starts with `pattern`; the value is the rest without the last byte (";")
    Parse,   // matches the scan format `pattern` with all its numbers
    Echo,    // as many bytes as the command without its "$"; the content is judged afterwards
};

// Where a Wi-Fi module's reply (Prefix or Parse) ends, which decides whether the read waits for
// the line to go quiet after a ";".
enum class TextEnd : std::uint8_t {
    // The value may hold ";" itself (the access point's name, the key): only the line's
    // silence after a ";" tells that it was the last.
    QuietAfterSemicolon,
    // The value cannot hold ";" (a number, an address, a port): its ";" ends the reply.
    Semicolon,
};

struct ExchangeRule {
    Acceptance acceptance = Acceptance::Count;
    std::size_t replyLength = 0;  // for Echo it follows from the command
    std::string_view pattern;
    TextEnd end = TextEnd::QuietAfterSemicolon;
};

// One reply as read: a zero-filled buffer, so that it also reads as zero-terminated text.
class Reply {
  public:
    explicit Reply(std::size_t asked = 0);

    std::span<std::uint8_t> readInto() { return {buffer_.data(), asked_}; }
    void setCount(std::size_t count) { count_ = count; }

    std::size_t count() const { return count_; }
    std::span<const std::uint8_t> bytes() const { return {buffer_.data(), count_}; }
    // The reply up to its first zero byte.
    std::string text() const;
    // The little-endian unsigned number in `size` bytes (at most 4) from `at`.
    std::uint32_t number(std::size_t at, std::size_t size) const;
    // Byte by byte over the length of `expected`, stopping early at a zero byte that both
    // have at the same place.
    bool startsWith(std::string_view expected) const;

    std::string value;         // the rest after an accepted prefix
    std::vector<int> numbers;  // the numbers of an accepted scan

  private:
    std::vector<std::uint8_t> buffer_;
    std::size_t asked_ = 0;
    std::size_t count_ = 0;
};

struct ExchangeResult {
    bool accepted = false;
    int attempts = 0;
    Reply reply;
    // Cancelled or the device gone: no further attempt was made.
    bool interrupted = false;
};

// Up to ten attempts of the command that stands in the link's command buffer: purge, send,
// read, judge; a failed attempt is followed by a 100 ms pause. A cancel or a device that is
// gone ends the attempts at once.
// `retrying` hears of every attempt after the first, before it is made.
ExchangeResult exchange(Link& link, const ExchangeRule& rule,
                        const std::function<void(int attempt)>& retrying = {});

// The command in the link's buffer sent once, its reply not judged: purge, send, and a read
// of up to `asked` bytes. What exchange repeats, and what the one-shot service commands do.
Reply askOnce(Link& link, std::size_t asked, ReplyCompletion completion = {});

// Waits on the link's clock, in slices short enough that a cancel is seen soon.
void pauseUnlessInterrupted(Link& link, Clock::Duration pause);

inline constexpr int kExchangeAttempts = 10;
inline constexpr auto kPauseAfterFailedAttempt = std::chrono::milliseconds(100);

// Judges one reply by the rule; fills its value or numbers when it passes.
bool accepts(const ExchangeRule& rule, const CommandBuffer& command, Reply& reply);
// Whether an accepted echo repeats the command it answers.
bool echoMatches(const Reply& reply, const CommandBuffer& command);

}  // namespace korvan
