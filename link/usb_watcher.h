#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include "link/clock.h"
#include "link/usb_watch_plan.h"

namespace korvan {

// Watches the USB bus for the FTDI bridges of link/ftdi_products.h coming and going, with
// libusb's hotplug events where the system has them and a listing once a second where it does
// not. `deviceChanged` is called on the watcher's own thread; the window passes it on to its own.
class UsbWatcher {
  public:
    explicit UsbWatcher(std::function<void()> deviceChanged);
    ~UsbWatcher();
    UsbWatcher(const UsbWatcher&) = delete;
    UsbWatcher& operator=(const UsbWatcher&) = delete;

    // False when libusb could not be started: no device change will be told.
    bool running() const { return thread_.joinable(); }

  private:
    struct Context;
    void run();

    std::function<void()> deviceChanged_;
    SteadyClock clock_;
    UsbWatchPlan plan_;
    std::atomic<bool> stop_{false};
    std::atomic<int> arrivals_{0};
    std::atomic<int> removals_{0};
    bool hotplug_ = false;
    std::unique_ptr<Context> context_;
    std::thread thread_;
};

}  // namespace korvan
