#include "link/trace_file.h"

#include <fcntl.h>

#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#include <sys/stat.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace korvan {
namespace {

#ifdef _WIN32
int openForAppending(const std::filesystem::path& path) {
    return ::_wopen(path.c_str(), _O_WRONLY | _O_APPEND | _O_CREAT | _O_BINARY,
                    _S_IREAD | _S_IWRITE);
}
int writeSome(int descriptor, const char* bytes, std::size_t size) {
    return ::_write(descriptor, bytes, static_cast<unsigned>(size));
}
void closeFile(int descriptor) {
    ::_close(descriptor);
}
bool regularFile(int descriptor) {
    struct _stat status {};
    return ::_fstat(descriptor, &status) == 0 && (status.st_mode & _S_IFREG) != 0;
}
int standardError() {
    return ::_dup(2);
}
#else
int openForAppending(const std::filesystem::path& path) {
    int descriptor = -1;
    do {
        // Not held up by a pipe with no reader: it is refused below, not waited for.
        descriptor =
            ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NONBLOCK, 0600);
    } while (descriptor < 0 && errno == EINTR);
    if (descriptor >= 0) {
        ::fcntl(descriptor, F_SETFL, O_APPEND);  // writes wait again, as a file's do
    }
    return descriptor;
}
bool regularFile(int descriptor) {
    struct stat status {};
    return ::fstat(descriptor, &status) == 0 && S_ISREG(status.st_mode);
}
int standardError() {
    return ::fcntl(STDERR_FILENO, F_DUPFD_CLOEXEC, 0);
}
ssize_t writeSome(int descriptor, const char* bytes, std::size_t size) {
    return ::write(descriptor, bytes, size);
}
void closeFile(int descriptor) {
    ::close(descriptor);
}
#endif

}  // namespace

std::unique_ptr<TraceFile> TraceFile::open(const std::filesystem::path& path, std::string& error) {
    if (path == "-") {
        const int descriptor = standardError();
        if (descriptor < 0) {
            error = std::strerror(errno);
            return nullptr;
        }
        return std::unique_ptr<TraceFile>(new TraceFile(descriptor));
    }
    const int descriptor = openForAppending(path);
    if (descriptor < 0) {
        error = errno == ENXIO ? "канал без читателя, а нужен обычный файл" : std::strerror(errno);
        return nullptr;
    }
    if (!regularFile(descriptor)) {
        closeFile(descriptor);
        error = "это не обычный файл";
        return nullptr;
    }
    return std::unique_ptr<TraceFile>(new TraceFile(descriptor));
}

std::optional<std::string> TraceFile::failure() const {
    std::lock_guard lock(mutex_);
    return failure_;
}

TraceFile::~TraceFile() {
    closeFile(descriptor_);
}

void TraceFile::writeLine(std::string_view line) {
    std::string text(line);
    text += '\n';
    std::lock_guard lock(mutex_);
    // One write a line: with O_APPEND two programs tracing into one file do not cut into each
    // other's lines.
    std::size_t done = 0;
    while (done < text.size()) {
        const auto wrote = writeSome(descriptor_, text.data() + done, text.size() - done);
        if (wrote < 0 && errno == EINTR) {
            continue;
        }
        if (wrote <= 0) {
            if (!failure_) {
                failure_ = wrote < 0 ? std::strerror(errno) : "запись не идёт";
            }
            return;
        }
        done += static_cast<std::size_t>(wrote);
    }
}

}  // namespace korvan
