#include "tests/support/ordinary_user.h"

#ifndef _WIN32
#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <array>

namespace korvan::testing {

#ifndef _WIN32
namespace {

constexpr uid_t kNobody = 65534;

bool becomeNobody() {
    return ::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 && ::setuid(kNobody) == 0;
}

}  // namespace

std::string asOrdinaryUser(const std::function<std::string()>& check) {
    if (::geteuid() != 0) {
        return check();
    }
    int report[2];
    if (::pipe(report) != 0) {
        return "no pipe for the child's report";
    }
    const pid_t child = ::fork();
    if (child < 0) {
        return "no child process";
    }
    if (child == 0) {
        ::close(report[0]);
        std::string wrong = "could not become nobody";
        if (becomeNobody()) {
            // A throw must not carry the child into the rest of the suite as nobody.
            try {
                wrong = check();
            } catch (...) {
                wrong = "the check threw";
            }
        }
        [[maybe_unused]] const auto written = ::write(report[1], wrong.data(), wrong.size());
        ::_exit(0);
    }
    ::close(report[1]);
    std::string wrong;
    std::array<char, 512> buffer{};
    ssize_t got = 0;
    while ((got = ::read(report[0], buffer.data(), buffer.size())) > 0) {
        wrong.append(buffer.data(), static_cast<std::size_t>(got));
    }
    ::close(report[0]);
    int status = 0;
    ::waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        wrong += " (the child did not end by itself: status " + std::to_string(status) + ")";
    }
    return wrong;
}

void handToOrdinaryUser(const std::filesystem::path& path) {
    if (::geteuid() != 0) {
        return;
    }
    std::error_code error;
    [[maybe_unused]] int changed = ::lchown(path.c_str(), kNobody, kNobody);
    if (std::filesystem::is_directory(path, error)) {
        for (const auto& entry : std::filesystem::recursive_directory_iterator(path, error)) {
            changed = ::lchown(entry.path().c_str(), kNobody, kNobody);
        }
    }
    // The folders above, up to the temporary folder, let others through.
    const auto top = std::filesystem::temp_directory_path();
    for (auto above = path.parent_path(); above.has_relative_path() && above != top;
         above = above.parent_path()) {
        std::filesystem::permissions(above, std::filesystem::perms::others_exec,
                                     std::filesystem::perm_options::add, error);
    }
}

#else
std::string asOrdinaryUser(const std::function<std::string()>& check) {
    return check();
}
void handToOrdinaryUser(const std::filesystem::path&) {}
#endif

}  // namespace korvan::testing
