#include "base/file_io.h"

#include <cerrno>
#include <cstdio>
#include <memory>
#include <random>
#include <system_error>
#include <utility>

#include "base/file_names.h"

#ifdef _WIN32
#include <io.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace korvan {
namespace {

namespace fs = std::filesystem;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

FileHandle openFile(const fs::path& path, const char* mode) {
#ifdef _WIN32
    std::wstring wideMode(mode, mode + std::char_traits<char>::length(mode));
    return FileHandle(_wfopen(path.c_str(), wideMode.c_str()));
#else
    return FileHandle(std::fopen(path.c_str(), mode));
#endif
}

#ifndef _WIN32
// The system's own rule for following a link that lies in a folder others may write into.
bool wouldFollow(const fs::path& link) {
    struct stat linkStat {};
    struct stat folderStat {};
    const fs::path folder = link.has_parent_path() ? link.parent_path() : fs::path(".");
    if (::lstat(link.c_str(), &linkStat) != 0 || ::stat(folder.c_str(), &folderStat) != 0) {
        return false;
    }
    const bool shared = (folderStat.st_mode & (S_ISVTX | S_IWOTH)) == (S_ISVTX | S_IWOTH);
    return linkStat.st_uid == ::geteuid() || !shared || linkStat.st_uid == folderStat.st_uid;
}
#endif

// A file without any write permission was marked read-only on purpose; the rename would replace
// it anyway (and root writes it regardless), so it is refused here. Where the system tells,
// a file this user may not write is refused too, rather than replaced by one of the user's own.
bool readOnly(const fs::path& file, fs::perms perms) {
    constexpr auto kAnyWrite =
        fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
    if ((perms & kAnyWrite) == fs::perms::none) {
        return true;
    }
#ifdef _WIN32
    (void)file;
    return false;
#else
    return ::faccessat(AT_FDCWD, file.c_str(), W_OK, AT_EACCESS) != 0 && errno != ENOENT;
#endif
}

// "fleet.zcf" gives ".fleet.zcf.<n>.tmp" beside it: a name of its own, so that a file of the
// user's that happens to be called "fleet.zcf.tmp" is never touched.
fs::path temporaryName(const fs::path& target, std::uint32_t n) {
    char suffix[24];
    std::snprintf(suffix, sizeof suffix, ".%08x.tmp", static_cast<unsigned>(n));
    fs::path name(".");
    name += target.filename();
    name += suffix;
    return target.parent_path() / name;
}

// The file the new bytes go to before they replace the old ones. It is removed again unless it
// has been renamed over the target.
class TemporaryFile {
  public:
    static std::optional<TemporaryFile> createBeside(const fs::path& target, NewFileAccess access) {
        std::random_device seed;
        std::mt19937 random(seed());
        for (int attempt = 0; attempt < 100; ++attempt) {
            TemporaryFile file(temporaryName(target, static_cast<std::uint32_t>(random())));
            if (file.create(access)) {
                return file;
            }
            if (errno != EEXIST) {
                return std::nullopt;
            }
        }
        return std::nullopt;
    }

    TemporaryFile(TemporaryFile&& other) noexcept
        : path_(std::exchange(other.path_, {})),
#ifdef _WIN32
          file_(std::move(other.file_))
#else
          descriptor_(std::exchange(other.descriptor_, -1))
#endif
    {
    }
    TemporaryFile& operator=(TemporaryFile&&) = delete;

    ~TemporaryFile() {
        closeQuietly();
        if (!path_.empty()) {
            std::error_code error;
            fs::remove(path_, error);
        }
    }

    bool write(std::string_view bytes) {
#ifdef _WIN32
        return std::fwrite(bytes.data(), 1, bytes.size(), file_.get()) == bytes.size();
#else
        return writeAll(descriptor_, bytes);
#endif
    }

    // The new file takes the place of the old one and so takes over who owns it and who may
    // read it: a database kept for a group, or a password file kept private, stays so.
    bool keepModeAndOwnerOf([[maybe_unused]] const fs::path& original) {
#ifdef _WIN32
        return true;  // the read-only mark, the one attribute that matters here, was checked
#else
        struct stat old {};
        struct stat now {};
        if (::stat(original.c_str(), &old) != 0 || ::fstat(descriptor_, &now) != 0) {
            return false;
        }
        // A file this user cannot give its owner back is not replaced by one of the user's own.
        if ((now.st_uid != old.st_uid || now.st_gid != old.st_gid) &&
            ::fchown(descriptor_, old.st_uid, old.st_gid) != 0) {
            return false;
        }
        // After the owner, as a change of owner clears the set-id bits.
        return ::fchmod(descriptor_, old.st_mode & 07777) == 0;
#endif
    }

    // The bytes are on the disk before the rename publishes them, so that a crash never leaves
    // a complete-looking file with lost contents.
    bool syncAndClose() {
#ifdef _WIN32
        const bool synced = std::fflush(file_.get()) == 0 && _commit(_fileno(file_.get())) == 0;
        return std::fclose(file_.release()) == 0 && synced;
#else
        const bool synced = ::fsync(descriptor_) == 0;
        return ::close(std::exchange(descriptor_, -1)) == 0 && synced;
#endif
    }

    bool renameOver(const fs::path& target) {
        std::error_code error;
        fs::rename(path_, target, error);
        if (error) {
            return false;
        }
        path_.clear();
        return true;
    }

  private:
    explicit TemporaryFile(fs::path path) : path_(std::move(path)) {}

    bool create(NewFileAccess access) {
#ifdef _WIN32
        (void)access;  // a new file inherits the folder's access rules
        file_ = FileHandle(_wfopen(path_.c_str(), L"wbx"));
        const bool created = file_ != nullptr;
#else
        const mode_t mode = access == NewFileAccess::OwnerOnly ? 0600 : 0666;
        descriptor_ = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
        const bool created = descriptor_ >= 0;
#endif
        if (!created) {
            path_.clear();  // not ours to remove
        }
        return created;
    }

    void closeQuietly() {
#ifdef _WIN32
        file_.reset();
#else
        if (descriptor_ >= 0) {
            ::close(std::exchange(descriptor_, -1));
        }
#endif
    }

    fs::path path_;
#ifdef _WIN32
    FileHandle file_;
#else
    int descriptor_ = -1;
#endif
};

// A rename is durable only once the folder that holds the new name is on the disk too.
bool syncFolder([[maybe_unused]] const fs::path& folder) {
#ifdef _WIN32
    return true;  // the rename is written through by the file system itself
#else
    const int descriptor = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (descriptor < 0) {
        return false;
    }
    // Some file systems cannot sync a folder at all; they say so with EINVAL.
    const bool synced = ::fsync(descriptor) == 0 || errno == EINVAL;
    ::close(descriptor);
    return synced;
#endif
}

}  // namespace

SaveTarget saveTargetOf(const std::filesystem::path& start) {
    constexpr int kMostLinks = 40;  // as many as the system itself follows
    fs::path path = start;
    for (int followed = 0; followed <= kMostLinks; ++followed) {
        std::error_code error;
        if (!fs::is_symlink(fs::symlink_status(path, error))) {
            return {SaveTarget::Kind::File, path};
        }
#ifndef _WIN32
        if (!wouldFollow(path)) {
            return {SaveTarget::Kind::Refused, path};
        }
#endif
        auto target = fs::read_symlink(path, error);
        if (error) {
            return {SaveTarget::Kind::Unresolved, path};
        }
        path = target.is_absolute() ? target : path.parent_path() / target;
    }
    return {SaveTarget::Kind::Unresolved, start};  // a loop of links
}

std::string refusedLinkText(const std::filesystem::path& link) {
    return "символическая ссылка " + utf8FromPath(link) +
           " лежит в общей папке и принадлежит другому пользователю: по ней не сохраняется";
}

std::optional<std::string> readWholeFile(const std::filesystem::path& path, std::size_t largest) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(path, error)) {
        return std::nullopt;
    }
    FileHandle file = openFile(path, "rb");
    if (!file) {
        return std::nullopt;
    }
    std::string bytes;
    char buffer[8192];
    std::size_t got = 0;
    while ((got = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        if (got > largest - bytes.size()) {
            return std::nullopt;
        }
        bytes.append(buffer, got);
    }
    if (std::ferror(file.get())) {
        return std::nullopt;
    }
    return bytes;
}

std::vector<std::string_view> splitLines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t start = 0;
    while (start < text.size()) {
        auto end = text.find('\n', start);
        if (end == std::string_view::npos) {
            end = text.size();
        }
        auto line = text.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        lines.push_back(line);
        start = end + 1;
    }
    return lines;
}

FileWrite writeFileAtomically(const std::filesystem::path& path, std::string_view bytes,
                              NewFileAccess access) {
    const SaveTarget saveTarget = saveTargetOf(path);
    if (saveTarget.kind == SaveTarget::Kind::Refused) {
        return FileWrite::LinkRefused;
    }
    if (saveTarget.kind == SaveTarget::Kind::Unresolved) {
        return FileWrite::Failed;
    }
    const fs::path& target = saveTarget.path;
    const fs::path folder = target.has_parent_path() ? target.parent_path() : fs::path(".");
    std::error_code error;
    if (!fs::is_directory(folder, error)) {
        return FileWrite::NoFolder;
    }
    const auto status = fs::status(target, error);
    const bool exists = fs::exists(status);
    if (!exists && status.type() != fs::file_type::not_found) {
        return FileWrite::Failed;  // whether something is there could not be told
    }
    if (exists && !fs::is_regular_file(status)) {
        return FileWrite::NotAFile;
    }
    if (exists && readOnly(target, status.permissions())) {
        return FileWrite::ReadOnly;
    }
    auto temporary = TemporaryFile::createBeside(target, access);
    if (!temporary || !temporary->write(bytes) ||
        (exists && !temporary->keepModeAndOwnerOf(target)) || !temporary->syncAndClose() ||
        !temporary->renameOver(target)) {
        return FileWrite::Failed;
    }
    return syncFolder(folder) ? FileWrite::Written : FileWrite::Failed;
}

#ifndef _WIN32
bool writeAll(int descriptor, std::string_view bytes) {
    while (!bytes.empty()) {
        const auto written = ::write(descriptor, bytes.data(), bytes.size());
        if (written < 0 && errno == EINTR) {
            continue;
        }
        if (written <= 0) {
            return false;
        }
        bytes.remove_prefix(static_cast<std::size_t>(written));
    }
    return true;
}
#endif

}  // namespace korvan
