#pragma once

#include <chrono>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "link/bridge.h"
#include "link/clock.h"
#include "sim/simulated_tracker.h"
#include "sim/tracker_stream.h"

namespace korvan::sim {

// The wire between the program and the simulated trackers, in the time of the clock it is given:
// a virtual clock for tests and benchmarks, the steady clock to run the trackers at wire speed.
//
// Timing model (adjustable):
// - the line runs at 1 000 000 baud, 10 bits a byte: 10 us a byte each way;
// - a write reaches the bridge with the next USB frame (1 ms);
// - the bridge hands received bytes to the host when its latency timer (1 ms) runs out;
// - the tracker takes its processing time before it answers (longer for its Wi-Fi module),
//   and answers one command at a time.
// Bytes reach the tracker only while the line is set up as the tracker expects it
// (divisor 3, 8 data bits, 1 stop bit, no parity).
struct WireTiming {
    Duration byteTime = std::chrono::microseconds(10);
    Duration usbFrame = std::chrono::milliseconds(1);
    Duration latencyTimer = std::chrono::milliseconds(1);
};

// A bridge call that can be made to fail, for the link's own failure paths.
enum class BridgeCall : std::uint8_t {
    Open,
    SetDivisor,
    SetTimeouts,
    SetDataCharacteristics,
    SetFlowControl,
    SetLatencyTimer,
    DeviceCount,
    Description,
    SerialNumber,
    Purge,
    Write,
    Read,
};

// Safe to share between threads: the window plugs, unplugs and looks at the trackers while
// the device worker makes the bridge calls. Every handle (`newHandle`) opens a tracker of its
// own, as the real bridge opens several devices, so that several workers write side by side;
// the trackers plugged in are the same for all of them. One lock, shared by the handles,
// guards the list, the open links and the bytes on the wire; device-change notices go out
// after it is released. A virtual clock may be shared by threads, but each one's sleeps move
// every thread's time: where timing matters across threads, give the bridge the steady clock.
class SimulatedBridge final : public Bridge {
  public:
    SimulatedBridge(Clock& clock, WireTiming timing = {});
    ~SimulatedBridge() override;
    SimulatedBridge(const SimulatedBridge&) = delete;
    SimulatedBridge& operator=(const SimulatedBridge&) = delete;

    // A handle of its own on the same trackers: its own open tracker, line settings, calls
    // and planted failures. Plugging through it plugs for every handle; notices go to the
    // first bridge's `onDevicesChanged`.
    std::unique_ptr<Bridge> newHandle() override;

    // Attached trackers, in listing order; index 0 is what `open(0)` opens. The references stay
    // valid until that tracker is pulled out.
    SimulatedTracker& plug(SimulatedTracker tracker);
    // The same at the head of the listing, as a bus lists a tracker on its first port before
    // those plugged earlier into later ones.
    SimulatedTracker& plugFirst(SimulatedTracker tracker);
    // Pulls out the tracker at `index`; an open link to it goes dead.
    void unplug(std::size_t index);
    // The same for the tracker with this USB serial string; false when none is attached.
    bool unplugSerial(const std::string& usbSerial);
    // Plugs in again the tracker with this USB serial string that was pulled out last, with
    // the settings and log it had, as a real tracker keeps them; false when there is none.
    bool replug(const std::string& usbSerial);
    // The USB serial strings of the attached trackers, in listing order: what the window may
    // look at while the worker runs.
    std::vector<std::string> attachedSerials() const;
    std::size_t attached() const;
    // The tracker itself is not guarded: read or change it while the worker is idle.
    SimulatedTracker& tracker(std::size_t index);
    // Told after every plug and unplug, as the system tells of device changes, on the thread
    // that made the change: the worker's when a write pulls a tracker out. Set it before the
    // bridge is shared; only the first bridge's is told, whichever handle made the change.
    std::function<void()> onDevicesChanged;

    // The next call of this kind on this handle answers `status` instead of doing its work.
    // The provisioning line's workers have handles of their own, which it does not reach.
    void failNext(BridgeCall call, BridgeStatus status);
    // What the calls on a link whose tracker was pulled out answer: "device gone" by default;
    // `Failed` is how the libftdi1 backend reports it.
    void setUnpluggedStatus(BridgeStatus status);
    // The most trackers the handles have held open at one time, since the bench was made or
    // the count restarted.
    std::size_t mostOpenAtOnce() const;
    void restartMostOpenAtOnce();

    // Every bridge call of this handle in order, by name: what the link did to the device. Not
    // guarded: read it while the worker is idle.
    const std::vector<std::string>& calls() const { return calls_; }
    void clearCalls();

    BridgeStatus deviceCount(std::uint32_t& count) override;
    BridgeStatus description(std::uint32_t index, std::string& text) override;
    BridgeStatus serialNumber(std::uint32_t index, std::string& text) override;
    BridgeStatus open(std::uint32_t index) override;
    BridgeStatus openSerial(const std::string& usbSerial) override;
    BridgeStatus setDivisor(std::uint16_t divisor) override;
    BridgeStatus setTimeouts(std::uint32_t readMs, std::uint32_t writeMs) override;
    BridgeStatus setDataCharacteristics(std::uint8_t wordLength, std::uint8_t stopBits,
                                        std::uint8_t parity) override;
    BridgeStatus setFlowControl(std::uint16_t mode, std::uint8_t xon, std::uint8_t xoff) override;
    BridgeStatus setLatencyTimer(std::uint8_t milliseconds) override;
    BridgeStatus purge() override;
    BridgeStatus write(std::span<const std::uint8_t> bytes, std::size_t& written) override;
    BridgeStatus read(std::span<std::uint8_t> into, std::size_t& got) override;
    BridgeStatus reset() override;
    BridgeStatus close() override;

  private:
    struct InFlight {
        Duration atBridge;  // when the byte reached the bridge chip
        Duration visible;   // when the host can read it
        std::uint8_t byte;
    };

    // What the handles share: the trackers, and the lock over everything.
    struct Bench {
        Bench(Clock& clock, WireTiming timing) : clock(clock), timing(timing) {}
        std::mutex mutex;
        Clock& clock;
        WireTiming timing;
        SimulatedBridge* first = nullptr;  // whose `onDevicesChanged` is told
        std::vector<SimulatedBridge*> handles;
        std::size_t mostOpen = 0;
        std::vector<std::unique_ptr<SimulatedTracker>> trackers;
        std::map<std::string, std::unique_ptr<SimulatedTracker>> unplugged;  // by USB serial
    };
    explicit SimulatedBridge(std::shared_ptr<Bench> bench);

    SimulatedTracker& attach(SimulatedTracker tracker, bool first);
    // Without the lock held, so that a listener may call the bridge back.
    void tellDevicesChanged();
    // The helpers below expect the bench's lock to be held.
    BridgeStatus call(BridgeCall kind, const char* name);
    // A failure planted for this kind of call, used up; `Ok` when there is none. Reads are not
    // logged: a link polls them.
    BridgeStatus failure(BridgeCall kind);
    bool lineMatchesTracker() const;
    BridgeStatus openState() const;
    // False when there is nothing at `index`.
    bool remove(std::size_t index);
    BridgeStatus openAt(std::size_t index);
    // The link to this tracker has gone dead.
    void lost();

    std::shared_ptr<Bench> bench_;
    std::vector<std::pair<BridgeCall, BridgeStatus>> failures_;
    std::vector<std::string> calls_;

    SimulatedTracker* open_ = nullptr;  // not owning: one of the bench's trackers
    bool gone_ = false;
    BridgeStatus unpluggedStatus_ = BridgeStatus::DeviceGone;
    std::uint16_t divisor_ = 0;
    bool eightN1_ = false;
    Duration latency_ = std::chrono::milliseconds(16);  // the bridge's power-on latency timer
    TrackerStream stream_{bench_->timing.byteTime};     // the line to the open tracker
    std::deque<InFlight> inbound_;
};

}  // namespace korvan::sim
