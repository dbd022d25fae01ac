#include "cli/line_hands.h"

namespace korvan::cli {

void HeldTrace::opened(const LinkTarget& target) {
    events_.push_back({Event::Kind::Opened, target, {}, {}});
}

void HeldTrace::written(std::span<const std::uint8_t> bytes, Clock::Duration at) {
    events_.push_back({Event::Kind::Written, {}, {bytes.begin(), bytes.end()}, at});
}

void HeldTrace::received(std::span<const std::uint8_t> bytes, Clock::Duration at) {
    events_.push_back({Event::Kind::Received, {}, {bytes.begin(), bytes.end()}, at});
}

void HeldTrace::closed(Clock::Duration at) {
    events_.push_back({Event::Kind::Closed, {}, {}, at});
}

void HeldTrace::tellTo(LinkObserver& observer) const {
    for (const Event& event : events_) {
        switch (event.kind) {
            case Event::Kind::Opened:
                observer.opened(event.target);
                break;
            case Event::Kind::Written:
                observer.written(event.bytes, event.at);
                break;
            case Event::Kind::Received:
                observer.received(event.bytes, event.at);
                break;
            case Event::Kind::Closed:
                observer.closed(event.at);
                break;
        }
    }
}

}  // namespace korvan::cli
