#pragma once

#include <chrono>
#include <filesystem>
#include <string>

namespace korvan {

// An advisory lock that several programs sharing a file take before they read, change and
// replace it, held for as long as the object lives. It lies on a small file of its own beside
// the one it guards (".fleet.zcf.lock" for fleet.zcf), since the guarded file is replaced by a
// rename and a lock on it would stay with the old one. On Linux it is the open file
// description's own lock, which network file systems pass on to the server, and which two
// locks of one process exclude as well as two processes'.
class FileLock {
  public:
    FileLock() = default;
    FileLock(FileLock&& other) noexcept;
    FileLock& operator=(FileLock&& other) noexcept;
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock();

    // The lock of `guarded`, tried again every 50 ms for up to `patience`. Not held when another
    // program keeps it that long or the lock file cannot be made; then `why` says which, in
    // Russian (UTF-8).
    static FileLock take(const std::filesystem::path& guarded, std::chrono::milliseconds patience,
                         std::string& why);

    bool held() const { return descriptor_ >= 0; }

    // Where the lock of `guarded` lies: beside the file a symbolic link leads to, so that two
    // names of one database share one lock.
    static std::filesystem::path lockPathOf(const std::filesystem::path& guarded);

  private:
    void release();
    int descriptor_ = -1;
};

}  // namespace korvan
