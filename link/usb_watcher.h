#pragma once

#include <atomic>
#include <functional>
#include <thread>

#include "link/clock.h"
#include "link/usb_watch_plan.h"

namespace korvan {

// Watches the USB bus for the FTDI bridges of link/ftdi_products.h coming and going, with
// libusb's hotplug events where the system has them and a listing every `listEvery` where it
// does not. `deviceChanged` is called on the watcher's own thread; the window passes it on to
// its own.
//
// libusb's events come from the udev daemon: where none runs (a container, a small system, the
// test rig's guest) libusb still claims hot-plug, but no event ever comes, so the watcher lists
// instead. Each listing takes a fresh libusb context, as a long-lived one is never told that a
// device went and would list it for ever.
class UsbWatcher {
  public:
    static constexpr Clock::Duration kListEvery = std::chrono::seconds(1);

    explicit UsbWatcher(std::function<void()> deviceChanged,
                        Clock::Duration listEvery = kListEvery);
    ~UsbWatcher();
    UsbWatcher(const UsbWatcher&) = delete;
    UsbWatcher& operator=(const UsbWatcher&) = delete;

    // False when libusb could not be started: no device change will be told.
    bool running() const { return thread_.joinable(); }
    // Whether it hears hot-plug events rather than listing.
    bool hearsEvents() const { return hotplug_; }

  private:
    struct Context;
    void run();

    std::function<void()> deviceChanged_;
    Clock::Duration listEvery_;
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
