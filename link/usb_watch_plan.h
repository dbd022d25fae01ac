#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "link/clock.h"

namespace korvan {

// A USB device as the system lists it.
struct UsbDeviceId {
    std::uint8_t bus = 0;
    std::uint8_t address = 0;
    auto operator<=>(const UsbDeviceId&) const = default;
};

// When the program should look at the FTDI devices again: at once when one comes or goes, and,
// after an arrival, twice more a little later. On Linux a device is announced before the udev
// rule has given the user access to it, so the first look at a new tracker can fail; the later
// looks find it. A look at an unchanged tracker reads nothing, so an extra look costs nothing.
class UsbWatchPlan {
  public:
    static constexpr Clock::Duration kLookAgainAfter[] = {std::chrono::seconds(1),
                                                          std::chrono::seconds(3)};

    // Hotplug told of an arrival or a removal at `now`. True: look now.
    bool arrived(Clock::Duration now);
    bool left(Clock::Duration now);
    // A listing taken at `now`, where hotplug is not available. True: look now.
    bool listed(std::vector<UsbDeviceId> devices, Clock::Duration now);
    // True when a later look has come due at `now`; each is given once.
    bool due(Clock::Duration now);
    // When the next later look is due, if any.
    std::optional<Clock::Duration> nextLook() const;

  private:
    void planLaterLooks(Clock::Duration now);

    std::optional<std::vector<UsbDeviceId>> devices_;
    std::vector<Clock::Duration> laterLooks_;
};

}  // namespace korvan
