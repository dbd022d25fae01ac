#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "link/clock.h"
#include "link/link_observer.h"
#include "sim/simulated_tracker.h"
#include "sim/tracker_stream.h"

// The simulated tracker on a byte stream in real time: a TCP connection, for a rig whose
// emulated USB-serial bridge connects its serial side to a socket, or a pseudo-terminal for a
// serial terminal. POSIX only.
namespace korvan::sim {

// A file descriptor of its own, closed when dropped.
class Descriptor {
  public:
    Descriptor() = default;
    explicit Descriptor(int fd) : fd_(fd) {}
    Descriptor(Descriptor&& other) noexcept : fd_(other.release()) {}
    Descriptor& operator=(Descriptor&& other) noexcept;
    Descriptor(const Descriptor&) = delete;
    Descriptor& operator=(const Descriptor&) = delete;
    ~Descriptor();

    int get() const { return fd_; }
    explicit operator bool() const { return fd_ >= 0; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }

  private:
    int fd_ = -1;
};

// One tracker answering one connection at a time. Its memory outlives the connections: each
// new one is the tracker plugged in again, so a command cut off by a disconnect is lost and
// what was written into the tracker stays. Bytes leave as soon as the tracker has them ready:
// after its processing time and a split reply's pause, without any time a byte, as a socket
// has no baud.
class TrackerServer {
  public:
    explicit TrackerServer(SimulatedTracker tracker) : tracker_(std::move(tracker)) {}

    SimulatedTracker& tracker() { return tracker_; }
    // Every byte received from the program is appended to this file, exactly as received.
    void recordInto(Descriptor file) { record_ = std::move(file); }
    // Sees each connection as a link: the program's bytes as written, the replies as received.
    // Not owned; nullptr for no one.
    void setObserver(LinkObserver* observer) { observer_ = observer; }
    // Where the server says what happens to a connection, a line at a time (without its end).
    std::function<void(std::string_view)> tell = [](std::string_view) {};

    enum class Ended : std::uint8_t {
        Closed,     // the program closed its end
        Unplugged,  // a fault pulled the tracker out: the connection is to be closed
        Stopped,    // `stop` became readable
        Failed,     // reading or writing the connection failed
    };
    // Serves the connection on `fd` (a socket or a pseudo-terminal's master, made non-blocking
    // here) until it ends, or until `stop` becomes readable. The caller closes `fd`.
    Ended serve(int fd, int stop);

  private:
    // What one wait on the connection and the stop pipe came to.
    enum class Woken : std::uint8_t {
        Interrupted,  // by a signal: to be waited on again
        Failed,       // told
        Stopped,      // `stop` became readable
        Readable,     // the program sent bytes, shut its end or went away
        Idle,         // a reply is due, or the connection takes bytes again
    };

    // The connection is the tracker plugged in: powered on with nothing heard or owed yet.
    // Returns when it began, what the observer's times count from.
    Clock::Duration beginConnection(int fd);
    Woken waitOn(int fd, int stop, bool programDone);
    // What the program sent, handed to the tracker; the way the connection ended when it did.
    std::optional<Ended> readFromProgram(int fd, std::span<char> buffer, Clock::Duration start,
                                         bool& programDone);
    // True when the bytes made the tracker pull itself out.
    bool hear(std::span<const char> received, Clock::Duration start);
    bool sendDue(int fd, Clock::Duration start);

    SimulatedTracker tracker_;
    Descriptor record_;
    LinkObserver* observer_ = nullptr;
    SteadyClock clock_;
    TrackerStream stream_;
    std::deque<TimedByte> due_;  // reply bytes not yet due
    std::string outbox_;         // due and not yet taken by the connection
};

// A TCP socket listening on "HOST:PORT" ("127.0.0.1:0", "[::1]:5555", "localhost:5555"); port
// 0 lets the system pick one. Nothing, with the reason in Russian in `error`, when it cannot.
struct Listener {
    Descriptor socket;
    std::uint16_t port = 0;
};
std::optional<Listener> listenOn(std::string_view address, std::string& error);

// A new pseudo-terminal in raw mode. The server keeps its own end of the terminal open as
// well, so that a serial terminal may close and open it again without hanging the line up.
struct PseudoTerminal {
    Descriptor master;
    Descriptor terminal;
    std::string path;  // what a serial terminal opens
};
std::optional<PseudoTerminal> openPseudoTerminal(std::string& error);

}  // namespace korvan::sim
