// Settings transfers over USB through the real libftdi1 and libusb to emulated head units.
#include "settings/settings_file.h"
#include "usb/usb_rig.h"

namespace kyr::usb_emu::testing {
namespace {

using UsbTransfer = UsbRig;

TEST_F(UsbTransfer, ReadAllSettingsCopiesTheHeadAndConfiguresTheChip) {
  EmulatedUnit& unit = AddUnit();
  auto ctx = Context();
  const std::string path = temp.File("head.kdta");
  ASSERT_EQ(transfer::ReadAllSettingsTo(ctx, path), transfer::kTransferDone);

  settings::SettingsImage read{};
  int incomplete = -1;
  ASSERT_EQ(settings::ReadToolSettingsFile(path, read, incomplete), 512);
  EXPECT_EQ(read, HeadImage(unit));
  const ChipStats stats = unit.Stats();
  EXPECT_GE(stats.resets, 1);
  EXPECT_GE(stats.baud_requests, 1);
  EXPECT_EQ(unit.latency_timer(), 2);
}

}  // namespace
}  // namespace kyr::usb_emu::testing
