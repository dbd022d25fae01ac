#pragma once

#include <optional>
#include <string>

#include "link/link.h"
#include "protocol/outcome.h"

// The service operations on the tracker's debug log, reached by key combinations only. Each
// opens its own link, tells its outcome in message boxes and closes the link again.
namespace korvan {

inline constexpr std::uint32_t kDebugLogLimit = 3999;
inline constexpr std::uint32_t kDebugLogBlock = 250;

// What the operations ask the technician in their middle. Called on the thread that runs the
// operation, which waits for the answer.
class DebugLogQuestions {
  public:
    virtual ~DebugLogQuestions() = default;
    // "Вы действительно хотите стереть отладочный журнал?": true for Yes.
    virtual bool confirmErase() = 0;
    // The file to copy the log into (UTF-8), or nothing when the technician cancels.
    virtual std::optional<std::string> chooseLogFile() = 0;
};

// Erases the log after the technician has confirmed it.
Outcome clearDebugLog(Link& link, DebugLogQuestions& questions, Progress& progress);

// Copies the log into a file the technician chooses; `fullRead` takes the largest log size
// instead of asking the tracker for it.
Outcome readDebugLog(Link& link, DebugLogQuestions& questions, Progress& progress, bool fullRead);

}  // namespace korvan
