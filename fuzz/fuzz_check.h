#pragma once

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <system_error>

// What every fuzz target shares: a property that must hold whatever the input, and a scratch
// folder for the readers that take a path.
namespace korvan::fuzz {

// A broken property is a finding: it aborts, so that the fuzzer keeps the input that broke it.
inline void require(bool holds, std::string_view what) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %.*s\n", static_cast<int>(what.size()), what.data());
        std::abort();
    }
}

// A folder of this process's own, in memory where the system has one: the files are written
// with a sync on every run. Removed with everything in it when the process ends normally; a
// process that aborts leaves it, so scripts/fuzz puts them all in one folder it removes
// (`KORVAN_FUZZ_SCRATCH`).
class ScratchFolder {
  public:
    ScratchFolder() {
        std::error_code error;
        std::filesystem::path base = "/dev/shm";
        if (const char* chosen = std::getenv("KORVAN_FUZZ_SCRATCH"); chosen != nullptr) {
            base = chosen;
        } else if (!std::filesystem::is_directory(base, error)) {
            base = std::filesystem::temp_directory_path();
        }
        path_ = base / ("korvan-fuzz-" + std::to_string(::getpid()));
        std::filesystem::create_directories(path_);
    }
    ScratchFolder(const ScratchFolder&) = delete;
    ScratchFolder& operator=(const ScratchFolder&) = delete;
    ~ScratchFolder() {
        std::error_code error;
        std::filesystem::remove_all(path_, error);
    }

    std::filesystem::path operator/(std::string_view name) const { return path_ / name; }

    // The input as a file of that name, written plainly: what is under test is the reading.
    std::filesystem::path put(std::string_view name, std::string_view bytes) const {
        const auto path = path_ / name;
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
        require(out.good(), "the scratch file cannot be written");
        return path;
    }

  private:
    std::filesystem::path path_;
};

}  // namespace korvan::fuzz
