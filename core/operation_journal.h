#pragma once

#include <chrono>
#include <cstddef>
#include <deque>
#include <filesystem>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "base/file_io.h"
#include "protocol/outcome.h"

namespace korvan {

// The log of the last device operations, for whoever must find out later what a tracker was
// told and what it answered: each operation's record holds when it ended, what it was, how it
// went, its steps and messages, and the wire trace of its link, passwords and keys masked. The
// file is rewritten whole as each operation ends, keeping only the newest records within its
// limits; a record is never kept in part, and no line is ever cut.
class OperationJournal {
  public:
    struct Limits {
        std::size_t bytes = 1024 * 1024;
        std::size_t operations = 50;
    };

    explicit OperationJournal(std::filesystem::path file) : OperationJournal(std::move(file), {}) {}
    OperationJournal(std::filesystem::path file, Limits limits);

    // A line of the running operation's wire trace. Any thread.
    void traceLine(std::string_view line);
    // The operation has ended: its record, with the trace gathered since the last one, is
    // added and the file written. Its folder is created, for the user alone, when missing.
    FileWrite operationEnded(
        const Outcome& outcome, std::string_view what,
        std::chrono::system_clock::time_point when = std::chrono::system_clock::now());

    const std::filesystem::path& file() const { return file_; }

  private:
    std::filesystem::path file_;
    Limits limits_;
    std::mutex mutex_;
    std::deque<std::string> trace_;
    std::size_t traceBytes_ = 0;
    std::size_t traceDropped_ = 0;
};

// $XDG_STATE_HOME/korvan/PROGRAM.log (an absolute path only), else
// ~/.local/state/korvan/PROGRAM.log; nothing without a home folder. Each program keeps its own:
// the simulator's operations never mix with a real tracker's.
std::optional<std::filesystem::path> operationJournalPathFor(
    const std::function<std::optional<std::string>(const char*)>& environment,
    std::string_view program);
std::optional<std::filesystem::path> operationJournalPath(std::string_view program);

// How an operation ended and how its steps went, in the words of the journal and the log.
std::string_view endingText(Ending ending);
std::string_view statusText(StepStatus status);

}  // namespace korvan
