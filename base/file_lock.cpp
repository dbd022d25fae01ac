#include "base/file_lock.h"

#include <thread>
#include <utility>

#include "base/file_names.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#endif

namespace korvan {
namespace {

constexpr auto kRetryEvery = std::chrono::milliseconds(50);

#ifdef _WIN32
int openLockFile(const std::filesystem::path& path) {
    return ::_wopen(path.c_str(), _O_RDWR | _O_CREAT | _O_BINARY | _O_NOINHERIT, 0666);
}

bool tryLock(int descriptor) {
    OVERLAPPED whole{};
    const auto handle = reinterpret_cast<HANDLE>(::_get_osfhandle(descriptor));
    return ::LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0,
                        &whole) != 0;
}

void closeLockFile(int descriptor) {
    ::_close(descriptor);  // the system drops the lock with the handle
}
#else
int openLockFile(const std::filesystem::path& path) {
    int descriptor = -1;
    do {
        // Whoever shares the database must be able to lock it: the user's mask decides.
        descriptor = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0666);
    } while (descriptor < 0 && errno == EINTR);
    return descriptor;
}

// One try; false when another open file description holds it.
bool tryLock(int descriptor) {
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET;  // from the start, to the end however long: the whole file
    int result = -1;
    do {
        result = ::fcntl(descriptor, F_OFD_SETLK, &whole);
    } while (result < 0 && errno == EINTR);
    return result == 0;
}

void closeLockFile(int descriptor) {
    ::close(descriptor);  // closing the description releases its lock
}
#endif

}  // namespace

FileLock::FileLock(FileLock&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}

FileLock& FileLock::operator=(FileLock&& other) noexcept {
    if (this != &other) {
        release();
        descriptor_ = std::exchange(other.descriptor_, -1);
    }
    return *this;
}

FileLock::~FileLock() {
    release();
}

void FileLock::release() {
    if (descriptor_ >= 0) {
        closeLockFile(std::exchange(descriptor_, -1));
    }
}

std::filesystem::path FileLock::LockPathOf(const std::filesystem::path& guarded) {
    std::error_code error;
    std::filesystem::path target = guarded;
    if (std::filesystem::is_symlink(guarded, error)) {
        const auto resolved = std::filesystem::weakly_canonical(guarded, error);
        if (!error) {
            target = resolved;
        }
    }
    return target.parent_path() / ("." + target.filename().string() + ".lock");
}

FileLock FileLock::Take(const std::filesystem::path& guarded, std::chrono::milliseconds patience,
                        std::string& why) {
    FileLock lock;
    const auto path = LockPathOf(guarded);
    const int descriptor = openLockFile(path);
    if (descriptor < 0) {
        why = "не удалось открыть файл блокировки " + Utf8FromPath(path);
        return lock;
    }
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        if (tryLock(descriptor)) {
            lock.descriptor_ = descriptor;
            return lock;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(kRetryEvery);
    }
    closeLockFile(descriptor);
    why = "база занята другой программой (блокировка " + Utf8FromPath(path) + ")";
    return lock;
}

}  // namespace korvan
