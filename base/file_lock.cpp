#include "base/file_lock.h"

#include <thread>
#include <utility>

#include "base/file_io.h"
#include "base/file_names.h"

#ifdef _WIN32
#include <io.h>
#include <windows.h>
#else
#include <fcntl.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
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

void closeFile(int descriptor) {
    ::_close(descriptor);
}

void closeLockFile(int descriptor) {
    closeFile(descriptor);  // the system drops the lock with the handle
}

void announceHolder(int) {}
std::string holderOf(int) {
    return {};
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

// The holder writes its name and process into the lock file, so that a program kept waiting
// can say who keeps it; the name is emptied again before the lock goes.
void announceHolder(int descriptor) {
    char text[96];
#ifdef __GLIBC__
    const char* name = program_invocation_short_name;
#else
    const char* name = "korvan";
#endif
    const int length =
        std::snprintf(text, sizeof text, "%.40s %ld\n", name, static_cast<long>(::getpid()));
    if (::ftruncate(descriptor, 0) == 0 && length > 0) {
        [[maybe_unused]] const auto written =
            ::pwrite(descriptor, text, static_cast<std::size_t>(length), 0);
    }
}

// Who the lock file says holds the lock: ", программа korvan-cli, процесс 1234", or nothing
// where it says nothing readable. Only letters, digits and a few signs are taken from it, as
// the file is anybody's to write.
std::string holderOf(int descriptor) {
    char text[96] = {};
    const auto got = ::pread(descriptor, text, sizeof text - 1, 0);
    if (got <= 0) {
        return {};
    }
    std::string name;
    long process = 0;
    std::size_t at = 0;
    for (; at < static_cast<std::size_t>(got) && text[at] != ' '; ++at) {
        const auto c = static_cast<unsigned char>(text[at]);
        if (!std::isalnum(c) && c != '-' && c != '_' && c != '.') {
            return {};
        }
        name += static_cast<char>(c);
    }
    if (name.empty() || std::sscanf(text + at, " %ld", &process) != 1 || process <= 0) {
        return {};
    }
    return ", программа " + name + ", процесс " + std::to_string(process);
}

void closeFile(int descriptor) {
    ::close(descriptor);
}

void closeLockFile(int descriptor) {
    [[maybe_unused]] const int emptied = ::ftruncate(descriptor, 0);
    closeFile(descriptor);  // closing the description releases its lock
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

std::filesystem::path FileLock::lockPathOf(const std::filesystem::path& guarded) {
    const SaveTarget saved = saveTargetOf(guarded);
    const std::filesystem::path& target =
        saved.kind == SaveTarget::Kind::File ? saved.path : guarded;
    return target.parent_path() / ("." + target.filename().string() + ".lock");
}

FileLock FileLock::take(const std::filesystem::path& guarded, std::chrono::milliseconds patience,
                        std::string& why) {
    FileLock lock;
    const auto path = lockPathOf(guarded);
    const int descriptor = openLockFile(path);
    if (descriptor < 0) {
        why = "не удалось открыть файл блокировки " + utf8FromPath(path);
        return lock;
    }
    const auto deadline = std::chrono::steady_clock::now() + patience;
    for (;;) {
        if (tryLock(descriptor)) {
            announceHolder(descriptor);
            lock.descriptor_ = descriptor;
            return lock;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            break;
        }
        std::this_thread::sleep_for(kRetryEvery);
    }
    why = "база занята другой программой" + holderOf(descriptor) + " (блокировка " +
          utf8FromPath(path) + "); повторите, когда она закончит";
    closeFile(descriptor);  // not the holder: what the file says is the holder's
    return lock;
}

}  // namespace korvan
