#pragma once

#include <cstdint>
#include <string_view>

#include "link/link.h"
#include "protocol/exchange.h"
#include "protocol/outcome.h"

namespace korvan {

// What a refused access to the USB device tells, on the status line and wherever else it shows.
inline constexpr std::string_view kNoAccessMessage =
    "Нет доступа к USB: нужно правило udev из пакета korvan";

// The exchanges of one operation over its link, each one a step of the outcome and of the
// progress that is told as the operation goes.
class Session {
  public:
    Session(Link& link, Outcome& outcome, Progress& progress, int stepCount)
        : link_(link), outcome_(outcome), progress_(progress), stepCount_(stepCount) {}

    Link& link() { return link_; }
    // When the number of steps is known only once the operation has begun.
    void setStepCount(int count) { stepCount_ = count; }
    Outcome& outcome() { return outcome_; }

    // Opens the link; when it does not open, the outcome tells `failureUtf8` or, on the status
    // line, how to fix a refused access.
    bool open(std::string_view failureUtf8);
    // The same, with the failure in a message box.
    bool openOrTell(std::string_view failureUtf8, MessageIcon icon);

    // The command in the link's buffer, exchanged as the next step.
    ExchangeResult exchange(const ExchangeRule& rule, std::string_view what);
    // What became of an exchange: its reply accepted, or its failure told (the operation
    // goes on), or the operation ended, by a fatal failure, a cancel or a device gone.
    enum class Verdict : std::uint8_t { Accepted, FailedGoOn, Ended };
    Verdict judge(const ExchangeResult& result, bool fatal, std::string_view failureUtf8);

    // A step whose exchanges the operation makes itself.
    void beginStep(std::string_view what);
    void endStep(StepStatus status, int attempts);
    // A step that is not needed after all: the progress moves on, the outcome has no step.
    void skipStep(std::string_view what);

    // The link is closed and the outcome ends: a fatal message for a failure, or the message
    // of a cancel or of a device that has gone.
    void fail(std::string_view utf8, Place place = Place::StatusLine,
              MessageIcon icon = MessageIcon::Error);
    void failShown(std::string shown);
    void endInterrupted();
    // Closes the link, if it is open.
    void close();

  private:
    Link& link_;
    Outcome& outcome_;
    Progress& progress_;
    int stepCount_;
    int stepIndex_ = 0;
};

}  // namespace korvan
