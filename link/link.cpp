#include "link/link.h"

#include <algorithm>
#include <utility>

namespace korvan {

Link::~Link() {
    if (open_) {
        closePort();
    }
}

OpenOutcome Link::openPort() {
    if (open_) {
        closePort();
    }
    gone_ = false;
    if (target_.kind == LinkTarget::Kind::Nothing) {
        return OpenOutcome::NoDevice;
    }
    const BridgeStatus opened = target_.kind == LinkTarget::Kind::UsbSerial
                                    ? bridge_.openSerial(target_.usbSerial)
                                    : bridge_.open(0);
    if (opened == BridgeStatus::AccessDenied) {
        return OpenOutcome::NoPermission;
    }
    if (opened != BridgeStatus::Ok) {
        return OpenOutcome::NoDevice;
    }
    open_ = true;
    const bool configured =
        bridge_.setDivisor(kDivisor) == BridgeStatus::Ok &&
        bridge_.setTimeouts(kReadTimeoutMs, kWriteTimeoutMs) == BridgeStatus::Ok &&
        bridge_.setDataCharacteristics(8, 0, 0) == BridgeStatus::Ok &&
        bridge_.setFlowControl(0, 0, 0) == BridgeStatus::Ok &&
        bridge_.setLatencyTimer(kLatencyTimerMs) == BridgeStatus::Ok;
    if (!configured) {
        closePort();
        return OpenOutcome::SetupFailed;
    }
    openedAt_ = clock_.now();
    if (observer_ != nullptr) {
        toldOpened_ = observer_;
        observer_->opened(target_);
    }
    return OpenOutcome::Opened;
}

// The first call that fails ends the operation: the libftdi1 backend tells an unplugged
// device only as a failure, and a link that goes on after one waits out every timeout.
void Link::noteStatus(BridgeStatus status) {
    if (status != BridgeStatus::Ok) {
        gone_ = true;
    }
}

void Link::purgePort() {
    noteStatus(bridge_.purge());
}

void Link::sendCommand() {
    if (gone_) {
        return;  // a device whose bridge failed is not written to again
    }
    std::size_t written = 0;
    const auto bytes = commandText.bytes();
    const BridgeStatus status = bridge_.write(bytes, written);
    if (observer_ != nullptr && written > 0) {
        observer_->written(bytes.first(std::min(written, bytes.size())), sinceOpened());
    }
    noteStatus(status == BridgeStatus::Ok && written != bytes.size() ? BridgeStatus::Failed
                                                                     : status);
}

std::size_t Link::readPort(std::span<std::uint8_t> buffer, ReplyCompletion completion) {
    if (gone_) {
        return 0;
    }
    const auto start = clock_.now();
    const auto deadline = start + std::chrono::milliseconds(kReadTimeoutMs);
    auto lastArrival = start;
    std::size_t got = 0;
    for (;;) {
        std::size_t chunk = 0;
        const BridgeStatus status = bridge_.read(buffer.subspan(got), chunk);
        noteStatus(status);
        const auto now = clock_.now();
        if (chunk > 0) {
            if (observer_ != nullptr) {
                observer_->received(buffer.subspan(got, chunk), now - openedAt_);
            }
            got += chunk;
            lastArrival = now;
        }
        if (got == buffer.size() || status != BridgeStatus::Ok || now >= deadline ||
            cancelRequested()) {
            return got;  // a failed read would fail again: the bridge is gone
        }
        if (earlyCompletion_ && replyComplete(buffer.first(got), completion, now - lastArrival)) {
            return got;
        }
        clock_.sleepFor(std::min(kPollInterval, deadline - now));
    }
}

bool Link::replyComplete(std::span<const std::uint8_t> received, ReplyCompletion completion,
                         Clock::Duration quietFor) const {
    const bool endsWithSemicolon = !received.empty() && received.back() == ';';
    const bool quiet = quietFor >= kIdleGap;
    switch (completion.kind) {
        case ReplyCompletion::Kind::WifiValue:
            return endsWithSemicolon;
        case ReplyCompletion::Kind::WifiText:
            return endsWithSemicolon && quiet;
        case ReplyCompletion::Kind::ExpectedLength:
            return completion.expected > 0 && received.size() >= completion.expected && quiet;
        case ReplyCompletion::Kind::CountOrTimeout:
            break;
    }
    return false;
}

void Link::closePort() {
    bridge_.reset();
    bridge_.close();
    open_ = false;
    if (toldOpened_ != nullptr) {
        std::exchange(toldOpened_, nullptr)->closed(sinceOpened());
    }
}

}  // namespace korvan
