#pragma once

#include <iosfwd>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "link/trace_file.h"

namespace CLI {
class App;
}

// The command line every Korvan program shares: help, version, verbose output and the wire
// trace into a file. Each program builds its own CLI11 application on top of it.
namespace korvan {

struct CommonOptions {
    bool verbose = false;   // -v, --verbose: the debug output, the wire trace among it
    std::string traceFile;  // --trace FILE, as given; empty: none
};

// Adds -h/--help, --version ("<name> <version>"), -v/--verbose and --trace FILE to `app`,
// with the help's words in Russian. Call before adding the program's own options.
void addCommonOptions(CLI::App& app, CommonOptions& options);

// Parses the command line into `app`. Nothing when the program goes on; otherwise the status
// it must end with at once: 0 once the help or the version is on `out`, 2 once a usage error
// is told on `err` in Russian, with the program's name and where to find the help; the error
// alone goes into `usageError` when one is given.
std::optional<int> parseCommandLine(CLI::App& app, int argc, const char* const* argv,
                                    std::ostream& out, std::ostream& err,
                                    std::string* usageError = nullptr);

// The trace file that --trace names, opened for appending; nothing when none is asked. When it
// cannot be opened, that is told on `err` and `failed` is set.
std::unique_ptr<TraceFile> openTraceOption(std::string_view program, const CommonOptions& options,
                                           std::ostream& err, bool& failed);

// The status a program ends with once its trace is looked at: a trace asked for and not
// written whole is told on `err`, once, at the end, and an end that was a success (0) becomes
// 5, the status of a file that could not be written.
int statusAfterTrace(std::string_view program, const CommonOptions& options, const TraceFile* trace,
                     int status, std::ostream& err);

// The command line of the window programs: the common options and, optionally, the device
// database to open (a file opened from the file manager).
struct WindowCommandLine {
    CommonOptions options;
    std::string databaseFile;  // as given; empty: the last database
    std::unique_ptr<TraceFile> trace;
    std::optional<int> exitStatus;  // set: end now with it, without a window
};
WindowCommandLine parseWindowCommandLine(std::string_view program, std::string_view description,
                                         int argc, const char* const* argv, std::ostream& out,
                                         std::ostream& err);

}  // namespace korvan
