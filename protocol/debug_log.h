#pragma once

#include "link/link.h"
#include "core/message_boxes.h"

// The service operations on the tracker's debug log, reached by key combinations only. Each
// opens its own link, tells its outcome in a message box and closes the link again.
namespace korvan {

inline constexpr std::uint32_t kDebugLogLimit = 3999;
inline constexpr std::uint32_t kDebugLogBlock = 250;

// Erases the log after the user has confirmed it.
void ClearDebugLog(Link& link, MessageBoxes& messages);

// Copies the log into a file the user chooses; `fullRead` takes the largest log size instead
// of asking the tracker for it.
void ReadDebugLog(Link& link, MessageBoxes& messages, LogFileDialog& logFile, bool fullRead);

}  // namespace korvan
