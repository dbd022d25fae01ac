#pragma once

#include <QLoggingCategory>
#include <memory>
#include <optional>
#include <string_view>

#include "core/operation_journal.h"
#include "link/trace_file.h"
#include "link/wire_trace.h"

Q_DECLARE_LOGGING_CATEGORY(lcLink)        // korvan.link: the wire trace, at debug
Q_DECLARE_LOGGING_CATEGORY(lcOperations)  // korvan.operations: how each operation went
Q_DECLARE_LOGGING_CATEGORY(lcUi)          // korvan.ui: the window's own doings

namespace korvan {
class Configurator;
}

namespace korvan::ui {

// Warnings and errors by default; with `verbose` every step and the debug output too, the wire
// trace among it.
void enableVerboseLogging(bool verbose);

// Everything the window keeps of its device operations: the wire trace of the core's link to
// korvan.link, to the trace file when one was given, and into the journal of the last
// operations under the user's state folder; each operation's outcome to korvan.operations and
// into the journal. Lives as long as the core, which must outlive no operation of it.
class OperationLogging {
  public:
    OperationLogging(Configurator& core, TraceFile* traceFile,
                     std::optional<std::filesystem::path> journalFile);
    OperationLogging(const OperationLogging&) = delete;
    OperationLogging& operator=(const OperationLogging&) = delete;
    ~OperationLogging();

  private:
    void traceLine(std::string_view line);
    void operationEnded(const Outcome& outcome, std::string_view what);

    Configurator& core_;
    TraceFile* traceFile_;
    std::unique_ptr<OperationJournal> journal_;
    WireTrace trace_;
};

}  // namespace korvan::ui
