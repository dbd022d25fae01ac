#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "link/bridge.h"
#include "link/clock.h"
#include "link/command_buffer.h"
#include "link/link_observer.h"

namespace korvan {

enum class OpenOutcome : std::uint8_t {
    Opened,
    NoDevice,      // nothing to open, or the bridge refused
    NoPermission,  // the system refused access (the udev rule is missing)
    SetupFailed,   // opened, but a line setting was refused; the device was closed again
};

// How a read may end before its full count when the link ends replies early.
struct ReplyCompletion {
    enum class Kind : std::uint8_t {
        CountOrTimeout,  // the count asked for, or the read timeout
        WifiValue,       // the last byte is ";", which the value itself cannot hold: at once
        WifiText,        // the last byte is ";" and the line has gone quiet: the text may hold
                         // ";" itself, so only the silence after it tells the last one
        ExpectedLength,  // `expected` bytes are in and the line has gone quiet
    };
    Kind kind = Kind::CountOrTimeout;
    std::size_t expected = 0;

    static ReplyCompletion wifiValue() { return {Kind::WifiValue, 0}; }
    static ReplyCompletion wifiText() { return {Kind::WifiText, 0}; }
    static ReplyCompletion expectedLength(std::size_t n) { return {Kind::ExpectedLength, n}; }
};

// Which device a link opens.
struct LinkTarget {
    enum class Kind : std::uint8_t {
        FirstListed,  // whatever is listed first: a link with one device, as tests have it
        UsbSerial,    // the device with this USB serial string, wherever it is listed
        Nothing,      // no tracker is identified: nothing is opened
    };
    Kind kind = Kind::FirstListed;
    std::string usbSerial;

    static LinkTarget serial(std::string usbSerial) {
        return {Kind::UsbSerial, std::move(usbSerial)};
    }
    static LinkTarget nothing() { return {Kind::Nothing, {}}; }
    bool operator==(const LinkTarget&) const = default;
};

// One link to an FTDI device: opened with fixed line settings at the start of a device
// operation and closed at its end. Closing on destruction makes every early return safe.
class Link {
  public:
    static constexpr std::uint16_t kDivisor = 3;  // 1 000 000 baud on the 3 MHz base clock
    static constexpr std::uint32_t kReadTimeoutMs = 500;
    static constexpr std::uint32_t kWriteTimeoutMs = 500;
    static constexpr std::uint8_t kLatencyTimerMs = 1;
    // The bridge hangs on a full-speed USB bus, which the host serves in 1 ms frames.
    static constexpr Clock::Duration kUsbFrame = std::chrono::milliseconds(1);
    // The longest the host can see nothing while the tracker is still sending: the bridge
    // holds received bytes until its latency timer runs out (or a packet is full), and its
    // packet may then wait up to a frame on each side of the bus before a read takes it.
    static constexpr Clock::Duration kLongestSilenceInAReply =
        std::chrono::milliseconds(kLatencyTimerMs) + 2 * kUsbFrame;
    // Silence after a reply's last byte that marks the reply as complete when its bytes alone
    // cannot tell (a Wi-Fi name or key, which may hold ";", and the debug log's blocks): twice
    // the longest silence inside a reply, 6 ms with the 1 ms timer. A reply the tracker sends
    // without stopping is not cut even when its packets come a few frames late; a late poll
    // of ours cannot cut one either, as a read takes what has come before it judges the
    // silence. The gap follows the latency timer should that ever be set otherwise.
    static constexpr Clock::Duration kIdleGap = 2 * kLongestSilenceInAReply;
    // How often a read looks for more bytes.
    static constexpr Clock::Duration kPollInterval = std::chrono::milliseconds(1);

    Link(Bridge& bridge, Clock& clock) : bridge_(bridge), clock_(clock) {}
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;
    ~Link();

    // Which device the next `openPort` opens; set between operations, or by the thread that
    // runs one.
    void setTarget(LinkTarget target) { target_ = std::move(target); }
    const LinkTarget& target() const { return target_; }

    OpenOutcome openPort();
    void purgePort();
    // Writes the command buffer as it stands, zero bytes included.
    void sendCommand();
    // Reads up to `buffer.size()` bytes: returns when all are in or the read timeout has passed,
    // or, when early completion is on, once the reply is complete by `completion`.
    std::size_t readPort(std::span<std::uint8_t> buffer, ReplyCompletion completion = {});
    void closePort();

    bool isOpen() const { return open_; }
    // A bridge call failed while the link was open: the device is gone, or no longer answers
    // its bridge, which for the operation is the same. Cleared by the next open.
    bool deviceGone() const { return gone_; }

    // Asks the operation on this link to stop: a read in progress returns at once, and the
    // exchanges see it before their next attempt. The only call that any thread may make; the
    // rest belong to the thread that runs the operation. Cleared when the next operation
    // begins, by `clearCancel`.
    void requestCancel() { cancel_.store(true, std::memory_order_relaxed); }
    void clearCancel() { cancel_.store(false, std::memory_order_relaxed); }
    bool cancelRequested() const { return cancel_.load(std::memory_order_relaxed); }
    // Cancelled or gone: the operation cannot go on.
    bool interrupted() const { return gone_ || cancelRequested(); }
    // On by default. Off, every read keeps the plain count-or-timeout rule, which benchmarks
    // compare against.
    void setEarlyCompletion(bool on) { earlyCompletion_ = on; }
    Clock& clock() { return clock_; }
    // Who sees the traffic from the next open on; not owned, nullptr for no one. Set between
    // operations: the observer is called on the thread that runs them.
    void setObserver(LinkObserver* observer) { observer_ = observer; }

    CommandBuffer commandText;

  private:
    bool replyComplete(std::span<const std::uint8_t> received, ReplyCompletion completion,
                       Clock::Duration quietFor) const;

    Bridge& bridge_;
    Clock& clock_;
    void noteStatus(BridgeStatus status);
    Clock::Duration sinceOpened() const { return clock_.now() - openedAt_; }

    LinkTarget target_;
    bool open_ = false;
    bool gone_ = false;
    bool earlyCompletion_ = true;
    std::atomic<bool> cancel_{false};
    LinkObserver* observer_ = nullptr;
    // The observer that was told of the open, which alone is told of the close.
    LinkObserver* toldOpened_ = nullptr;
    Clock::Duration openedAt_{0};
};

}  // namespace korvan
