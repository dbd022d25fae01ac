#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "sim/simulated_tracker.h"

namespace korvan::sim {

// A byte of the tracker's reply and when it has left the tracker.
struct TimedByte {
    Duration due;
    std::uint8_t byte;
    bool operator==(const TimedByte&) const = default;
};

// The tracker's end of its serial line. The program's bytes reach the tracker one after the
// other, each completed command is answered, and the answer is timed as the tracker sends it:
// after its processing time, never before the reply it is still sending is out, with a split
// reply's pause, one byte time a byte. The simulated bridge and the tracker server both put
// their tracker behind one of these, so a tracker hears and answers the same over either.
class TrackerStream {
  public:
    // `byteTime`: what a byte takes on the line, each way; zero where the line has no baud.
    explicit TrackerStream(Duration byteTime = Duration::zero()) : byteTime_(byteTime) {}

    struct Heard {
        std::vector<TimedByte> reply;  // every byte answered, in order, due times rising
        // A command pulled the tracker out: it answered nothing more and heard none of the
        // bytes after that command.
        bool unplugged = false;
    };

    // The program's bytes, the first put on the line at `from` or once the bytes fed before
    // have passed, whichever is later.
    Heard feed(SimulatedTracker& tracker, std::span<const std::uint8_t> bytes, Duration from);

  private:
    void schedule(const Response& response, Duration commandArrived, std::vector<TimedByte>& reply);

    Duration byteTime_;
    Duration lineFreeAt_{0};     // when the line to the tracker has carried everything fed
    Duration trackerFreeAt_{0};  // when the tracker has sent all of its last reply
};

}  // namespace korvan::sim
