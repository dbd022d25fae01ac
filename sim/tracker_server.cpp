#include "sim/tracker_server.h"

#include <fcntl.h>
#include <netdb.h>
#include <poll.h>
#include <sys/socket.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>
#include <memory>

#include "base/file_io.h"
#include "link/link.h"

namespace korvan::sim {
namespace {

std::string systemReason() {
    return std::strerror(errno);
}

// The time left until `due`, for ppoll: zero when it has come.
timespec until(Clock::Duration due, Clock::Duration now) {
    const auto left = std::max(due - now, Clock::Duration::zero());
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(left);
    return {static_cast<time_t>(seconds.count()),
            static_cast<long>(std::chrono::nanoseconds(left - seconds).count())};
}

// A socket is written with send() so that a peer gone away is an error, not SIGPIPE; a
// pseudo-terminal, which is no socket, with write().
ssize_t writeSome(int fd, const char* bytes, std::size_t size) {
    const ssize_t sent = ::send(fd, bytes, size, MSG_NOSIGNAL);
    if (sent < 0 && errno == ENOTSOCK) {
        return ::write(fd, bytes, size);
    }
    return sent;
}

}  // namespace

Descriptor& Descriptor::operator=(Descriptor&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = other.release();
    }
    return *this;
}

Descriptor::~Descriptor() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

TrackerServer::Ended TrackerServer::serve(int fd, int stop) {
    const auto start = beginConnection(fd);
    const auto ended = [&](Ended how) {
        if (observer_ != nullptr) {
            observer_->closed(clock_.now() - start);
        }
        return how;
    };
    std::array<char, 4096> buffer{};
    // The program has said all it will (its end is shut for writing): the replies still
    // coming go out, then the connection ends.
    bool programDone = false;
    for (;;) {
        if (!sendDue(fd, start)) {
            if (programDone) {
                return ended(Ended::Closed);
            }
            tell("соединение прервано: " + systemReason());
            return ended(Ended::Failed);
        }
        if (programDone && due_.empty() && outbox_.empty()) {
            return ended(Ended::Closed);
        }
        const Woken woken = waitOn(fd, stop, programDone);
        if (woken == Woken::Interrupted) {
            continue;
        }
        if (woken == Woken::Failed) {
            return ended(Ended::Failed);
        }
        if (woken == Woken::Stopped) {
            return ended(Ended::Stopped);
        }
        if (programDone || woken != Woken::Readable) {
            continue;
        }
        if (const auto how = readFromProgram(fd, buffer, start, programDone)) {
            return ended(*how);
        }
    }
}

Clock::Duration TrackerServer::beginConnection(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    tracker_.powerOn();
    stream_ = TrackerStream();
    due_.clear();
    outbox_.clear();
    const auto start = clock_.now();
    if (observer_ != nullptr) {
        observer_->opened(LinkTarget::serial(tracker_.usbSerial));
    }
    return start;
}

TrackerServer::Woken TrackerServer::waitOn(int fd, int stop, bool programDone) {
    std::array<pollfd, 2> watched = {{{fd, POLLIN, 0}, {stop, POLLIN, 0}}};
    if (programDone) {
        watched[0].events = 0;
    }
    if (!outbox_.empty()) {
        watched[0].events |= POLLOUT;
    }
    if (watched[0].events == 0) {
        watched[0].fd = -1;  // a hung-up socket would wake the wait at once, again and again
    }
    timespec wait{};
    const bool waitsForReply = outbox_.empty() && !due_.empty();
    if (waitsForReply) {
        wait = until(due_.front().due, clock_.now());
    }
    if (::ppoll(watched.data(), watched.size(), waitsForReply ? &wait : nullptr, nullptr) < 0) {
        if (errno == EINTR) {
            return Woken::Interrupted;
        }
        tell("ожидание соединения не удалось: " + systemReason());
        return Woken::Failed;
    }
    if (watched[1].revents != 0) {
        return Woken::Stopped;
    }
    return (watched[0].revents & (POLLIN | POLLHUP | POLLERR)) != 0 ? Woken::Readable : Woken::Idle;
}

std::optional<TrackerServer::Ended> TrackerServer::readFromProgram(int fd, std::span<char> buffer,
                                                                   Clock::Duration start,
                                                                   bool& programDone) {
    const ssize_t got = ::read(fd, buffer.data(), buffer.size());
    if (got < 0 && (errno == EAGAIN || errno == EINTR)) {
        return std::nullopt;
    }
    if (got == 0) {
        programDone = true;
        return std::nullopt;
    }
    if (got < 0) {
        // A pseudo-terminal tells the end of its line as EIO.
        return errno == EIO || errno == ECONNRESET ? Ended::Closed : Ended::Failed;
    }
    if (hear(buffer.first(static_cast<std::size_t>(got)), start)) {
        return Ended::Unplugged;
    }
    return std::nullopt;
}

bool TrackerServer::hear(std::span<const char> received, Clock::Duration start) {
    const auto now = clock_.now();
    const std::span<const std::uint8_t> bytes(
        reinterpret_cast<const std::uint8_t*>(received.data()), received.size());
    if (record_ && !writeAll(record_.get(), {received.data(), bytes.size()})) {
        tell("не удалось дописать принятые байты в файл: " + systemReason());
    }
    if (observer_ != nullptr) {
        observer_->written(bytes, now - start);
    }
    const auto heard = stream_.feed(tracker_, bytes, now);
    // The server never asks the tracker what it heard: its record would only grow.
    tracker_.clearRecord();
    due_.insert(due_.end(), heard.reply.begin(), heard.reply.end());
    if (heard.unplugged) {
        tell("трекер выдернут (сбой unplug): соединение закрывается");
        return true;
    }
    return false;
}

bool TrackerServer::sendDue(int fd, Clock::Duration start) {
    const auto now = clock_.now();
    while (!due_.empty() && due_.front().due <= now) {
        outbox_ += static_cast<char>(due_.front().byte);
        due_.pop_front();
    }
    while (!outbox_.empty()) {
        const ssize_t sent = writeSome(fd, outbox_.data(), outbox_.size());
        if (sent < 0) {
            return errno == EAGAIN || errno == EINTR;
        }
        if (observer_ != nullptr) {
            observer_->received({reinterpret_cast<const std::uint8_t*>(outbox_.data()),
                                 static_cast<std::size_t>(sent)},
                                clock_.now() - start);
        }
        outbox_.erase(0, static_cast<std::size_t>(sent));
    }
    return true;
}

std::optional<Listener> listenOn(std::string_view address, std::string& error) {
    const auto colon = address.rfind(':');
    if (colon == std::string_view::npos) {
        error = "адрес должен быть вида УЗЕЛ:ПОРТ, например 127.0.0.1:0: " + std::string(address);
        return std::nullopt;
    }
    std::string host(address.substr(0, colon));
    const std::string service(address.substr(colon + 1));
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']') {
        host = host.substr(1, host.size() - 2);
    }
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_PASSIVE | AI_NUMERICSERV;
    addrinfo* found = nullptr;
    if (const int failed =
            ::getaddrinfo(host.empty() ? nullptr : host.c_str(), service.c_str(), &hints, &found);
        failed != 0) {
        error = "адрес " + std::string(address) + " не подходит: " + ::gai_strerror(failed);
        return std::nullopt;
    }
    const std::unique_ptr<addrinfo, decltype(&::freeaddrinfo)> addresses(found, ::freeaddrinfo);
    error = "нет адресов для " + std::string(address);
    for (const addrinfo* a = addresses.get(); a != nullptr; a = a->ai_next) {
        Descriptor socket(::socket(a->ai_family, a->ai_socktype | SOCK_CLOEXEC, a->ai_protocol));
        if (!socket) {
            error = "не удалось создать сокет: " + systemReason();
            continue;
        }
        const int on = 1;
        ::setsockopt(socket.get(), SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
        if (::bind(socket.get(), a->ai_addr, a->ai_addrlen) != 0 ||
            ::listen(socket.get(), 4) != 0) {
            error = "не удалось слушать " + std::string(address) + ": " + systemReason();
            continue;
        }
        sockaddr_storage bound{};
        socklen_t length = sizeof bound;
        ::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&bound), &length);
        Listener listener{std::move(socket), 0};
        if (bound.ss_family == AF_INET) {
            listener.port = ntohs(reinterpret_cast<const sockaddr_in*>(&bound)->sin_port);
        } else if (bound.ss_family == AF_INET6) {
            listener.port = ntohs(reinterpret_cast<const sockaddr_in6*>(&bound)->sin6_port);
        }
        return listener;
    }
    return std::nullopt;
}

std::optional<PseudoTerminal> openPseudoTerminal(std::string& error) {
    PseudoTerminal pty;
    pty.master = Descriptor(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!pty.master || ::grantpt(pty.master.get()) != 0 || ::unlockpt(pty.master.get()) != 0) {
        error = "не удалось создать псевдотерминал: " + systemReason();
        return std::nullopt;
    }
    std::array<char, 128> name{};
    if (::ptsname_r(pty.master.get(), name.data(), name.size()) != 0) {
        error = "не удалось узнать имя псевдотерминала: " + systemReason();
        return std::nullopt;
    }
    pty.path = name.data();
    pty.terminal = Descriptor(::open(pty.path.c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC));
    termios line{};
    if (!pty.terminal || ::tcgetattr(pty.terminal.get(), &line) != 0) {
        error = "не удалось открыть псевдотерминал " + pty.path + ": " + systemReason();
        return std::nullopt;
    }
    // Bytes as they are: no echo, no line editing, no CR/LF translation.
    ::cfmakeraw(&line);
    ::tcsetattr(pty.terminal.get(), TCSANOW, &line);
    return pty;
}

}  // namespace korvan::sim
