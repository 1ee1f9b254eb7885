// The note a failed link leaves for the second line of its message: which unit or port, and
// why, from the USB device list or the system's error.
#include <gtest/gtest.h>

#include <cerrno>

#include "link/failure_note.h"
#include "link/link.h"
#include "link/result_codes.h"
#include "link_fakes.h"

namespace kyr::link {
namespace {

// Serial ports that refuse every open with the system error `error`.
class RefusingPorts final : public SerialPorts {
 public:
  explicit RefusingPorts(int error) : error_(error) {}
  std::unique_ptr<ByteChannel> Open(const std::string&) override {
    errno = error_;
    return nullptr;
  }

 private:
  int error_;
};

TEST(FailureNote, SerialRefusalsSayWhatToDo) {
  struct Case {
    int error;
    const char* port;
    const char* note;
  };
  const Case cases[] = {
      {EACCES, "/dev/ttyUSB0",
       "/dev/ttyUSB0: Permission denied \u2014 add your user to the dialout group"},
      {EBUSY, "COM3", "/dev/ttyS2: in use by another program"},
      {ENODEV, "/dev/ttyACM1", "/dev/ttyACM1: No such device"},
  };
  for (const Case& c : cases) {
    RefusingPorts ports(c.error);
    LinkEnvironment environment;
    environment.serial_ports = &ports;
    Link link(environment);
    EXPECT_EQ(link.OpenLink(c.port, true), LinkResult::kOpenFailed);
    EXPECT_EQ(link.LastFailure().Line(), c.note);
  }
}

TEST(FailureNote, NoHeadUnitOnUsbListsWhatWasFound) {
  struct Case {
    std::vector<UsbDeviceInfo> devices;
    const char* note;
  };
  const Case cases[] = {
      {{}, "no head unit found on USB (found: nothing)"},
      {{{"FT12AB", "FT232R USB UART"}, {"A900X", "Dongle"}},
       "no head unit found on USB (found: FT12AB \"FT232R USB UART\", A900X \"Dongle\")"},
  };
  for (const Case& c : cases) {
    testing::FakeUsbBus bus;
    bus.devices = c.devices;
    LinkEnvironment environment;
    environment.usb_bus = &bus;
    Link link(environment);
    EXPECT_NE(link.OpenLink("USB", true), LinkResult::kOk);
    EXPECT_EQ(link.LastFailure().Line(), c.note);
    EXPECT_TRUE(link.LastFailure().NoHeadFound());
    // A back end that knows better replaces the link's own note.
    link.NoteFailure("USB KYRD0001", "no access to the device");
    EXPECT_EQ(link.LastFailure().Line(), "USB KYRD0001: no access to the device");
    EXPECT_FALSE(link.LastFailure().NoHeadFound());
  }
}

}  // namespace
}  // namespace kyr::link
