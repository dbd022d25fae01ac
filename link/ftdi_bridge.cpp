#include "link/ftdi_bridge.h"

#include <ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <memory>
#include <vector>

#include "link/ftdi_products.h"

namespace korvan {
namespace {

// A libusb context of its own. Each listing takes a new one: a context keeps the devices it
// has seen until a hot-plug event says they went, and where no device manager sends those
// events (no udev daemon: a container, a chroot, a small system) a bridge pulled out would be
// listed for ever.
using UsbContext = std::shared_ptr<libusb_context>;

UsbContext newUsbContext() {
    libusb_context* usb = nullptr;
    if (libusb_init(&usb) < 0) {
        return nullptr;
    }
    return UsbContext(usb, [](libusb_context* context) { libusb_exit(context); });
}

// The listed bridges, each held until the list goes, in the bus's order: the order `open`
// counts in, the same from one listing to the next while nothing is plugged in or out.
class DeviceList {
  public:
    DeviceList() = default;
    DeviceList(const DeviceList&) = delete;
    DeviceList& operator=(const DeviceList&) = delete;
    ~DeviceList() {
        for (auto* device : devices_) {
            libusb_unref_device(device);
        }
    }

    // The bridges of the FTDI products the program knows, listed afresh; the count, or below 0
    // when the bus could not be listed. Not libftdi's own search: it keeps a product list of
    // its own.
    int fill() {
        usb_ = newUsbContext();
        if (!usb_) {
            return -1;
        }
        libusb_device** all = nullptr;
        const auto count = libusb_get_device_list(usb_.get(), &all);
        if (count < 0) {
            return -1;
        }
        const std::unique_ptr<libusb_device*, void (*)(libusb_device**)> release(
            all, [](libusb_device** list) { libusb_free_device_list(list, 1); });
        for (ssize_t i = 0; i < count; ++i) {
            libusb_device_descriptor descriptor{};
            if (libusb_get_device_descriptor(all[i], &descriptor) < 0) {
                return -1;
            }
            if (isListedFtdiProduct(descriptor.idVendor, descriptor.idProduct)) {
                devices_.push_back(libusb_ref_device(all[i]));
            }
        }
        return static_cast<int>(devices_.size());
    }

    libusb_device* at(std::uint32_t index) const {
        return index < devices_.size() ? devices_[index] : nullptr;
    }
    const std::vector<libusb_device*>& all() const { return devices_; }
    // The context the devices belong to: it must outlive a device opened from the list.
    const UsbContext& context() const { return usb_; }

  private:
    // Declared first, so that it goes after the devices.
    UsbContext usb_;
    std::vector<libusb_device*> devices_;
};

BridgeStatus statusOf(int result) {
    return result < 0 ? BridgeStatus::Failed : BridgeStatus::Ok;
}

}  // namespace

struct FtdiBridge::Context {
    ftdi_context* ftdi = ftdi_new();
    bool open = false;
    // The listing's context of the open device, kept until it is closed.
    UsbContext openedIn;
    // Data the bridge delivered beyond what the link has taken so far.
    std::vector<std::uint8_t> pending;
    ~Context() {
        if (ftdi != nullptr) {
            if (open) {
                ftdi_usb_close(ftdi);
            }
            ftdi_free(ftdi);
        }
    }
    int list(DeviceList& devices) const { return ftdi == nullptr ? -1 : devices.fill(); }
    BridgeStatus find(std::uint32_t index, DeviceList& devices, libusb_device*& device) const;
};

FtdiBridge::FtdiBridge() : context_(std::make_unique<Context>()) {}
FtdiBridge::~FtdiBridge() = default;

BridgeStatus FtdiBridge::deviceCount(std::uint32_t& count) {
    if (context_->ftdi == nullptr) {
        return BridgeStatus::Failed;
    }
    DeviceList devices;
    const int found = context_->list(devices);
    if (found < 0) {
        return BridgeStatus::Failed;
    }
    count = static_cast<std::uint32_t>(found);
    return BridgeStatus::Ok;
}

BridgeStatus FtdiBridge::Context::find(std::uint32_t index, DeviceList& devices,
                                       libusb_device*& device) const {
    if (ftdi == nullptr || list(devices) < 0) {
        return BridgeStatus::Failed;
    }
    device = devices.at(index);
    return device == nullptr ? BridgeStatus::DeviceNotFound : BridgeStatus::Ok;
}

// One of a listed device's strings, read without disturbing an open link to it: the reader
// has a context of its own.
static BridgeStatus readListString(libusb_device* device, bool serial, std::string& text) {
    std::array<char, Bridge::kListStringLimit + 1> buffer{};
    ftdi_context* reader = ftdi_new();
    if (reader == nullptr) {
        return BridgeStatus::Failed;
    }
    const int result = serial ? ftdi_usb_get_strings(reader, device, nullptr, 0, nullptr, 0,
                                                     buffer.data(), static_cast<int>(buffer.size()))
                              : ftdi_usb_get_strings(reader, device, nullptr, 0, buffer.data(),
                                                     static_cast<int>(buffer.size()), nullptr, 0);
    ftdi_free(reader);
    if (result < 0) {
        return result == -4 ? BridgeStatus::AccessDenied : BridgeStatus::Failed;
    }
    text = buffer.data();
    return BridgeStatus::Ok;
}

BridgeStatus FtdiBridge::listString(std::uint32_t index, bool serial, std::string& text) {
    DeviceList devices;
    libusb_device* device = nullptr;
    if (auto found = context_->find(index, devices, device); found != BridgeStatus::Ok) {
        return found;
    }
    return readListString(device, serial, text);
}

BridgeStatus FtdiBridge::description(std::uint32_t index, std::string& text) {
    return listString(index, false, text);
}

BridgeStatus FtdiBridge::serialNumber(std::uint32_t index, std::string& text) {
    return listString(index, true, text);
}

BridgeStatus FtdiBridge::open(std::uint32_t index) {
    if (context_->open) {
        close();
    }
    DeviceList devices;
    libusb_device* device = nullptr;
    if (auto found = context_->find(index, devices, device); found != BridgeStatus::Ok) {
        return found;
    }
    const BridgeStatus opened = openDevice(device);
    if (opened == BridgeStatus::Ok) {
        context_->openedIn = devices.context();
    }
    return opened;
}

BridgeStatus FtdiBridge::openSerial(const std::string& usbSerial) {
    if (context_->open) {
        close();
    }
    DeviceList devices;
    if (context_->ftdi == nullptr || context_->list(devices) < 0) {
        return BridgeStatus::Failed;
    }
    bool refused = false;
    for (auto* device : devices.all()) {
        std::string serial;
        const BridgeStatus read = readListString(device, true, serial);
        refused = refused || read == BridgeStatus::AccessDenied;
        if (read == BridgeStatus::Ok && serial == usbSerial) {
            const BridgeStatus opened = openDevice(device);
            if (opened == BridgeStatus::Ok) {
                context_->openedIn = devices.context();
            }
            return opened;
        }
    }
    return refused ? BridgeStatus::AccessDenied : BridgeStatus::DeviceNotFound;
}

BridgeStatus FtdiBridge::openDevice(libusb_device* device) {
    // libftdi reports a refused open only as "failed"; ask libusb first so that a missing udev
    // rule can be told apart from a missing device.
    libusb_device_handle* probe = nullptr;
    const int probed = libusb_open(device, &probe);
    if (probed == LIBUSB_ERROR_ACCESS) {
        return BridgeStatus::AccessDenied;
    }
    if (probed == LIBUSB_ERROR_NO_DEVICE) {
        return BridgeStatus::DeviceNotFound;
    }
    if (probe != nullptr) {
        libusb_close(probe);
    }
    const int opened = ftdi_usb_open_dev(context_->ftdi, device);
    if (opened == -8) {
        return BridgeStatus::AccessDenied;  // the kernel's serial driver could not be detached
    }
    if (opened < 0) {
        return BridgeStatus::Failed;
    }
    context_->open = true;
    return BridgeStatus::Ok;
}

BridgeStatus FtdiBridge::setDivisor(std::uint16_t divisor) {
    // The raw divisor, as the vendor library sets it, not a nominal baud rate.
    ftdi_context* ftdi = context_->ftdi;
    const int result =
        libusb_control_transfer(ftdi->usb_dev, FTDI_DEVICE_OUT_REQTYPE, SIO_SET_BAUDRATE_REQUEST,
                                divisor, static_cast<std::uint16_t>(ftdi->index), nullptr, 0,
                                static_cast<unsigned>(ftdi->usb_write_timeout));
    return statusOf(result);
}

BridgeStatus FtdiBridge::setTimeouts(std::uint32_t readMs, std::uint32_t writeMs) {
    context_->ftdi->usb_read_timeout = static_cast<int>(readMs);
    context_->ftdi->usb_write_timeout = static_cast<int>(writeMs);
    return BridgeStatus::Ok;
}

BridgeStatus FtdiBridge::setDataCharacteristics(std::uint8_t wordLength, std::uint8_t stopBits,
                                                std::uint8_t parity) {
    const auto bits = wordLength == 7 ? BITS_7 : BITS_8;
    const auto stop = stopBits == 2 ? STOP_BIT_2 : (stopBits == 1 ? STOP_BIT_15 : STOP_BIT_1);
    const auto parityType = static_cast<ftdi_parity_type>(parity);
    return statusOf(ftdi_set_line_property(context_->ftdi, bits, stop, parityType));
}

BridgeStatus FtdiBridge::setFlowControl(std::uint16_t mode, std::uint8_t, std::uint8_t) {
    return statusOf(ftdi_setflowctrl(context_->ftdi, mode));
}

BridgeStatus FtdiBridge::setLatencyTimer(std::uint8_t milliseconds) {
    return statusOf(ftdi_set_latency_timer(context_->ftdi, milliseconds));
}

BridgeStatus FtdiBridge::purge() {
    context_->pending.clear();
    // Both directions: clearing the input alone leaves it in place on some bridges.
    return statusOf(ftdi_tcioflush(context_->ftdi));
}

BridgeStatus FtdiBridge::write(std::span<const std::uint8_t> bytes, std::size_t& written) {
    written = 0;
    const int result =
        ftdi_write_data(context_->ftdi, bytes.data(), static_cast<int>(bytes.size()));
    if (result < 0) {
        return result == LIBUSB_ERROR_NO_DEVICE ? BridgeStatus::DeviceGone : BridgeStatus::Failed;
    }
    written = static_cast<std::size_t>(result);
    return BridgeStatus::Ok;
}

void appendPacketData(std::span<const std::uint8_t> transfer, std::size_t packetSize,
                      std::vector<std::uint8_t>& data) {
    constexpr std::size_t kStatusBytes = 2;
    for (std::size_t at = 0; at < transfer.size(); at += packetSize) {
        const auto packet = transfer.subspan(at, std::min(packetSize, transfer.size() - at));
        if (packet.size() > kStatusBytes) {
            data.insert(data.end(), packet.begin() + kStatusBytes, packet.end());
        }
    }
}

BridgeStatus FtdiBridge::read(std::span<std::uint8_t> into, std::size_t& got) {
    got = 0;
    if (into.empty()) {
        return BridgeStatus::Ok;
    }
    auto& pending = context_->pending;
    if (pending.empty()) {
        if (!context_->open) {
            return BridgeStatus::Failed;
        }
        // One bulk transfer, read here rather than through libftdi: libftdi drops what a
        // transfer brought when a later one of the same call times out, and a bridge that
        // sends no status packets while idle times out whenever less than asked is waiting.
        // A transfer that times out hands over what it got. The short wait keeps the link's
        // polling (and a cancel) moving: a real bridge sends a status packet every latency
        // period anyway.
        constexpr unsigned kWaitMs = 16;
        constexpr std::size_t kPacketsPerTransfer = 8;
        ftdi_context* ftdi = context_->ftdi;
        const std::size_t packet = ftdi->max_packet_size > 2 ? ftdi->max_packet_size : 64;
        std::vector<std::uint8_t> transfer(packet * kPacketsPerTransfer);
        int transferred = 0;
        const int result = libusb_bulk_transfer(
            ftdi->usb_dev, static_cast<unsigned char>(ftdi->out_ep), transfer.data(),
            static_cast<int>(transfer.size()), &transferred, kWaitMs);
        if (result == LIBUSB_ERROR_NO_DEVICE) {
            return BridgeStatus::DeviceGone;
        }
        if (result < 0 && result != LIBUSB_ERROR_TIMEOUT) {
            return BridgeStatus::Failed;
        }
        appendPacketData(
            std::span(transfer).first(static_cast<std::size_t>(std::max(transferred, 0))), packet,
            pending);
    }
    got = std::min(into.size(), pending.size());
    std::copy_n(pending.begin(), got, into.begin());
    pending.erase(pending.begin(), pending.begin() + static_cast<std::ptrdiff_t>(got));
    return BridgeStatus::Ok;
}

BridgeStatus FtdiBridge::reset() {
    if (!context_->open) {
        return BridgeStatus::Failed;
    }
    return statusOf(ftdi_usb_reset(context_->ftdi));
}

BridgeStatus FtdiBridge::close() {
    if (!context_->open) {
        return BridgeStatus::Failed;
    }
    context_->open = false;
    context_->pending.clear();
    const int closed = ftdi_usb_close(context_->ftdi);
    context_->openedIn.reset();
    return statusOf(closed);
}

}  // namespace korvan
