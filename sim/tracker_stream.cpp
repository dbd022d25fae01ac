#include "sim/tracker_stream.h"

#include <algorithm>

namespace korvan::sim {

TrackerStream::Heard TrackerStream::feed(SimulatedTracker& tracker,
                                         std::span<const std::uint8_t> bytes, Duration from) {
    Heard heard;
    Duration sent = std::max(from, lineFreeAt_);
    for (const std::uint8_t byte : bytes) {
        sent += byteTime_;
        if (auto response = tracker.receive(byte)) {
            if (response->unplug) {
                heard.unplugged = true;
                return heard;
            }
            schedule(*response, sent, heard.reply);
        }
    }
    lineFreeAt_ = sent;
    return heard;
}

void TrackerStream::schedule(const Response& response, Duration commandArrived,
                             std::vector<TimedByte>& reply) {
    Duration at = std::max(commandArrived + response.processing, trackerFreeAt_);
    for (std::size_t i = 0; i < response.bytes.size(); ++i) {
        if (response.pauseAfter != 0 && i == response.pauseAfter) {
            at += response.pause;
        }
        at += byteTime_;
        reply.push_back({at, static_cast<std::uint8_t>(response.bytes[i])});
    }
    trackerFreeAt_ = at;
}

}  // namespace korvan::sim
