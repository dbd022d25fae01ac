#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "link/link_observer.h"

namespace korvan {

// Where a password or a key lies in the traffic of one kind of command, as the protocol's
// command table describes it: the trace itself knows no command.
struct SecretPlace {
    std::string_view commandBegins;  // the commands it is about: those whose text begins so
    // In the command itself: from after its first `startAfter` byte past `commandBegins` (none:
    // right after `commandBegins`) to before its last `endAt` byte (none, or none after the
    // start: before its closing "$").
    bool inCommand = false;
    char startAfter = 0;
    char endAt = 0;
    // In its reply: the first `replyClear` bytes show (fewer where the command's own secret
    // began sooner, as an echo repeats the command), then the secret, up to the reply's
    // `replyEndAt` byte, or for `replyLength` bytes where that is none.
    bool inReply = false;
    std::size_t replyClear = 0;
    char replyEndAt = 0;
    std::size_t replyLength = 0;
};
using SecretPlaces = std::vector<SecretPlace>;

// Which bytes of a command are a password or a key. One flag a byte.
std::vector<bool> secretBytesOfCommand(const SecretPlaces& places,
                                       std::span<const std::uint8_t> command);
// The text of a command, or of a setting's echo, with each secret byte replaced by "*": for
// whatever shows commands and the replies shown as they came.
std::string maskedCommand(const SecretPlaces& places, std::string_view command);

// Writes the link's traffic as text, one line an event, to `sink`:
//   "+   12.345 ms > 46 4C 5F 47 45 54 5F 52 41 54 45 24  |FL_GET_RATE$|"
// with the time since the link opened, ">" for what was sent and "<" for what came back, the
// bytes in hex and as text (a byte that is not printable ASCII shows as "."). Passwords and keys
// never show: each of their bytes is "**" in the hex and "*" in the text, in the commands that
// set them and in the replies to the commands that ask for or echo them (`SecretPlace`). A reply is
// masked by the exchange it answers, not by the last command sent: bytes of a secret that come
// late, after the next command has gone, are masked all the same; where it cannot be told whose
// bytes they are, they are taken for the secret's, and only their count shows.
class WireTrace final : public LinkObserver {
  public:
    using Sink = std::function<void(std::string_view line)>;
    // `secrets`: where the protocol's commands and replies carry passwords and keys.
    WireTrace(Sink sink, SecretPlaces secrets);

    void opened(const LinkTarget& target) override;
    void written(std::span<const std::uint8_t> bytes, Clock::Duration at) override;
    void received(std::span<const std::uint8_t> bytes, Clock::Duration at) override;
    void closed(Clock::Duration at) override;

  private:
    void tellBytes(Clock::Duration at, char direction, std::span<const std::uint8_t> bytes,
                   const std::vector<bool>& secret);

    // A reply that carries a secret and has not yet been seen whole: the bytes received go to
    // the oldest such reply first.
    struct SecretReply {
        std::size_t clear = 0;  // its first bytes, shown
        char endAt = 0;         // the secret ends with this byte of the reply, else after `length`
        std::size_t length = 0;
        std::size_t seen = 0;
    };

    Sink sink_;
    SecretPlaces places_;
    std::deque<SecretReply> secrets_;
};

}  // namespace korvan
