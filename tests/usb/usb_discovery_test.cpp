// Finding head units over USB through sysfs, libftdi1 and libusb: the waits, the recovery
// through the "authorized" attribute, choosing one of two units, and a node this user may
// not open.
#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "link/result_codes.h"
#include "settings/settings_file.h"
#include "usb/usb_rig.h"

namespace kyr::usb_emu::testing {
namespace {

using Clock = std::chrono::steady_clock;

std::int64_t MillisSince(Clock::time_point start) {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

// Drops the capabilities that let root open any file, for this thread, while it lives; so
// that a read-only node refuses root as it refuses a user.
class WithoutFileOverride {
 public:
  WithoutFileOverride() {
    syscall(SYS_capget, &header_, saved_);
    __user_cap_data_struct lowered[2] = {saved_[0], saved_[1]};
    lowered[0].effective &= ~((1u << CAP_DAC_OVERRIDE) | (1u << CAP_DAC_READ_SEARCH));
    syscall(SYS_capset, &header_, lowered);
  }
  ~WithoutFileOverride() { syscall(SYS_capset, &header_, saved_); }
  WithoutFileOverride(const WithoutFileOverride&) = delete;
  WithoutFileOverride& operator=(const WithoutFileOverride&) = delete;

 private:
  __user_cap_header_struct header_{_LINUX_CAPABILITY_VERSION_3, 0};
  __user_cap_data_struct saved_[2]{};
};

class UsbDiscovery : public UsbRig {
 public:
  // Opens the link as a command does; the result and how long it took.
  std::pair<link::LinkResult, std::int64_t> TimedOpen(const std::string& device = {}) {
    chosen_device = device;
    const auto start = Clock::now();
    const link::LinkResult result = Link().OpenLink("USB", /*handshake=*/true);
    const std::int64_t took = MillisSince(start);
    Link().CloseLink(result == link::LinkResult::kOk);
    return {result, took};
  }
};

TEST_F(UsbDiscovery, WaitsAndRecoveryDecideTheOpen) {
  struct Case {
    const char* name;
    Stuck stuck;
    link::LinkResult result;
    std::int64_t at_least_ms;
    std::int64_t below_ms;
    int cycles;
  };
  // No unit at all: -100 at once. A unit the driver lost: one cycle of "authorized" after
  // the first 300 ms, then found. A unit that stays lost: not connected after 300 ms and 10 s.
  const Case cases[] = {
      {"absent", Stuck::kNo, link::LinkResult::kNoKyrDevice, 0, 100, 0},
      {"listed", Stuck::kNo, link::LinkResult::kOk, 0, 1000, 0},
      {"recovered", Stuck::kUntilCycled, link::LinkResult::kOk, 300, 3000, 1},
      {"lost", Stuck::kForever, link::LinkResult::kNotListed, 10300, 14000, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    EmulatedUnit* unit = nullptr;
    if (std::string(c.name) != "absent") {
      unit = &AddUnit("KYRD000" + std::to_string(bus_units_++ + 1));
      unit->SetStuck(c.stuck);
    }
    const auto [result, took] = TimedOpen();
    EXPECT_EQ(result, c.result);
    EXPECT_GE(took, c.at_least_ms);
    EXPECT_LT(took, c.below_ms);
    if (unit != nullptr) {
      EXPECT_EQ(unit->authorized_cycles(), c.cycles);
      unit->Unplug();
    }
  }
}

TEST_F(UsbDiscovery, TheChosenUnitOfTwoIsTheOneRead) {
  EmulatedUnit& first = AddUnit("KYRD0001", 1);
  EmulatedUnit& second = AddUnit("KYRD0002", 2);
  const std::vector<link::HeadUnit> units = link::ListHeadUnits();
  ASSERT_EQ(units.size(), 2u);
  EXPECT_EQ(units[1].serial, "KYRD0002");
  EXPECT_EQ(units[1].description, "KYR Vision Sensor");
  EXPECT_EQ(units[1].node, second.node());
  EXPECT_TRUE(units[1].may_open);

  struct Case {
    std::string device;
    EmulatedUnit* unit;
  };
  for (const Case& c : {Case{"", &first}, Case{"KYRD0002", &second}, Case{"KYRD0001", &first}}) {
    SCOPED_TRACE(c.device);
    link.reset();
    chosen_device = c.device;
    auto ctx = Context();
    const std::string path = temp.File("unit" + c.device + ".kdta");
    ASSERT_EQ(transfer::ReadAllSettingsTo(ctx, path), transfer::Outcome::kDone);
    settings::SettingsImage read{};
    int incomplete = -1;
    settings::ReadToolSettingsFile(path, read, incomplete);
    EXPECT_EQ(read, HeadImage(*c.unit));
  }
  // A chosen unit that is not plugged in fails at once rather than after the waits.
  link.reset();
  chosen_device = "KYRD0009";
  const auto start = Clock::now();
  EXPECT_EQ(Link().OpenLink("USB", true), link::LinkResult::kNotListed);
  EXPECT_LT(MillisSince(start), 100);
}

TEST_F(UsbDiscovery, ANodeThisUserMayNotOpenIsExplained) {
  EmulatedUnit& unit = AddUnit();
  unit.SetNodeReadOnly(true);
  WithoutFileOverride user;
  ASSERT_FALSE(link::ListHeadUnits().at(0).may_open);

  const auto start = Clock::now();
  auto ctx = Context();
  EXPECT_EQ(transfer::ReadAllSettingsTo(ctx, temp.File("out.kdta")), transfer::Outcome::kFailed);
  EXPECT_LT(MillisSince(start), 1000);  // no waiting for a device that cannot appear
  ASSERT_EQ(host.MessageIds(), std::vector<ToolText>{ToolText::kCannotOpenPort});
  const std::string& text = host.messages[0].text;
  EXPECT_EQ(text.find("Fail to open Port.\n"), 0u) << text;
  for (const std::string& part :
       {unit.node(), std::string("KYRD0001"), std::string("packaging/udev/70-kyr-sensor.rules"),
        std::string("sudo udevadm control --reload-rules")}) {
    EXPECT_NE(text.find(part), std::string::npos) << part;
  }
}

}  // namespace
}  // namespace kyr::usb_emu::testing
