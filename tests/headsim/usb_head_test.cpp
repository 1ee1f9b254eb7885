// The simulated head as a USB head unit, reached through the link exactly as the tool
// reaches hardware, on simulated time.
#include <gtest/gtest.h>

#include <chrono>

#include "common/head_rig.h"

namespace kyr::headsim {
namespace {

using link::FrameResult;
using link::LinkResult;
using link::ReplyFault;
using link::ReplyResult;
using link::WordsReply;
using Rig = test_common::HeadRig;

const std::uint8_t kReadBlock5[6] = {0x10, 0x00, 0x05, 0x00, 0x80, 0x00};

TEST(UsbHead, OpenQueryReadAndCloseThroughTheLink) {
  Rig rig({.heads = 2});
  link::Link& link = rig.link;
  ASSERT_EQ(link.OpenLink("USB", true), LinkResult::kOk);
  EXPECT_EQ(link.DeviceSerial(), "KYRD0001");
  EXPECT_GT(link.QueryHead(0), 0);
  EXPECT_GT(link.QueryHead(1), 0);
  EXPECT_EQ(link.QueryHead(2), 0);
  ASSERT_EQ(link.SendFrame(kReadBlock5, 6), FrameResult::kSent);
  link::ReplyWords words{};
  ASSERT_EQ(link.ReceiveReply(words), WordsReply(128));
  EXPECT_EQ(words[0], rig.engine().Head(0).settings[5 * 128]);
  EXPECT_EQ(link.CloseLink(true), LinkResult::kOk);
  EXPECT_EQ(rig.engine().Stats().closes, 1);
  EXPECT_EQ(rig.engine().Stats().handshakes, 1);
  EXPECT_EQ(rig.unit.recoveries(), 0);
  EXPECT_LT(rig.ElapsedMs(), 300);  // found at once: no recovery wait
  // The device can be opened again after the close.
  EXPECT_EQ(link.OpenLink("U", true), LinkResult::kOk);
  EXPECT_EQ(rig.unit.opens(), 2);
}

TEST(UsbHead, StuckUnitComesBackAfterOneDisableEnable) {
  Rig rig({.stuck = true});
  std::vector<link::UsbDeviceInfo> listed;
  ASSERT_TRUE(rig.unit.Bus().ListDevices(listed));
  EXPECT_TRUE(listed.empty());
  std::vector<std::string> present;
  ASSERT_TRUE(rig.unit.Devices().ListPresent(present));
  EXPECT_EQ(present, (std::vector<std::string>{"USB\\VID_0403&PID_6001\\KYRD0001"}));

  link::Link& link = rig.link;
  const auto real_start = std::chrono::steady_clock::now();
  ASSERT_EQ(link.OpenLink("USB", true), LinkResult::kOk);
  EXPECT_EQ(rig.unit.recoveries(), 1);
  EXPECT_GE(rig.ElapsedMs(), 300);  // the first wait ran out on simulated time
  EXPECT_LT(std::chrono::steady_clock::now() - real_start, std::chrono::seconds(2));
  ASSERT_TRUE(rig.unit.Bus().ListDevices(listed));
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].description, "KYR Vision Sensor");
}

TEST(UsbHead, UnpluggedUnitIsNotFoundAndOpenChannelsFail) {
  Rig rig;
  link::Link& link = rig.link;
  ASSERT_EQ(link.OpenLink("USB", true), LinkResult::kOk);
  rig.unit.Unplug();
  EXPECT_NE(link.SendFrame(kReadBlock5, 6), FrameResult::kSent);
  link.CloseLink(false);
  const std::int64_t before = rig.ElapsedMs();
  EXPECT_EQ(link.OpenLink("USB", true), LinkResult::kNoKyrDevice);
  EXPECT_EQ(rig.ElapsedMs(), before);  // no device: no waiting
  link.CloseLink(false);
  rig.unit.Replug();
  EXPECT_EQ(link.OpenLink("USB", true), LinkResult::kOk);
}

TEST(UsbHead, MissingAndLateRepliesCostSimulatedTimeOnly) {
  Rig rig;
  rig.AddFault(FaultKind::kMissingReply, 0x10, 5);
  rig.AddFault(FaultKind::kLateReply, 0x10, 6, 1, 300);
  link::Link& link = rig.link;
  ASSERT_EQ(link.OpenLink("USB", true), LinkResult::kOk);
  const auto real_start = std::chrono::steady_clock::now();
  link::ReplyWords words{};

  std::int64_t start = rig.ElapsedMs();
  ASSERT_EQ(link.SendFrame(kReadBlock5, 6), FrameResult::kSent);
  EXPECT_EQ(link.ReceiveReply(words),
            ReplyResult{ReplyFault::kShortHeader});  // nothing came within the 500 ms read
  EXPECT_GE(rig.ElapsedMs() - start, 500);
  link.DiscardAfterFailedReply(128);  // as the exchange helper does, before the next request

  const std::uint8_t read6[6] = {0x10, 0x00, 0x06, 0x00, 0x80, 0x00};
  start = rig.ElapsedMs();
  ASSERT_EQ(link.SendFrame(read6, 6), FrameResult::kSent);
  EXPECT_EQ(link.ReceiveReply(words), WordsReply(128));  // 300 ms late is still within the read
  EXPECT_GE(rig.ElapsedMs() - start, 300);
  EXPECT_LT(rig.ElapsedMs() - start, 500);
  EXPECT_LT(std::chrono::steady_clock::now() - real_start, std::chrono::seconds(1));
}

TEST(UsbHead, DroppedLinkFailsTheReadAndTheUnitReturnsLater) {
  Rig rig({.replug_after_ms = 2000});
  rig.AddFault(FaultKind::kDroppedLink, 0x10, 5);
  link::Link& link = rig.link;
  ASSERT_EQ(link.OpenLink("USB", true), LinkResult::kOk);
  ASSERT_EQ(link.SendFrame(kReadBlock5, 6), FrameResult::kSent);
  link::ReplyWords words{};
  EXPECT_EQ(link.ReceiveReply(words), ReplyResult{ReplyFault::kReadFailed});
  EXPECT_FALSE(rig.unit.plugged());
  link.CloseLink(false);
  EXPECT_EQ(link.OpenLink("USB", true), LinkResult::kNoKyrDevice);
  link.CloseLink(false);
  rig.time.Advance(2000 * 1000);
  EXPECT_EQ(link.OpenLink("USB", true), LinkResult::kOk);
  ASSERT_EQ(link.SendFrame(kReadBlock5, 6), FrameResult::kSent);
  EXPECT_EQ(link.ReceiveReply(words), WordsReply(128));
}

TEST(UsbHead, ChannelTimeOutsDrainAndSingleHandle) {
  Rig rig;
  auto channel = rig.unit.Bus().Open(0);
  ASSERT_NE(channel, nullptr);
  EXPECT_EQ(rig.unit.Bus().Open(0), nullptr);  // the device is in use
  EXPECT_EQ(rig.unit.Bus().Open(1), nullptr);

  std::uint8_t buffer[300];
  std::size_t n = 0;
  ASSERT_TRUE(channel->Read(buffer, 2, n));
  EXPECT_EQ(n, 0u);
  EXPECT_EQ(rig.ElapsedMs(), 500);

  const std::uint8_t handshake[2] = {0x55, 0x8C};
  ASSERT_TRUE(channel->Write(handshake, 2, n));
  EXPECT_EQ(n, 2u);
  ASSERT_TRUE(channel->Read(buffer, 300, n));
  EXPECT_EQ(n, 2u);  // a short count after the time-out, not a failure

  // Drain throws away a late answer that arrives within the quiet window.
  rig.AddFault(FaultKind::kLateReply, kHandshakeCommand, kAny, 1, 30);
  ASSERT_TRUE(channel->Write(handshake, 2, n));
  EXPECT_EQ(channel->Drain(50, 2000), 2u);

  channel->Close();
  EXPECT_FALSE(channel->Write(handshake, 2, n));
  EXPECT_FALSE(channel->Read(buffer, 2, n));
  EXPECT_NE(rig.unit.Bus().Open(0), nullptr);
}

// A line of three units: listed in order, an unplugged unit leaves no hole in the bus
// indexes, and a link chosen by serial number talks to that unit only.
TEST(UsbHead, LineListsEveryUnitAndOpensTheOneAsked) {
  SimulatedTime time(SimulatedTime::Mode::kManual);
  std::vector<UsbHeadOptions> units(3);
  for (int i = 0; i < 3; ++i) units[i].serial = "KYRD000" + std::to_string(i + 1);
  SimulatedLine line(units, time);
  line.Unit(1).Unplug();
  link::LinkEnvironment environment = line.Environment();
  std::vector<link::UsbDeviceInfo> listed;
  ASSERT_TRUE(environment.usb_bus->ListDevices(listed));
  ASSERT_EQ(listed.size(), 2u);
  EXPECT_EQ(listed[1].serial, "KYRD0003");
  ASSERT_NE(environment.usb_bus->Open(1), nullptr);
  EXPECT_EQ(line.Unit(2).opens(), 1);

  environment.device_serial = "KYRD0003";
  link::Link link(environment);
  ASSERT_EQ(link.OpenLink("USB", true), LinkResult::kOk);
  EXPECT_EQ(link.DeviceSerial(), "KYRD0003");
  EXPECT_EQ(line.Unit(2).engine().Stats().handshakes, 1);
  EXPECT_EQ(line.Unit(0).opens(), 0);
}

// The tool's simulated line: own serial numbers, and images every head reports as stored.
TEST(UsbHead, DefaultUnitsHaveTheirOwnSerialsAndRegisteredImages) {
  EXPECT_EQ(DefaultUnitOptions(0).serial, "KYRD0001");
  EXPECT_EQ(DefaultUnitOptions(11).serial, "KYRD0012");
  SimulatedTime time(SimulatedTime::Mode::kManual);
  SimulatedUsbHead unit(DefaultUnitOptions(0), time);
  const HeadMemory& head = unit.engine().Head(0);
  const int banks = DefaultUnitOptions(0).engine.registered_banks;
  ASSERT_GT(banks, 0);
  EXPECT_TRUE(head.IsImageStored(ImageKind::kBank, banks - 1));
  EXPECT_FALSE(head.IsImageStored(ImageKind::kBank, banks));
  EXPECT_EQ(head.settings[kBankWords * (banks - 1) + kBankRegistrationWord] & 0x8000, 0);
  EXPECT_NE(head.settings[kBankWords * banks + kBankRegistrationWord] & 0x8000, 0);
  EXPECT_EQ(head.settings[kMemoryPresenceWord] & 1, 0);
}

}  // namespace
}  // namespace kyr::headsim
