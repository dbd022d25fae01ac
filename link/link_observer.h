#pragma once

#include <cstdint>
#include <span>

#include "link/clock.h"

namespace korvan {

struct LinkTarget;

// Watches what a link puts on the wire and takes from it: a trace for the technician's log or
// for a developer. Called on the thread that runs the link's operation, in the order the link
// saw things; `at` is the time since the link opened.
class LinkObserver {
  public:
    virtual ~LinkObserver() = default;
    // The device is open and its line is set up; a refused open is not told.
    virtual void opened(const LinkTarget& target) = 0;
    // The bytes the bridge took, one command a call.
    virtual void written(std::span<const std::uint8_t> bytes, Clock::Duration at) = 0;
    // Each chunk the bridge handed over while a reply was read.
    virtual void received(std::span<const std::uint8_t> bytes, Clock::Duration at) = 0;
    // The link that was told opened is closed.
    virtual void closed(Clock::Duration at) = 0;
};

}  // namespace korvan
