#include "link/usb/ftdi_bus.h"

#include <ftdi.h>
#include <libusb.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <mutex>
#include <thread>

namespace kyr::link {

namespace {

constexpr int kUsbTimeoutMs = 500;
// The chip sends a partly filled packet to the host only when its latency timer runs out
// (16 ms by default). Replies are a few bytes read in two pieces, so every exchange would
// wait that long twice; at 2 ms a settings read of 64 blocks is not held back by the chip.
constexpr unsigned char kLatencyTimerMs = 2;
constexpr int kStringLength = 128;

using SteadyClock = std::chrono::steady_clock;

// bcdDevice values by which FTDI chips identify themselves (232AM/BM, 2232C/D, 232R,
// 2232H, 4232H, 232H, 230X), so that heads with their own vendor and product id are found.
bool IsFtdiChipRelease(std::uint16_t release) {
  constexpr std::array<std::uint16_t, 9> kReleases = {0x0200, 0x0400, 0x0500, 0x0600, 0x0700,
                                                      0x0800, 0x0900, 0x1000, 0x1700};
  for (const auto r : kReleases) {
    if (r == release) return true;
  }
  return false;
}

bool LooksLikeFtdi(libusb_device* device) {
  constexpr std::uint16_t kFtdiVendor = 0x0403;
  libusb_device_descriptor descriptor{};
  if (libusb_get_device_descriptor(device, &descriptor) != 0) return false;
  if (descriptor.iSerialNumber == 0 || descriptor.iProduct == 0) return false;
  if (descriptor.idVendor == kFtdiVendor) return true;
  return descriptor.bDeviceClass == LIBUSB_CLASS_PER_INTERFACE &&
         IsFtdiChipRelease(descriptor.bcdDevice);
}

// The FTDI devices whose strings can be read, in bus order, each with its libusb device.
// The device array is the caller's to free with libusb_free_device_list.
struct Listing {
  libusb_device** all = nullptr;
  std::vector<libusb_device*> devices;
  std::vector<UsbDeviceInfo> infos;

  ~Listing() {
    if (all != nullptr) libusb_free_device_list(all, 1);
  }
};

bool ListFtdiDevices(ftdi_context* ftdi, Listing& listing) {
  const ssize_t count = libusb_get_device_list(ftdi->usb_ctx, &listing.all);
  if (count < 0) return false;
  for (ssize_t i = 0; i < count; ++i) {
    libusb_device* device = listing.all[i];
    if (!LooksLikeFtdi(device)) continue;
    std::array<char, kStringLength> description{};
    std::array<char, kStringLength> serial{};
    if (ftdi_usb_get_strings(ftdi, device, nullptr, 0, description.data(), kStringLength,
                             serial.data(), kStringLength) != 0) {
      continue;  // no access, or the strings cannot be read: not a device we can use
    }
    listing.devices.push_back(device);
    listing.infos.push_back({serial.data(), description.data()});
  }
  return true;
}

class FtdiChannel final : public ByteChannel {
 public:
  explicit FtdiChannel(ftdi_context* ftdi) : ftdi_(ftdi) {}
  ~FtdiChannel() override { Close(); }

  bool Write(const std::uint8_t* data, std::size_t count, std::size_t& written) override {
    written = 0;
    if (ftdi_ == nullptr) return false;
    const int done = ftdi_write_data(ftdi_, data, static_cast<int>(count));
    if (done < 0) return false;
    written = static_cast<std::size_t>(done);
    return true;
  }

  bool Read(std::uint8_t* data, std::size_t count, std::size_t& got) override {
    got = 0;
    if (ftdi_ == nullptr) return false;
    const auto deadline = SteadyClock::now() + std::chrono::milliseconds(kUsbTimeoutMs);
    while (got < count) {
      // Returns at the latest after one latency period, with nothing when nothing came.
      const int done = ftdi_read_data(ftdi_, data + got, static_cast<int>(count - got));
      if (done < 0) return false;
      got += static_cast<std::size_t>(done);
      if (SteadyClock::now() >= deadline || !KeepWaiting()) break;
    }
    return true;
  }

  std::size_t Drain(std::uint32_t quiet_ms, std::uint32_t limit_ms) override {
    if (ftdi_ == nullptr) return 0;
    std::array<std::uint8_t, 512> scratch{};
    std::size_t discarded = 0;
    if (quiet_ms == 0 && limit_ms == 0) {
      // A look without a wait takes only what libftdi already holds: asking the chip would
      // be a USB read lasting up to its latency timer, before every request.
      while (ftdi_->readbuffer_remaining > 0) {
        const int held =
            static_cast<int>(std::min<std::size_t>(ftdi_->readbuffer_remaining, scratch.size()));
        const int done = ftdi_read_data(ftdi_, scratch.data(), held);
        if (done <= 0) break;
        discarded += static_cast<std::size_t>(done);
      }
      return discarded;
    }
    const auto start = SteadyClock::now();
    auto last_byte = start;
    for (;;) {
      const int done = ftdi_read_data(ftdi_, scratch.data(), static_cast<int>(scratch.size()));
      const auto now = SteadyClock::now();
      if (done < 0) break;
      if (done > 0) {
        discarded += static_cast<std::size_t>(done);
        last_byte = now;
      } else if (now - last_byte >= std::chrono::milliseconds(quiet_ms)) {
        break;
      }
      if (now - start >= std::chrono::milliseconds(limit_ms) || !KeepWaiting()) break;
      if (done == 0) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return discarded;
  }

  void Close() override {
    if (ftdi_ == nullptr) return;
    ftdi_usb_close(ftdi_);
    ftdi_free(ftdi_);
    ftdi_ = nullptr;
  }

 private:
  ftdi_context* ftdi_;
};

}  // namespace

struct FtdiBus::Impl {
  std::mutex mutex;  // links to several units, each on its own thread, list through one context
  ftdi_context* lister = ftdi_new();  // null when libusb cannot start
  ~Impl() {
    if (lister != nullptr) ftdi_free(lister);
  }
};

FtdiBus::FtdiBus() : impl_(std::make_unique<Impl>()) {}
FtdiBus::~FtdiBus() = default;

bool FtdiBus::ListDevices(std::vector<UsbDeviceInfo>& devices) {
  devices.clear();
  const std::lock_guard lock(impl_->mutex);
  if (impl_->lister == nullptr) return false;
  Listing listing;
  if (!ListFtdiDevices(impl_->lister, listing)) return false;
  devices = std::move(listing.infos);
  return true;
}

std::unique_ptr<ByteChannel> FtdiBus::Open(int index) {
  ftdi_context* ftdi = ftdi_new();
  if (ftdi == nullptr) return nullptr;
  // The kernel's serial driver (ftdi_sio, which makes /dev/ttyUSB*) is detached only while
  // the channel is open and bound again when it closes, so the head's serial node comes back
  // after every command. This libftdi has no setter for the mode, so it is set directly.
  ftdi->module_detach_mode = AUTO_DETACH_REATACH_SIO_MODULE;
  bool opened = false;
  {
    // Each channel has its own context; the list is taken again in it so that the index
    // means the same devices as in ListDevices.
    Listing listing;
    if (index >= 0 && ListFtdiDevices(ftdi, listing) &&
        static_cast<std::size_t>(index) < listing.devices.size()) {
      opened = ftdi_usb_open_dev(ftdi, listing.devices[static_cast<std::size_t>(index)]) == 0;
    }
  }
  if (!opened) {
    ftdi_free(ftdi);
    return nullptr;
  }
  ftdi->usb_read_timeout = kUsbTimeoutMs;
  ftdi->usb_write_timeout = kUsbTimeoutMs;
  ftdi_set_latency_timer(ftdi, kLatencyTimerMs);  // a chip that refuses is used as it is
  return std::make_unique<FtdiChannel>(ftdi);
}

}  // namespace kyr::link
