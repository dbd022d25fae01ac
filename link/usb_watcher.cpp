#include "link/usb_watcher.h"

#include <libusb.h>
#include <unistd.h>

#include <algorithm>
#include <vector>

#include "link/ftdi_products.h"

namespace korvan {
namespace {

// How long a wait for events lasts, and a sleep between listings at most: how soon the watcher
// stops when told.
constexpr auto kEventWait = std::chrono::milliseconds(250);

// The udev daemon's control socket, there while the daemon runs: libusb's events come from it.
bool udevDaemonRuns() {
    return ::access("/run/udev/control", F_OK) == 0;
}

// The FTDI bridges attached now, in a context of their own; empty when libusb cannot list.
std::vector<UsbDeviceId> listFtdiDevices() {
    std::vector<UsbDeviceId> found;
    libusb_context* usb = nullptr;
    if (libusb_init(&usb) != 0) {
        return found;
    }
    libusb_device** list = nullptr;
    const auto count = libusb_get_device_list(usb, &list);
    for (ssize_t i = 0; i < count; ++i) {
        libusb_device_descriptor descriptor{};
        if (libusb_get_device_descriptor(list[i], &descriptor) == 0 &&
            isListedFtdiProduct(descriptor.idVendor, descriptor.idProduct)) {
            found.push_back({libusb_get_bus_number(list[i]), libusb_get_device_address(list[i])});
        }
    }
    if (list != nullptr) {
        libusb_free_device_list(list, 1);
    }
    libusb_exit(usb);
    return found;
}

}  // namespace

struct UsbWatcher::Context {
    libusb_context* usb = nullptr;
    libusb_hotplug_callback_handle callback = 0;
    bool registered = false;

    ~Context() {
        if (usb != nullptr) {
            if (registered) {
                libusb_hotplug_deregister_callback(usb, callback);
            }
            libusb_exit(usb);
        }
    }
};

UsbWatcher::UsbWatcher(std::function<void()> deviceChanged, Clock::Duration listEvery)
    : deviceChanged_(std::move(deviceChanged)),
      listEvery_(listEvery),
      context_(std::make_unique<Context>()) {
    if (libusb_init(&context_->usb) != 0) {
        context_->usb = nullptr;
        return;
    }
    hotplug_ = libusb_has_capability(LIBUSB_CAP_HAS_HOTPLUG) != 0 && udevDaemonRuns();
    if (hotplug_) {
        // libusb filters on one product id or none: the vendor's other products are told too,
        // and left out here.
        auto onEvent = [](libusb_context*, libusb_device* device, libusb_hotplug_event event,
                          void* self) -> int {
            libusb_device_descriptor descriptor{};
            if (libusb_get_device_descriptor(device, &descriptor) != 0 ||
                !isListedFtdiProduct(descriptor.idVendor, descriptor.idProduct)) {
                return 0;  // stay registered
            }
            auto* watcher = static_cast<UsbWatcher*>(self);
            if (event == LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED) {
                ++watcher->arrivals_;
            } else {
                ++watcher->removals_;
            }
            return 0;  // stay registered
        };
        hotplug_ =
            libusb_hotplug_register_callback(
                context_->usb,
                static_cast<libusb_hotplug_event>(LIBUSB_HOTPLUG_EVENT_DEVICE_ARRIVED |
                                                  LIBUSB_HOTPLUG_EVENT_DEVICE_LEFT),
                LIBUSB_HOTPLUG_NO_FLAGS, kFtdiVendor, LIBUSB_HOTPLUG_MATCH_ANY,
                LIBUSB_HOTPLUG_MATCH_ANY, onEvent, this, &context_->callback) == LIBUSB_SUCCESS;
        context_->registered = hotplug_;
    }
    thread_ = std::thread([this] { run(); });
}

UsbWatcher::~UsbWatcher() {
    stop_ = true;
    if (thread_.joinable()) {
        thread_.join();
    }
}

void UsbWatcher::run() {
    if (!hotplug_) {
        plan_.listed(listFtdiDevices(), clock_.now());
    }
    auto nextListing = clock_.now() + listEvery_;
    while (!stop_) {
        bool look = false;
        if (hotplug_) {
            timeval wait{
                0, static_cast<long>(
                       std::chrono::duration_cast<std::chrono::microseconds>(kEventWait).count())};
            libusb_handle_events_timeout_completed(context_->usb, &wait, nullptr);
            if (arrivals_.exchange(0) > 0) {
                look = plan_.arrived(clock_.now()) || look;
            }
            if (removals_.exchange(0) > 0) {
                look = plan_.left(clock_.now()) || look;
            }
        } else {
            clock_.sleepFor(std::min<Clock::Duration>(kEventWait, listEvery_));
            if (clock_.now() >= nextListing) {
                nextListing = clock_.now() + listEvery_;
                look = plan_.listed(listFtdiDevices(), clock_.now());
            }
        }
        look = plan_.due(clock_.now()) || look;
        if (look && !stop_) {
            deviceChanged_();
        }
    }
}

}  // namespace korvan
