#pragma once

#include <cstddef>
#include <cstdint>
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
// set them and in the replies to the commands that ask for or echo them.
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

    Sink sink_;
    // The reply being received belongs to the last command written: its bytes from
    // `secretFrom_` on are secret.
    std::size_t replyPosition_ = 0;
    std::size_t secretFrom_ = SIZE_MAX;
};

}  // namespace korvan
