#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// What a device operation reports instead of reaching into the window: the exchanges it made,
// the messages it has for the technician and how it ended. Whoever ran it decides where the
// messages show.
namespace korvan {

enum class Severity : std::uint8_t {
    Progress,  // a command or reply shown as the operation goes, in the status line's colour
    Success,   // shown in black
    Failure,   // shown in red; the operation goes on
    Fatal,     // shown in red; the operation has ended
};

enum class MessageIcon : std::uint8_t { Information, Warning, Error };

enum class Place : std::uint8_t {
    StatusLine,
    Notice,      // the status line, in the smaller font that a long notice needs
    MessageBox,  // captioned "Korvan", with `icon`
};

struct Message {
    Severity severity = Severity::Progress;
    std::string text;  // Windows-1251, as shown
    Place place = Place::StatusLine;
    MessageIcon icon = MessageIcon::Information;
    bool operator==(const Message&) const = default;
};

enum class StepStatus : std::uint8_t {
    Done,      // the reply was accepted
    Rejected,  // a reply came, and was not the one expected
    Failed,    // no acceptable reply in every attempt
    Interrupted,
};

// One command exchanged with the tracker.
struct Step {
    std::string command;  // its text up to the first byte of a record
    StepStatus status = StepStatus::Done;
    int attempts = 0;
    std::string what;  // what it does, as the progress told it (UTF-8)
};

enum class Ending : std::uint8_t {
    Done,        // it went to its end; a step that failed without ending it is in `steps`
    Failed,      // a failure ended it, or a step that failed left it unconfirmed
    Cancelled,   // the technician stopped it
    DeviceGone,  // the tracker was pulled out
    NotStarted,  // the fields or the technician's answer stopped it before the link opened
};

// Where an operation that failed met its failure, for a caller that decides by it (the command
// line's exit status): the tracker or the link to it, or a file on this computer.
enum class FailedAt : std::uint8_t { Tracker, LocalFile };

struct Outcome {
    Ending ending = Ending::Done;
    FailedAt failedAt = FailedAt::Tracker;  // meaningful once the operation failed
    std::vector<Step> steps;
    std::vector<Message> messages;  // in the order they were told

    bool succeeded() const { return ending == Ending::Done; }
    // `utf8` is the program's own text.
    void tell(Severity severity, std::string_view utf8, Place place = Place::StatusLine,
              MessageIcon icon = MessageIcon::Information);
    // `shown` is already Windows-1251, such as a reply.
    void show(Severity severity, std::string shown);
};

// Where an operation stands, told as it goes. Called on the thread that runs the operation.
class Progress {
  public:
    virtual ~Progress() = default;
    // Step `index` (from 1) of `count` begins; `what` says what it does, in UTF-8.
    virtual void step(int index, int count, std::string_view what) = 0;
    // The current step is tried again: attempt `attempt` of `attempts`.
    virtual void retry(int /*attempt*/, int /*attempts*/) {}
};

// For operations run where no one watches.
class NoProgress final : public Progress {
  public:
    void step(int, int, std::string_view) override {}
};

// The messages when an operation was cut short, whatever it was doing.
inline constexpr std::string_view kCancelledMessage = "Операция отменена";
inline constexpr std::string_view kDeviceGoneMessage = "Устройство отключено во время операции";

}  // namespace korvan
