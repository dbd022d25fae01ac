#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

// A faithful model of the tracker on the far side of the bridge: it keeps every setting the
// command set can write, answers every query and setting with the reply shapes and lengths the
// program expects, echoes the Wi-Fi module's settings and keeps a debug log. It can be told to
// misbehave for chosen commands.
namespace korvan::sim {

using Duration = std::chrono::microseconds;

// Everything the tracker stores. Erased memory reads as all ones, as on the device.
struct TrackerSettings {
    std::uint16_t recordingPeriod = 0xFFFF;  // FL_GET_RATE, seconds (or metres)
    std::uint16_t rateSecondArgument = 0xFFFF;
    std::int32_t sendingPeriod = -1;            // GSM_GET_PERIODSEND, 0xFFFFFFFF when erased
    std::uint16_t analogPeriod = 0xFFFF;        // FL_GET_ADD_R
    std::uint32_t counterPeriods = 0xFFFFFFFF;  // FL_GET_COUNT_R: inputs 1,2 low, 3,4 high
    std::optional<std::string> password;        // 8 characters; none: "EMPTY"
    bool recordByTime = true;                   // NDIST=1
    int mode = 1;                               // MODE=1: static processing off
    bool wideRecording = false;                 // RWIDE=0 when on
    std::array<std::optional<std::array<std::uint8_t, 21>>, 4> inputs;
    std::array<std::optional<std::array<std::uint8_t, 20>>, 3> points;
    std::string serialNumber;  // as GSM_SET_SERNUM sent it

    // The Wi-Fi module.
    int dhcp = 1;
    int authentication = 0;
    std::string accessPoint;
    int keyMode = 0;  // 0 none, 1 WEP 64, 2 WEP 128
    std::string key;
    std::string deviceIp = "192.168.0.2";
    std::string netmask = "255.255.255.0";
    std::string gateway = "192.168.0.1";
    std::string mac = "00 00 00 00 00 00";
    std::string serverIp;
    std::string serverPort;
};

// A misbehaviour for the nth time a command is received from now on.
struct Fault {
    enum class Kind : std::uint8_t {
        NoReply,     // the command is taken in silence
        ShortReply,  // only the first `keep` bytes of the reply
        WrongReply,  // `replacement` instead of the reply
        WrongEcho,   // an echo of the right length, its middle byte changed to '#' (or '*')
        Garbage,     // bytes of the reply's length that mean nothing
        SplitReply,  // a pause of `pause` after the first `keep` bytes
        Unplug,      // pulled out as the command arrives, before any reply
        NotKept,     // answered as if taken, but the setting keeps what it held before
    };
    Kind kind = Kind::NoReply;
    std::string command{};  // matched against the start of the command received
    int occurrence = 1;     // the first occurrence that misbehaves, counted from now
    int times = 1;          // how many occurrences in a row misbehave
    std::size_t keep = 0;
    Duration pause{0};
    std::string replacement{};
};

// What the tracker does with a command that has arrived.
struct Response {
    std::string bytes;
    Duration processing{0};
    std::size_t pauseAfter = 0;  // a split reply: pause after this many bytes
    Duration pause{0};
    bool unplug = false;
};

class SimulatedTracker {
  public:
    // Time the tracker takes before it answers; the Wi-Fi module takes longer.
    static constexpr Duration kTrackerProcessing = std::chrono::milliseconds(2);
    static constexpr Duration kWifiProcessing = std::chrono::milliseconds(8);
    static constexpr std::uint32_t kDebugLogBase = 0x40000000;
    // The flash the debug log lives in: its pointer stays within 0x40000000 to 0x40000FFF.
    static constexpr long kDebugLogArea = 0x1000;

    SimulatedTracker(std::string usbDescription, std::string usbSerial);

    // A tracker as it leaves service: every setting in place, a short debug log.
    static SimulatedTracker configured(std::string usbSerial = "90001");
    // A tracker with erased memory: periods all ones, "EMPTY" password, inputs and points.
    static SimulatedTracker erased(std::string usbSerial = "90002");
    // A configured tracker whose firmware hangs: it hears every command and answers none.
    static SimulatedTracker muted(std::string usbSerial = "90004");
    // A configured tracker that is pulled out as the third input's record arrives, halfway
    // through writing the settings.
    static SimulatedTracker pulledOutDuringWrite(std::string usbSerial = "90005");
    // A configured tracker whose older firmware knows neither the mode nor the wide recording
    // query: a read names what it missed.
    static SimulatedTracker withoutModeAndWideRecording(std::string usbSerial = "90006");
    // A configured tracker that answers the server port's setting as taken and keeps the one it
    // had: only reading it back tells.
    static SimulatedTracker keepingItsServerPort(std::string usbSerial = "90007");

    std::string usbDescription;
    std::string usbSerial;
    std::string firmware = "WIFI-1.05";  // the version reply, sent as it stands
    TrackerSettings settings;
    std::vector<std::uint8_t> debugLog;
    std::uint32_t debugPointer = kDebugLogBase;
    // Takes every command in silence, as a tracker whose firmware hangs: nothing is answered or
    // stored, though the bytes and commands are still recorded and an armed unplug still happens.
    bool mute = false;
    // The system refuses access to it, as to a bridge without the udev rule: its strings cannot
    // be read and it cannot be opened. Kept by the bridge, not by the tracker's firmware.
    bool refusesAccess = false;

    void injectFault(Fault fault);
    // Plugged in again: a command it was hearing when pulled out is lost, its memory is not.
    void powerOn() { pending_.clear(); }

    // One byte from the host; a response once it completes a command.
    std::optional<Response> receive(std::uint8_t byte);

    const std::vector<std::uint8_t>& received() const { return received_; }
    // Every complete command in the order received, bytes as sent.
    const std::vector<std::string>& commands() const { return commands_; }
    void clearRecord();

  private:
    Response answer(const std::string& command);
    // True when a fault armed for this command leaves the settings as they were before it.
    bool applyFaults(const std::string& command, Response& response);

    std::string pending_;
    std::vector<std::uint8_t> received_;
    std::vector<std::string> commands_;
    struct ArmedFault {
        Fault fault;
        int seen = 0;
    };
    std::vector<ArmedFault> faults_;
};

}  // namespace korvan::sim
