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

// Which bytes of a command are a password or a key: the server password of
// "GSM_SET_PASSWORD,…$" and the WEP key of "WKEY=n:…;$". One flag a byte.
std::vector<bool> SecretBytesOfCommand(std::span<const std::uint8_t> command);
// The text of a command, or of a Wi-Fi setting's echo, with each secret byte replaced by "*":
// for whatever shows commands and the replies shown as they came.
std::string MaskedCommand(std::string_view command);

// Writes the link's traffic as text, one line an event, to `sink`:
//   "+   12.345 ms > 46 4C 5F 47 45 54 5F 52 41 54 45 24  |FL_GET_RATE$|"
// with the time since the link opened, ">" for what was sent and "<" for what came back, the
// bytes in hex and as text (a byte that is not printable ASCII shows as "."). Passwords and keys
// never show: each of their bytes is "**" in the hex and "*" in the text, in the commands that
// set them and in the replies to the commands that ask for or echo them. A reply is masked by
// the exchange it answers, not by the last command sent: bytes of a secret that come late, after
// the next command has gone, are masked all the same; where it cannot be told whose bytes they
// are, they are taken for the secret's, and only their count shows.
class WireTrace final : public LinkObserver {
  public:
    using Sink = std::function<void(std::string_view line)>;
    explicit WireTrace(Sink sink);

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
        std::size_t clear = 0;     // its first bytes, shown ("WKEY=n:")
        bool toSemicolon = false;  // the secret ends with the reply's ";", else after `length`
        std::size_t length = 0;
        std::size_t seen = 0;
    };

    Sink sink_;
    std::deque<SecretReply> secrets_;
};

}  // namespace korvan
