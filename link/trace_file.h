#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "link/wire_trace.h"

namespace korvan {

// A file that a wire trace is appended to, line by line, as the link goes: what was traced
// before a crash is in it. A file that does not exist yet is created for the user alone, as a
// trace may tell a developer more than the technician's eyes should share.
class TraceFile {
  public:
    // Nothing, with the reason in `error`, when the file cannot be opened for writing or is no
    // regular file (a pipe would hold the program up before it has done anything, a device
    // would swallow the trace). "-" is standard error.
    static std::unique_ptr<TraceFile> open(const std::filesystem::path& path, std::string& error);
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;
    ~TraceFile();

    // Appends `line` and a line end. Any thread; a failed write does not stop the operation,
    // and the first one is kept for `failure`.
    void writeLine(std::string_view line);
    // Why the trace could not be written whole, or nothing.
    std::optional<std::string> failure() const;
    // What a WireTrace writes to this file through; the file must outlive it.
    WireTrace::Sink sink() {
        return [this](std::string_view line) { writeLine(line); };
    }

  private:
    explicit TraceFile(int descriptor) : descriptor_(descriptor) {}

    int descriptor_;
    mutable std::mutex mutex_;
    std::optional<std::string> failure_;
};

}  // namespace korvan
