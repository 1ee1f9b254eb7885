#include "usb/emu/ftdi_emulator.h"

#include <fcntl.h>
#include <linux/ioctl.h>
#include <linux/usbdevice_fs.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <deque>
#include <fstream>
#include <functional>
#include <map>
#include <stdexcept>
#include <thread>

#include "headsim/clock.h"

namespace kyr::usb_emu {

namespace {

constexpr int kBusNumber = 1;
constexpr std::size_t kPacketSize = 64;
constexpr std::size_t kStatusBytes = 2;
constexpr std::size_t kPacketData = kPacketSize - kStatusBytes;
constexpr unsigned char kEndpointIn = 0x81;
constexpr unsigned char kEndpointOut = 0x02;
constexpr int kDefaultLatencyMs = 16;
// Modem status: the reserved bits the chip always sets, then an empty transmitter.
constexpr std::array<std::uint8_t, kStatusBytes> kModemStatus = {0x01, 0x60};

// FT232R device descriptor (release 0x0600, strings 1 to 3) and its one configuration with
// a vendor-specific interface and 64-byte bulk endpoints 0x81 and 0x02.
constexpr const char* kDescriptorsHex =
    "12010002000000080304016000060102030109022000010100a02d"
    "0904000002ffffff02"
    "0705810240000007050202400000";

// FTDI vendor requests.
enum Request : std::uint8_t {
  kReset = 0x00,
  kModemCtrl = 0x01,
  kFlowCtrl = 0x02,
  kBaudRate = 0x03,
  kSetData = 0x04,
  kPollModemStatus = 0x05,
  kSetLatency = 0x09,
  kGetLatency = 0x0A,
  kSetBitmode = 0x0B,
  kReadEeprom = 0x90,
};

std::int64_t NowMicros() {
  return headsim::SteadyClock().NowMicros();
}

// String descriptor: length, type 3, UTF-16LE text (our strings are ASCII).
std::vector<std::uint8_t> StringDescriptor(const std::string& text) {
  std::vector<std::uint8_t> out{static_cast<std::uint8_t>(2 + 2 * text.size()), 3};
  for (const char c : text) {
    out.push_back(static_cast<std::uint8_t>(c));
    out.push_back(0);
  }
  return out;
}

std::string TwoDigits(int n) {
  char text[8];
  std::snprintf(text, sizeof text, "%03d", n);
  return text;
}

// A URB the host submitted, kept with the data objects that reach back into its memory.
struct Urb {
  UMockdevIoctlData* urb = nullptr;
  UMockdevIoctlData* buffer = nullptr;  // null for a zero-length transfer
  std::int64_t submitted_micros = 0;

  usbdevfs_urb& fields() const { return *reinterpret_cast<usbdevfs_urb*>(urb->data); }
  std::uint8_t* bytes() const { return buffer != nullptr ? buffer->data : nullptr; }
  void Release() {
    if (buffer != nullptr) umockdev_ioctl_data_unref(buffer);
    if (urb != nullptr) umockdev_ioctl_data_unref(urb);
    urb = buffer = nullptr;
  }
};

}  // namespace

// ---------------------------------------------------------------------------------------
// The bus: the testbed, and a thread that plays the kernel (uevents, sysfs changes, the
// "authorized" attribute), because none of that may run on umockdev's ioctl thread.

struct EmulatedBus::Impl {
  UMockdevTestbed* testbed = nullptr;
  std::string root;
  std::vector<std::unique_ptr<EmulatedUnit>> units;

  int inotify_fd = -1;
  int wake_fd = -1;
  std::thread kernel;
  bool stopping = false;
  std::mutex tasks_mutex;
  std::deque<std::function<void()>> tasks;
  std::map<int, EmulatedUnit*> watches;  // inotify watch of each unit's "authorized"

  void Post(std::function<void()> task) {
    {
      std::lock_guard lock(tasks_mutex);
      tasks.push_back(std::move(task));
    }
    const std::uint64_t one = 1;
    [[maybe_unused]] const auto n = ::write(wake_fd, &one, sizeof one);
  }
  // Runs `task` on the kernel thread and waits for it.
  void Run(std::function<void()> task) {
    std::mutex done_mutex;
    std::condition_variable done_signal;
    bool done = false;
    Post([&] {
      task();
      std::lock_guard lock(done_mutex);
      done = true;
      done_signal.notify_all();
    });
    std::unique_lock lock(done_mutex);
    done_signal.wait(lock, [&] { return done; });
  }
  void KernelLoop();
  EmulatedUnit* UnitOf(const EmulatedUnit::Impl* impl) {
    for (auto& unit : units) {
      if (unit->impl_.get() == impl) return unit.get();
    }
    return nullptr;
  }
  void OnAuthorizedWritten(EmulatedUnit& unit);
};

// ---------------------------------------------------------------------------------------
// One unit: the chip's state and its ioctl handler.

struct EmulatedUnit::Impl {
  EmulatedBus& bus;
  UnitOptions options;
  int port;  // 1-N: the sysfs name is "1-<port>"
  int device_number;
  UMockdevIoctlBase* handler = nullptr;
  headsim::SteadyClock clock;
  std::unique_ptr<headsim::Engine> engine;

  std::mutex mutex;  // everything below, and the engine
  bool plugged = true;
  bool authorized = true;
  Silence silence = Silence::kNone;
  Stuck stuck = Stuck::kNo;
  bool driver_bound = false;
  bool ignore_next_authorized_event = false;
  int latency_ms = kDefaultLatencyMs;
  int unplug_countdown = -1;
  int cycles = 0;
  ChipStats stats;
  std::deque<Urb> completed;  // control and OUT transfers, done at submit
  std::deque<Urb> in_flight;  // IN transfers waiting for data or the latency timer
  std::deque<Urb> cancelled;  // to be reaped with -ENOENT or -ESHUTDOWN

  Impl(EmulatedBus& b, const UnitOptions& o, int p, int d)
      : bus(b),
        options(o),
        port(p),
        device_number(d),
        engine(std::make_unique<headsim::Engine>(o.engine, clock)),
        driver_bound(o.driver_bound) {}

  std::string DevPath() const { return "/sys/devices/usb1/1-" + std::to_string(port); }
  std::string Node() const {
    return "/dev/bus/usb/" + TwoDigits(kBusNumber) + "/" + TwoDigits(device_number);
  }
  std::string RealPath(const std::string& system_path) const {
    return bus.impl_->root + system_path;
  }

  gboolean HandleIoctl(UMockdevIoctlClient* client);
  int GetDriver(UMockdevIoctlData* arg);
  int DriverRequest(UMockdevIoctlData* arg);
  void Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  void Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  void Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg);
  // The data stage of a control transfer: its length, or -1 to stall.
  int Control(const std::uint8_t* setup, std::uint8_t* data, std::size_t room);
  int StandardRequest(const std::uint8_t* setup, std::uint8_t* data, std::size_t room);
  bool InDue(const Urb& urb, std::int64_t now) const;
  void FillIn(Urb& urb);
  void Disconnect();  // with the lock held: the host's view of a vanished device
  void PlugIn();      // with the lock held: a fresh chip

  void AddToSysfs();
  void Attach();  // on the kernel thread: into sysfs, with its "authorized" watched
  void RemoveFromSysfs();
};

namespace {

gboolean OnIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer self) {
  return static_cast<EmulatedUnit::Impl*>(self)->HandleIoctl(client);
}

void Complete(UMockdevIoctlClient* client, int error) {
  umockdev_ioctl_client_complete(client, error == 0 ? 0 : -1, error);
}

}  // namespace

gboolean EmulatedUnit::Impl::HandleIoctl(UMockdevIoctlClient* client) {
  const unsigned long request = umockdev_ioctl_client_get_request(client);
  UMockdevIoctlData* arg = umockdev_ioctl_client_get_arg(client);
  std::lock_guard lock(mutex);
  if (request == USBDEVFS_REAPURB || request == USBDEVFS_REAPURBNDELAY) {
    Reap(client, arg);
    return TRUE;
  }
  if (!plugged || !authorized) {
    Complete(client, ENODEV);
    return TRUE;
  }
  switch (request) {
    case USBDEVFS_GET_CAPABILITIES: {
      UMockdevIoctlData* caps = umockdev_ioctl_data_resolve(arg, 0, sizeof(std::uint32_t), nullptr);
      const std::uint32_t value = USBDEVFS_CAP_BULK_CONTINUATION | USBDEVFS_CAP_NO_PACKET_SIZE_LIM |
                                  USBDEVFS_CAP_REAP_AFTER_DISCONNECT | USBDEVFS_CAP_ZERO_PACKET;
      std::memcpy(caps->data, &value, sizeof value);
      umockdev_ioctl_data_unref(caps);
      Complete(client, 0);
      return TRUE;
    }
    case USBDEVFS_CLAIMINTERFACE:
      Complete(client, driver_bound ? EBUSY : 0);
      return TRUE;
    case USBDEVFS_GETDRIVER:
      Complete(client, GetDriver(arg));
      return TRUE;
    case USBDEVFS_IOCTL:
      Complete(client, DriverRequest(arg));
      return TRUE;
    case USBDEVFS_RELEASEINTERFACE:
    case USBDEVFS_RESET:
    case USBDEVFS_CLEAR_HALT:
    case USBDEVFS_RESETEP:
      Complete(client, 0);
      return TRUE;
    case USBDEVFS_SUBMITURB:
      Submit(client, arg);
      return TRUE;
    case USBDEVFS_DISCARDURB:
      Discard(client, arg);
      return TRUE;
    default:
      Complete(client, ENOTTY);
      return TRUE;
  }
}

void EmulatedUnit::Impl::Submit(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
  Urb urb;
  urb.urb = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_urb), nullptr);
  const usbdevfs_urb& fields = urb.fields();
  if (fields.buffer_length > 0) {
    urb.buffer = umockdev_ioctl_data_resolve(urb.urb, offsetof(usbdevfs_urb, buffer),
                                             static_cast<gsize>(fields.buffer_length), nullptr);
  }
  urb.submitted_micros = NowMicros();
  usbdevfs_urb& out = urb.fields();
  out.actual_length = 0;
  out.status = 0;

  if (fields.type == USBDEVFS_URB_TYPE_CONTROL) {
    constexpr std::size_t kSetup = 8;
    const std::size_t room =
        fields.buffer_length > static_cast<int>(kSetup) ? fields.buffer_length - kSetup : 0;
    const int length = urb.bytes() != nullptr && fields.buffer_length >= static_cast<int>(kSetup)
                           ? Control(urb.bytes(), urb.bytes() + kSetup, room)
                           : -1;
    if (length < 0) {
      out.status = -EPIPE;
    } else {
      out.actual_length = length;
    }
    completed.push_back(urb);
  } else if (fields.endpoint == kEndpointOut) {
    ++stats.out_transfers;
    if (unplug_countdown > 0 && --unplug_countdown == 0) {
      unplug_countdown = -1;
      urb.Release();
      Disconnect();
      bus.impl_->Post([this] { RemoveFromSysfs(); });
      Complete(client, ENODEV);
      return;
    }
    if (silence == Silence::kNone && urb.bytes() != nullptr) {
      engine->Feed(urb.bytes(), static_cast<std::size_t>(fields.buffer_length));
    }
    out.actual_length = fields.buffer_length;
    completed.push_back(urb);
  } else if (fields.endpoint == kEndpointIn) {
    in_flight.push_back(urb);
  } else {
    urb.Release();
    Complete(client, EINVAL);
    return;
  }
  Complete(client, 0);
}

bool EmulatedUnit::Impl::InDue(const Urb& urb, std::int64_t now) const {
  if (silence == Silence::kChip) return false;
  // The chip sends a full packet at once and a partial one (or only its status bytes) when
  // the latency timer runs out.
  if (engine->Ready() >= kPacketData) return true;
  return now - urb.submitted_micros >= static_cast<std::int64_t>(latency_ms) * 1000;
}

void EmulatedUnit::Impl::FillIn(Urb& urb) {
  usbdevfs_urb& fields = urb.fields();
  const auto length = static_cast<std::size_t>(fields.buffer_length);
  std::uint8_t* bytes = urb.bytes();
  std::size_t filled = 0;
  // Packets of two status bytes and up to 62 data bytes; a short packet ends the transfer.
  while (bytes != nullptr && filled + kStatusBytes <= length) {
    std::copy(kModemStatus.begin(), kModemStatus.end(), bytes + filled);
    const std::size_t room = std::min(kPacketData, length - filled - kStatusBytes);
    const std::size_t taken = engine->Take(bytes + filled + kStatusBytes, room);
    filled += kStatusBytes + taken;
    if (taken < kPacketData) break;
  }
  fields.actual_length = static_cast<int>(filled);
  fields.status = 0;
  ++stats.in_transfers;
}

void EmulatedUnit::Impl::Reap(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
  Urb done;
  if (!cancelled.empty()) {
    done = cancelled.front();
    cancelled.pop_front();
  } else if (!completed.empty()) {
    done = completed.front();
    completed.pop_front();
  } else if (!in_flight.empty() && plugged && authorized && InDue(in_flight.front(), NowMicros())) {
    done = in_flight.front();
    in_flight.pop_front();
    FillIn(done);
  } else {
    Complete(client, plugged && authorized ? EAGAIN : ENODEV);
    return;
  }
  UMockdevIoctlData* pointer = umockdev_ioctl_data_resolve(arg, 0, sizeof(void*), nullptr);
  umockdev_ioctl_data_set_ptr(pointer, 0, done.urb);
  umockdev_ioctl_data_unref(pointer);
  done.Release();
  Complete(client, 0);
}

void EmulatedUnit::Impl::Discard(UMockdevIoctlClient* client, UMockdevIoctlData* arg) {
  gulong address = 0;
  std::memcpy(&address, arg->data, sizeof address);
  const auto it = std::find_if(in_flight.begin(), in_flight.end(),
                               [address](const Urb& u) { return u.urb->client_addr == address; });
  if (it == in_flight.end()) {
    Complete(client, EINVAL);
    return;
  }
  it->fields().status = -ENOENT;
  it->fields().actual_length = 0;
  cancelled.push_back(*it);
  in_flight.erase(it);
  ++stats.discarded;
  Complete(client, 0);
}

int EmulatedUnit::Impl::StandardRequest(const std::uint8_t* setup, std::uint8_t* data,
                                        std::size_t room) {
  constexpr std::uint8_t kGetDescriptor = 6;
  constexpr std::uint8_t kStringType = 3;
  if (setup[1] != kGetDescriptor || setup[3] != kStringType || stuck != Stuck::kNo) return -1;
  std::vector<std::uint8_t> reply;
  switch (setup[2]) {
    case 0:
      reply = {4, kStringType, 0x09, 0x04};  // English (United States)
      break;
    case 1:
      reply = StringDescriptor(options.manufacturer);
      break;
    case 2:
      reply = StringDescriptor(options.description);
      break;
    case 3:
      reply = StringDescriptor(options.serial);
      break;
    default:
      return -1;
  }
  ++stats.string_reads;
  const std::size_t n = std::min(reply.size(), room);
  std::copy_n(reply.begin(), n, data);
  return static_cast<int>(n);
}

int EmulatedUnit::Impl::Control(const std::uint8_t* setup, std::uint8_t* data, std::size_t room) {
  const std::uint8_t type = setup[0];
  const std::uint8_t request = setup[1];
  const std::uint16_t value = static_cast<std::uint16_t>(setup[2] | setup[3] << 8);
  constexpr std::uint8_t kVendorOut = 0x40;
  constexpr std::uint8_t kVendorIn = 0xC0;
  constexpr std::uint8_t kStandardIn = 0x80;
  if (type == kStandardIn) return StandardRequest(setup, data, room);
  if (type == kVendorOut) {
    switch (request) {
      case kReset:
        ++stats.resets;
        if (value == 0) engine->ResetLine();
        return 0;
      case kBaudRate:
        ++stats.baud_requests;
        return 0;
      case kSetLatency:
        ++stats.latency_sets;
        latency_ms = std::max(1, value & 0xFF);
        return 0;
      case kModemCtrl:
      case kFlowCtrl:
      case kSetData:
      case kSetBitmode:
        ++stats.other_vendor_requests;
        return 0;
      default:
        return -1;
    }
  }
  if (type == kVendorIn) {
    std::array<std::uint8_t, 2> reply{};
    std::size_t n = 0;
    switch (request) {
      case kGetLatency:
        ++stats.latency_reads;
        reply[0] = static_cast<std::uint8_t>(latency_ms);
        n = 1;
        break;
      case kPollModemStatus:
        reply = kModemStatus;
        n = 2;
        break;
      case kReadEeprom:  // a blank EEPROM
        reply = {0xFF, 0xFF};
        n = 2;
        break;
      default:
        return -1;
    }
    n = std::min(n, room);
    std::copy_n(reply.begin(), n, data);
    return static_cast<int>(n);
  }
  return -1;
}

// The name of the driver bound to the interface, or ENODATA when none is.
int EmulatedUnit::Impl::GetDriver(UMockdevIoctlData* arg) {
  if (!driver_bound) return ENODATA;
  UMockdevIoctlData* data =
      umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_getdriver), nullptr);
  if (data == nullptr) return EFAULT;
  auto* request = reinterpret_cast<usbdevfs_getdriver*>(data->data);
  std::snprintf(request->driver, sizeof request->driver, "%s", "ftdi_sio");
  umockdev_ioctl_data_unref(data);
  return 0;
}

// Disconnecting or connecting the kernel driver. Without a driver for the unit, there is
// nothing to disconnect (ENODATA) and connecting binds nothing.
int EmulatedUnit::Impl::DriverRequest(UMockdevIoctlData* arg) {
  UMockdevIoctlData* data = umockdev_ioctl_data_resolve(arg, 0, sizeof(usbdevfs_ioctl), nullptr);
  if (data == nullptr) return EFAULT;
  const int code = reinterpret_cast<const usbdevfs_ioctl*>(data->data)->ioctl_code;
  umockdev_ioctl_data_unref(data);
  if (code == static_cast<int>(USBDEVFS_DISCONNECT)) {
    if (!driver_bound) return ENODATA;
    driver_bound = false;
    ++stats.driver_disconnects;
    return 0;
  }
  if (code == static_cast<int>(USBDEVFS_CONNECT)) {
    if (options.driver_bound && !driver_bound) {
      driver_bound = true;
      ++stats.driver_connects;
    }
    return 0;
  }
  return ENOTTY;
}

void EmulatedUnit::Impl::Disconnect() {
  plugged = false;
  // Transfers still in flight end with -ESHUTDOWN, as the kernel reports a vanished device.
  for (Urb& urb : in_flight) {
    urb.fields().status = -ESHUTDOWN;
    urb.fields().actual_length = 0;
    cancelled.push_back(urb);
  }
  in_flight.clear();
  engine->ResetLine();
}

void EmulatedUnit::Impl::PlugIn() {
  plugged = true;
  driver_bound = options.driver_bound;
  authorized = true;
  if (stuck == Stuck::kUntilCycled) stuck = Stuck::kNo;
  latency_ms = kDefaultLatencyMs;
  engine->ResetLine();
}

void EmulatedUnit::Impl::AddToSysfs() {
  UMockdevTestbed* testbed = bus.impl_->testbed;
  umockdev_testbed_attach_ioctl(testbed, Node().c_str(), handler, nullptr);
  const std::string bus_text = TwoDigits(kBusNumber);
  const std::string dev_text = TwoDigits(device_number);
  const std::string description = "P: " + DevPath().substr(4) +
                                  "\n"
                                  "N: " +
                                  Node().substr(5) +
                                  "\n"
                                  "E: SUBSYSTEM=usb\n"
                                  "E: DEVTYPE=usb_device\n"
                                  "E: DRIVER=usb\n"
                                  "E: BUSNUM=" +
                                  bus_text + "\nE: DEVNUM=" + dev_text + "\nE: DEVNAME=" + Node() +
                                  "\n"
                                  "E: ID_VENDOR_ID=0403\nE: ID_MODEL_ID=6001\nE: ID_SERIAL_SHORT=" +
                                  options.serial +
                                  "\n"
                                  "A: idVendor=0403\\n\n"
                                  "A: idProduct=6001\\n\n"
                                  "A: bcdDevice=0600\\n\n"
                                  "A: serial=" +
                                  options.serial + "\\n\nA: product=" + options.description +
                                  "\\n\nA: manufacturer=" + options.manufacturer +
                                  "\\n\n"
                                  "A: authorized=1\\n\n"
                                  "A: bConfigurationValue=1\\n\n"
                                  "A: busnum=" +
                                  std::to_string(kBusNumber) +
                                  "\\n\nA: devnum=" + std::to_string(device_number) +
                                  "\\n\n"
                                  "A: speed=12\\n\n"
                                  "H: descriptors=" +
                                  kDescriptorsHex + "\n";
  GError* error = nullptr;
  if (!umockdev_testbed_add_from_string(testbed, description.c_str(), &error)) {
    const std::string message = error != nullptr ? error->message : "unknown error";
    if (error != nullptr) g_error_free(error);
    throw std::runtime_error("umockdev refused the device: " + message);
  }
  // Sysfs attributes are world-readable; the node is open to its group, as with a udev rule.
  ::chmod(RealPath(Node()).c_str(), 0664);
}

void EmulatedUnit::Impl::Attach() {
  AddToSysfs();
  EmulatedBus::Impl& b = *bus.impl_;
  const std::string file = RealPath(DevPath() + "/authorized");
  const int wd = inotify_add_watch(b.inotify_fd, file.c_str(), IN_CLOSE_WRITE);
  std::lock_guard lock(b.tasks_mutex);
  if (wd >= 0) b.watches[wd] = b.UnitOf(this);
}

void EmulatedUnit::Impl::RemoveFromSysfs() {
  // No "remove" uevent: the tool learns of the loss from its failing ioctls and URBs, as it
  // does first on real hardware, and umockdev aborts the process when a uevent finds a
  // listening socket of an already closed libusb context.
  UMockdevTestbed* testbed = bus.impl_->testbed;
  std::lock_guard lock(bus.impl_->tasks_mutex);
  for (auto it = bus.impl_->watches.begin(); it != bus.impl_->watches.end(); ++it) {
    if (it->second->impl_.get() == this) {
      inotify_rm_watch(bus.impl_->inotify_fd, it->first);
      bus.impl_->watches.erase(it);
      break;
    }
  }
  umockdev_testbed_remove_device(testbed, DevPath().c_str());
  umockdev_testbed_detach_ioctl(testbed, Node().c_str(), nullptr);
}

// ---------------------------------------------------------------------------------------

void EmulatedBus::Impl::KernelLoop() {
  std::array<char, 4096> events;
  for (;;) {
    std::array<pollfd, 2> fds{{{wake_fd, POLLIN, 0}, {inotify_fd, POLLIN, 0}}};
    ::poll(fds.data(), fds.size(), -1);
    if (fds[0].revents & POLLIN) {
      std::uint64_t count = 0;
      [[maybe_unused]] const auto n = ::read(wake_fd, &count, sizeof count);
    }
    if (fds[1].revents & POLLIN) {
      const ssize_t n = ::read(inotify_fd, events.data(), events.size());
      for (ssize_t at = 0; at < n;) {
        const auto* event = reinterpret_cast<const inotify_event*>(events.data() + at);
        EmulatedUnit* unit = nullptr;
        {
          std::lock_guard lock(tasks_mutex);
          const auto it = watches.find(event->wd);
          if (it != watches.end()) unit = it->second;
        }
        if (unit != nullptr) OnAuthorizedWritten(*unit);
        at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
      }
    }
    for (;;) {
      std::function<void()> task;
      {
        std::lock_guard lock(tasks_mutex);
        if (tasks.empty()) break;
        task = std::move(tasks.front());
        tasks.pop_front();
      }
      task();
    }
    std::lock_guard lock(tasks_mutex);
    if (stopping && tasks.empty()) return;
  }
}

// Writing 0 to "authorized" makes the host lose the device; writing 1 makes it enumerate
// afresh. A tool writes both in quick succession, so by the time the first write is seen
// the attribute may already read 1: then both writes happened and the next event is spent.
void EmulatedBus::Impl::OnAuthorizedWritten(EmulatedUnit& unit) {
  EmulatedUnit::Impl& u = *unit.impl_;
  std::string value;
  std::ifstream(u.RealPath(u.DevPath() + "/authorized")) >> value;
  bool remove = false;
  bool add = false;
  {
    std::lock_guard lock(u.mutex);
    if (u.ignore_next_authorized_event) {
      u.ignore_next_authorized_event = false;
      return;
    }
    if (u.authorized && value == "0") {
      u.authorized = false;
      u.Disconnect();
      remove = true;
    } else if (u.authorized && value == "1") {
      u.Disconnect();
      u.PlugIn();
      u.ignore_next_authorized_event = true;
      ++u.cycles;
      remove = add = true;
    } else if (!u.authorized && value == "1") {
      u.PlugIn();
      ++u.cycles;
      add = true;
    }
  }
  if (remove) umockdev_testbed_uevent(testbed, u.DevPath().c_str(), "remove");
  if (add) umockdev_testbed_uevent(testbed, u.DevPath().c_str(), "add");
}

EmulatedBus::EmulatedBus() : impl_(std::make_unique<Impl>()) {
  impl_->testbed = umockdev_testbed_new();
  gchar* root = umockdev_testbed_get_root_dir(impl_->testbed);
  impl_->root = root;
  g_free(root);
  impl_->inotify_fd = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  impl_->wake_fd = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  impl_->kernel = std::thread([this] { impl_->KernelLoop(); });
}

EmulatedBus::~EmulatedBus() {
  impl_->Post([this] {
    std::lock_guard lock(impl_->tasks_mutex);
    impl_->stopping = true;
  });
  impl_->kernel.join();
  impl_->units.clear();
  ::close(impl_->inotify_fd);
  ::close(impl_->wake_fd);
  g_object_unref(impl_->testbed);
}

std::string EmulatedBus::root_dir() const {
  return impl_->root;
}

EmulatedUnit& EmulatedBus::Add(const UnitOptions& options) {
  const int port = static_cast<int>(impl_->units.size()) + 1;
  impl_->units.push_back(std::unique_ptr<EmulatedUnit>(new EmulatedUnit(*this, options, port)));
  EmulatedUnit& unit = *impl_->units.back();
  impl_->Run([&unit] { unit.impl_->Attach(); });
  return unit;
}

// ---------------------------------------------------------------------------------------

EmulatedUnit::EmulatedUnit(EmulatedBus& bus, const UnitOptions& options, int port)
    : impl_(std::make_unique<Impl>(bus, options, port, port + 1)) {
  impl_->handler = umockdev_ioctl_base_new();
  g_signal_connect(impl_->handler, "handle-ioctl", G_CALLBACK(OnIoctl), impl_.get());
}

EmulatedUnit::~EmulatedUnit() {
  std::lock_guard lock(impl_->mutex);
  for (auto* list : {&impl_->completed, &impl_->in_flight, &impl_->cancelled}) {
    for (Urb& urb : *list) urb.Release();
    list->clear();
  }
  g_object_unref(impl_->handler);
}

const std::string& EmulatedUnit::serial() const {
  return impl_->options.serial;
}
int EmulatedUnit::bus_number() const {
  return kBusNumber;
}
int EmulatedUnit::device_number() const {
  return impl_->device_number;
}
std::string EmulatedUnit::node() const {
  return impl_->Node();
}
std::string EmulatedUnit::sysfs_path() const {
  return impl_->DevPath();
}
std::mutex& EmulatedUnit::mutex() {
  return impl_->mutex;
}
headsim::Engine& EmulatedUnit::engine() {
  return *impl_->engine;
}

ChipStats EmulatedUnit::Stats() {
  std::lock_guard lock(impl_->mutex);
  return impl_->stats;
}

bool EmulatedUnit::driver_bound() {
  std::lock_guard lock(impl_->mutex);
  return impl_->driver_bound;
}

int EmulatedUnit::latency_timer() {
  std::lock_guard lock(impl_->mutex);
  return impl_->latency_ms;
}

void EmulatedUnit::UnplugAtFrame(int n) {
  std::lock_guard lock(impl_->mutex);
  impl_->unplug_countdown = n;
}

void EmulatedUnit::Unplug() {
  {
    std::lock_guard lock(impl_->mutex);
    if (!impl_->plugged) return;
    impl_->Disconnect();
  }
  impl_->bus.impl_->Run([this] { impl_->RemoveFromSysfs(); });
}

void EmulatedUnit::Replug(std::optional<int> new_device_number) {
  {
    std::lock_guard lock(impl_->mutex);
    if (impl_->plugged) return;
    if (new_device_number) impl_->device_number = *new_device_number;
    impl_->PlugIn();
  }
  impl_->bus.impl_->Run([this] {
    impl_->Attach();
    umockdev_testbed_uevent(impl_->bus.impl_->testbed, impl_->DevPath().c_str(), "add");
  });
}

bool EmulatedUnit::plugged() {
  std::lock_guard lock(impl_->mutex);
  return impl_->plugged && impl_->authorized;
}

void EmulatedUnit::SetSilent(Silence silence) {
  std::lock_guard lock(impl_->mutex);
  impl_->silence = silence;
}

void EmulatedUnit::SetStuck(Stuck stuck) {
  std::lock_guard lock(impl_->mutex);
  impl_->stuck = stuck;
}

int EmulatedUnit::authorized_cycles() {
  std::lock_guard lock(impl_->mutex);
  return impl_->cycles;
}

void EmulatedUnit::SetNodeReadOnly(bool read_only) {
  ::chmod(impl_->RealPath(impl_->Node()).c_str(), read_only ? 0444 : 0664);
}

}  // namespace kyr::usb_emu
