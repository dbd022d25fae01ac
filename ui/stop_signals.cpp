#include "ui/stop_signals.h"

#include <QSocketNotifier>

#ifndef _WIN32
#include <fcntl.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <csignal>
#endif

namespace korvan::ui {

#ifndef _WIN32
namespace {

// The pipe the handler writes into: [0] read on the window's thread, [1] written by the handler.
// Made once and kept open while the process lives: a handler still running on another thread
// when the object goes must not write into a closed or reused descriptor.
int pipeEnds[2] = {-1, -1};
constexpr std::array kStopSignals = {SIGTERM, SIGHUP};
struct sigaction previous[kStopSignals.size()];

extern "C" void onStopSignal(int) {
    const int savedErrno = errno;
    const char byte = 1;
    // A full pipe already holds a wake-up: nothing is lost when this write fails.
    [[maybe_unused]] const auto written = ::write(pipeEnds[1], &byte, 1);
    errno = savedErrno;
}

}  // namespace

StopSignals::StopSignals(std::function<void()> onSignal) : onSignal_(std::move(onSignal)) {
    if (pipeEnds[0] < 0) {
        if (::pipe(pipeEnds) != 0) {
            pipeEnds[0] = pipeEnds[1] = -1;
            return;
        }
        for (int end : pipeEnds) {
            ::fcntl(end, F_SETFD, FD_CLOEXEC);
            ::fcntl(end, F_SETFL, ::fcntl(end, F_GETFL) | O_NONBLOCK);
        }
    }
    // A signal that came while no object listened is old news.
    char stale[16];
    while (::read(pipeEnds[0], stale, sizeof stale) > 0) {
    }
    notifier_ = std::make_unique<QSocketNotifier>(pipeEnds[0], QSocketNotifier::Read);
    connect(notifier_.get(), &QSocketNotifier::activated, this, [this] { received(); });
    struct sigaction action {};
    action.sa_handler = onStopSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
        ::sigaction(kStopSignals[i], &action, &previous[i]);
    }
}

StopSignals::~StopSignals() {
    if (pipeEnds[0] < 0) {
        return;
    }
    for (std::size_t i = 0; i < kStopSignals.size(); ++i) {
        ::sigaction(kStopSignals[i], &previous[i], nullptr);
    }
    notifier_.reset();
}

void StopSignals::received() {
    char bytes[16];
    bool any = false;
    while (::read(pipeEnds[0], bytes, sizeof bytes) > 0) {
        any = true;
    }
    if (any && onSignal_) {
        onSignal_();
    }
}

#else

StopSignals::StopSignals(std::function<void()> onSignal) : onSignal_(std::move(onSignal)) {}
StopSignals::~StopSignals() = default;
void StopSignals::received() {}

#endif

}  // namespace korvan::ui
