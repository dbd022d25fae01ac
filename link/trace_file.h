#pragma once

#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>

#include "link/wire_trace.h"

namespace korvan {

// A file that a wire trace is appended to, line by line, as the link goes: what was traced
// before a crash is in it. A file that does not exist yet is created for the user alone, as a
// trace may tell a developer more than the technician's eyes should share.
class TraceFile {
  public:
    // Nothing, with the system's reason in `error`, when the file cannot be opened for writing.
    static std::unique_ptr<TraceFile> Open(const std::filesystem::path& path, std::string& error);
    TraceFile(const TraceFile&) = delete;
    TraceFile& operator=(const TraceFile&) = delete;
    ~TraceFile();

    // Appends `line` and a line end. Any thread; a failed write is let go, as the trace is
    // only a witness of the operation.
    void writeLine(std::string_view line);
    // What a WireTrace writes to this file through; the file must outlive it.
    WireTrace::Sink sink() {
        return [this](std::string_view line) { writeLine(line); };
    }

  private:
    explicit TraceFile(int descriptor) : descriptor_(descriptor) {}

    int descriptor_;
    std::mutex mutex_;
};

}  // namespace korvan
