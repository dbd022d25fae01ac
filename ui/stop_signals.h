#pragma once

#include <QObject>
#include <functional>
#include <memory>

class QSocketNotifier;

namespace korvan::ui {

// SIGTERM and SIGHUP (a logout, a closed terminal, a service manager stopping the program) run
// `onSignal` on the window's thread, so that the program can save what it holds before it ends.
// The handler itself only writes a byte into a pipe, which is all a handler may safely do. One
// object at a time; its end puts the previous handlers back (the pipe stays for the process's
// life). Without POSIX signals, nothing.
class StopSignals : public QObject {
  public:
    explicit StopSignals(std::function<void()> onSignal);
    ~StopSignals() override;
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

  private:
    void received();

    std::function<void()> onSignal_;
    std::unique_ptr<QSocketNotifier> notifier_;
};

}  // namespace korvan::ui
