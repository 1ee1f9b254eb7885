// The ridgemo program itself against emulated head units: the devices listing.
#include <unistd.h>

#include <array>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "settings/settings_file.h"
#include "usb/usb_rig.h"

namespace kyr::usb_emu::testing {
namespace {

// Runs ridgemo with the umockdev preload (the bus's location is in the environment already),
// as root without the capabilities that override file modes; its standard output.
std::string RunRidgemo(const std::string& arguments, int& status) {
  std::string command = "LD_PRELOAD=libumockdev-preload.so.0 ";
  command += "ASAN_OPTIONS=\"${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0\" ";
  if (::geteuid() == 0) {
    command +=
        "setpriv --bounding-set=-dac_override,-dac_read_search "
        "--inh-caps=-dac_override,-dac_read_search -- ";
  }
  command += std::string(KYR_BINARY_DIR) + "/app/ridgemo/ridgemo --lang en " + arguments;
  FILE* pipe = ::popen(command.c_str(), "r");
  std::string out;
  std::array<char, 512> chunk{};
  while (pipe != nullptr && std::fgets(chunk.data(), chunk.size(), pipe) != nullptr) {
    out += chunk.data();
  }
  status = pipe != nullptr ? ::pclose(pipe) : -1;
  return out;
}

using RidgemoOverUsb = UsbRig;

TEST_F(RidgemoOverUsb, DevicesListsEveryUnitAndWhetherItMayBeOpened) {
  int status = -1;
  EXPECT_EQ(RunRidgemo("devices 2>/dev/null", status), "");
  EXPECT_NE(status, 0);

  AddUnit("KYRD0001");
  EmulatedUnit& locked = AddUnit("KYRD0002");
  locked.SetNodeReadOnly(true);
  EXPECT_EQ(RunRidgemo("devices", status),
            "index\tserial\tdescription\tdevice\taccess\tserial port\n"
            "0\tKYRD0001\tKYR Vision Sensor\t001/002 /dev/bus/usb/001/002\tmay open\t-\n"
            "1\tKYRD0002\tKYR Vision Sensor\t001/003 /dev/bus/usb/001/003\t"
            "permission denied (udev rule 70-kyr-sensor.rules, group plugdev)\t-\n");
  EXPECT_EQ(status, 0);
}

TEST_F(RidgemoOverUsb, TheDeviceOptionPicksTheUnitACommandTalksTo) {
  AddUnit("KYRD0001", 1);
  EmulatedUnit& second = AddUnit("KYRD0002", 2);
  int status = -1;
  const std::string path = temp.File("second.kdta");
  RunRidgemo("--device KYRD0002 read-settings " + path, status);
  ASSERT_EQ(status, 0);
  settings::SettingsImage read{};
  int incomplete = -1;
  EXPECT_EQ(settings::ReadToolSettingsFile(path, read, incomplete), 512);
  EXPECT_EQ(read, HeadImage(second));
}

}  // namespace
}  // namespace kyr::usb_emu::testing
