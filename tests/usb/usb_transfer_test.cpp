// Every transfer over USB through the real libftdi1 and libusb to emulated head units:
// whole runs, a unit unplugged in the middle of each, and a unit that answers nothing.
#include <algorithm>
#include <cctype>
#include <chrono>
#include <filesystem>
#include <functional>

#include "common/fault_rule.h"
#include "common/temp_folder.h"
#include "headsim/head_memory.h"
#include "monitor/monitor.h"
#include "settings/settings_file.h"
#include "usb/usb_rig.h"

namespace kyr::usb_emu::testing {
namespace {

using test_common::Fault;

constexpr int kBankType = 0;
constexpr int kImageBank = 2;  // registered in every head the rig makes
constexpr int kFramesOfRead = 2 + 64;

// The monitor's window as the command line has it: no widgets, the USB port.
class NoWindow : public monitor::MonitorWindow {
 public:
  std::string PortText() override { return "USB"; }
  void ShowMonitorRunning(bool) override {}
  void StartFrameTimer(int) override {}
  void KillFrameTimer() override {}
  void PaintCanvas() override {}
};

class UsbTransfers : public UsbRig {
 public:
  EmulatedUnit& AddImageUnit() {
    EmulatedUnit& unit = AddUnit();
    unit.WithEngine([](headsim::Engine& engine) {
      engine.Head(0).settings[192 * kImageBank + 5] = 0x7FFF;  // bank image registered
      engine.Head(0).poll_busy_answers.clear();
      return 0;
    });
    return unit;
  }
  std::string SettingsFile(unsigned seed) {
    const std::string path = temp.File("in.kdta");
    test_common::WriteAll(path, settings::FormatSettingsText(PatternSettings(seed)));
    return path;
  }
  headsim::RawImage HeadPicture(EmulatedUnit& unit, int bank) {
    return unit.WithEngine([bank](headsim::Engine& engine) {
      return engine.Head(0).Image(headsim::ImageKind::kBank, bank);
    });
  }
  tool::Outcome ReadSettings() {
    auto ctx = Context();
    return transfer::ReadAllSettingsTo(ctx, temp.File("out.kdta"));
  }
  tool::Outcome WriteSettings() {
    auto ctx = Context();
    transfer::WriteOptions options;
    options.verify = true;
    return transfer::WriteSettingsFrom(ctx, SettingsFile(11), tool::WriteChoices{}, options);
  }
  tool::Outcome ReadBankImage() {
    host.file = temp.File("bank.kimg");
    host.selection = 1ULL << kImageBank;
    host.answers = {tool::Answer::Yes};
    auto ctx = ImageContext(kBankType);
    return images::ReadImages(ctx);
  }
  tool::Outcome WriteBankImage(const std::string& file, int number) {
    host.files = {file};
    host.number = number;
    host.answers = {tool::Answer::Yes};
    auto ctx = ImageContext(kBankType);
    return images::WriteImages(ctx);
  }
};

TEST_F(UsbTransfers, SettingsBothWaysWithVerifyAndTheChipConfigured) {
  EmulatedUnit& unit = AddUnit();
  ASSERT_EQ(ReadSettings(), transfer::Outcome::kDone);
  settings::SettingsImage read{};
  int incomplete = -1;
  ASSERT_EQ(settings::ReadToolSettingsFile(temp.File("out.kdta"), read, incomplete), 512);
  EXPECT_EQ(read, HeadImage(unit));
  const ChipStats stats = unit.Stats();
  EXPECT_GE(stats.resets, 1);
  EXPECT_GE(stats.baud_requests, 1);
  EXPECT_EQ(unit.latency_timer(), 2);

  ASSERT_EQ(WriteSettings(), transfer::Outcome::kDone);
  const auto head = HeadImage(unit);
  const auto file = PatternSettings(11);
  constexpr std::size_t kBankWords = 32 * 192;
  EXPECT_TRUE(std::equal(head.begin(), head.begin() + kBankWords, file.begin()));
  EXPECT_EQ(host.MessageIds().back(),
            ToolText::kSettingsWriteComplete);  // complete, with nothing differing on read-back
}

TEST_F(UsbTransfers, BankImageReadThenWrittenToAnotherBank) {
  EmulatedUnit& unit = AddImageUnit();
  ASSERT_EQ(ReadBankImage(), images::Outcome::kDone);
  const std::string file = temp.File("bank.02.kimg");
  EXPECT_EQ(test_common::ReadBytes(file).size(), 2u * headsim::kImageWords);

  ASSERT_EQ(WriteBankImage(file, 9), images::Outcome::kDone);
  EXPECT_TRUE(HeadPicture(unit, 9) == HeadPicture(unit, kImageBank));
}

TEST_F(UsbTransfers, MonitorFramesAndAReplugWithANewAddress) {
  EmulatedUnit& unit = AddUnit();
  NoWindow window;
  monitor::MonitorState monitor_state;
  auto canvas = std::make_unique<images::Canvas>();
  monitor::MonitorContext ctx{host, window, Link(), monitor_state, *canvas};
  ASSERT_EQ(monitor::StartMonitor(ctx, monitor::StartedBy::kButton), monitor::Outcome::kDone);
  EXPECT_EQ(monitor::FetchMonitorFrame(ctx), monitor::Outcome::kDone);
  EXPECT_EQ(monitor::FetchMonitorFrame(ctx), monitor::Outcome::kDone);
  EXPECT_EQ(unit.WithEngine([](headsim::Engine& e) { return e.Stats().monitor_requests; }), 16);

  unit.UnplugAtFrame(3);
  EXPECT_EQ(monitor::FetchMonitorFrame(ctx), monitor::Outcome::kFailed);
  EXPECT_FALSE(unit.plugged());
  unit.Replug(9);
  EXPECT_EQ(unit.node(), "/dev/bus/usb/001/009");
  ASSERT_EQ(monitor::StartMonitor(ctx, monitor::StartedBy::kTimer), monitor::Outcome::kDone);
  EXPECT_EQ(monitor::FetchMonitorFrame(ctx), monitor::Outcome::kDone);
  Link().CloseLink(false);
}

// With the kernel's serial driver bound, as for a head on FTDI's own ids: listing leaves it
// alone, each command disconnects it once and binds it again at the end, and a unit unplugged
// in the middle leaves nothing to bind again.
TEST_F(UsbTransfers, TheKernelDriverIsBoundAgainAfterEveryCommand) {
  drivers_bound = true;
  EmulatedUnit& unit = AddImageUnit();
  std::vector<link::UsbDeviceInfo> listed;
  ASSERT_TRUE(Environment().usb_bus->ListDevices(listed));
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(unit.Stats().driver_disconnects, 0);

  const auto read_settings = [this] {
    std::filesystem::remove(temp.File("out.kdta"));
    return ReadSettings();
  };
  const std::vector<std::function<tool::Outcome()>> commands = {
      read_settings, [this] { return WriteSettings(); }, [this] { return ReadBankImage(); }};
  int disconnects = 0;
  for (std::size_t i = 0; i < commands.size(); ++i) {
    EXPECT_EQ(commands[i](), tool::Outcome::kDone) << "command " << i;
    const ChipStats stats = unit.Stats();
    EXPECT_GT(stats.driver_disconnects, disconnects) << "command " << i;
    EXPECT_EQ(stats.driver_connects, stats.driver_disconnects) << "command " << i;
    EXPECT_TRUE(unit.driver_bound());
    disconnects = stats.driver_disconnects;
  }

  const std::size_t messages_before = host.messages.size();
  unit.UnplugAtFrame(20);
  EXPECT_NE(read_settings(), tool::Outcome::kDone);
  EXPECT_EQ(unit.Stats().driver_disconnects, disconnects + 1);
  EXPECT_EQ(unit.Stats().driver_connects, disconnects);
  EXPECT_EQ(host.messages.size(), messages_before + 1);  // the link message, none on the driver
  unit.Replug();
  EXPECT_TRUE(unit.driver_bound());  // the kernel binds it on plug-in
  EXPECT_EQ(read_settings(), tool::Outcome::kDone);
  EXPECT_TRUE(unit.driver_bound());
}

// A unit unplugged when the tool writes a given frame: the transfer fails with a link
// message, leaves no file under the chosen name, and a head that was being written holds
// only whole blocks of the file where it changed.
struct UnplugCase {
  const char* name;
  int frame;
  std::function<tool::Outcome(UsbTransfers&)> run;
  std::vector<std::string> left_in_folder;
};

class UsbUnplug : public UsbTransfers, public ::testing::WithParamInterface<UnplugCase> {};

TEST_P(UsbUnplug, FailsWithALinkMessageAndLeavesNoPartialFile) {
  const UnplugCase& c = GetParam();
  EmulatedUnit& unit = AddImageUnit();
  const settings::SettingsImage before = HeadImage(unit);
  unit.UnplugAtFrame(c.frame);
  EXPECT_NE(c.run(*this), tool::Outcome::kDone);
  EXPECT_FALSE(unit.plugged());
  ASSERT_FALSE(host.messages.empty());
  const std::vector<ToolText> link_messages = {ToolText::kWritePartial, ToolText::kWriteUsbFailed,
                                               ToolText::kCommunicationError};
  EXPECT_NE(std::find(link_messages.begin(), link_messages.end(), host.MessageIds().back()),
            link_messages.end())
      << ::testing::PrintToString(host.MessageIds().back());
  EXPECT_EQ(temp.Names(), c.left_in_folder);

  // Settings blocks of 64 words: each is the head's own or wholly the file's. (An image
  // write marks its image present in the settings, so it is left out here.)
  if (std::string(c.name) == "write image") return;
  const settings::SettingsImage after = HeadImage(unit);
  const settings::SettingsImage file = PatternSettings(11);
  int written_blocks = 0;
  for (std::size_t block = 0; block < after.size() / 64; ++block) {
    const auto at = [block](const settings::SettingsImage& image) {
      return std::vector<std::uint16_t>(image.begin() + 64 * block,
                                        image.begin() + 64 * (block + 1));
    };
    if (at(after) == at(before)) continue;
    EXPECT_EQ(at(after), at(file)) << "block " << block;
    ++written_blocks;
  }
  EXPECT_LE(written_blocks, c.frame / 2);
  if (std::string(c.name).starts_with("read")) {
    EXPECT_EQ(written_blocks, 0);
  }
}

template <typename Case>
std::string CaseName(const ::testing::TestParamInfo<Case>& info) {
  std::string name = info.param.name;
  for (char& ch : name) {
    if (!std::isalnum(static_cast<unsigned char>(ch))) ch = '_';
  }
  return name;
}

INSTANTIATE_TEST_SUITE_P(
    EachTransfer, UsbUnplug,
    ::testing::Values(
        UnplugCase{"read settings", 20, [](UsbTransfers& rig) { return rig.ReadSettings(); }, {}},
        UnplugCase{"write settings command",
                   33,
                   [](UsbTransfers& rig) { return rig.WriteSettings(); },
                   {"in.kdta"}},
        UnplugCase{"write settings data",
                   34,
                   [](UsbTransfers& rig) { return rig.WriteSettings(); },
                   {"in.kdta"}},
        UnplugCase{"read image", 12, [](UsbTransfers& rig) { return rig.ReadBankImage(); }, {}},
        UnplugCase{"write image",
                   40,
                   [](UsbTransfers& rig) {
                     const std::string file = rig.temp.File("pattern.kimg");
                     test_common::WriteAll(file, std::string(2 * headsim::kImageWords, 'x'));
                     return rig.WriteBankImage(file, 9);
                   },
                   {"pattern.kimg"}}),
    CaseName<UnplugCase>);

// How an image exchange ends as the head sees it: once blocks went back and forth the head
// always gets the closing frame, also after a failure or an abort; a presence phase that
// failed leaves it without one.
struct CloseCase {
  const char* name;
  std::function<void(UsbTransfers&, headsim::FaultPlan&)> prepare;
  std::function<tool::Outcome(UsbTransfers&)> run;
  ToolText last_message;
  int closes;  // closing frames the head received
};

void PrintTo(const CloseCase& c, std::ostream* out) {
  *out << c.name;
}

class UsbImageClose : public UsbTransfers, public ::testing::WithParamInterface<CloseCase> {};

constexpr int kImageBlockRead = headsim::kReadImage;
constexpr int kImageBlockWrite = headsim::kWriteImage;

TEST_P(UsbImageClose, TheHeadGetsTheClosingFrameOnlyAfterTheTransferStarted) {
  const CloseCase& c = GetParam();
  EmulatedUnit& unit = AddImageUnit();
  unit.WithEngine([&](headsim::Engine& engine) {
    c.prepare(*this, engine.Faults());
    return 0;
  });
  EXPECT_NE(c.run(*this), tool::Outcome::kDone);
  ASSERT_FALSE(host.messages.empty());
  const std::vector<ToolText> shown = host.MessageIds();
  EXPECT_EQ(shown.back(), c.last_message);
  EXPECT_EQ(std::count(shown.begin(), shown.end(), ToolText::kImageReadComplete),
            0);  // never "complete"

  const headsim::EngineStats seen = unit.WithEngine([](headsim::Engine& e) { return e.Stats(); });
  EXPECT_EQ(seen.closes, c.closes);
  EXPECT_EQ(seen.last_frame == headsim::kClose, c.closes > 0);
}

INSTANTIATE_TEST_SUITE_P(
    EachEnding, UsbImageClose,
    ::testing::Values(
        CloseCase{"read with five bad replies",
                  [](UsbTransfers&, headsim::FaultPlan& faults) {
                    faults.Add(Fault(headsim::FaultKind::kBadChecksum, kImageBlockRead, 32, 5));
                  },
                  [](UsbTransfers& rig) { return rig.ReadBankImage(); },
                  ToolText::kCommunicationError, 2},  // the presence phase's and the transfer's
        CloseCase{"write with five bad acknowledges",
                  [](UsbTransfers&, headsim::FaultPlan& faults) {
                    faults.Add(Fault(headsim::FaultKind::kBadChecksum, kImageBlockWrite, 32, 5));
                  },
                  [](UsbTransfers& rig) {
                    const std::string file = rig.temp.File("pattern.kimg");
                    test_common::WriteAll(file, std::string(2 * headsim::kImageWords, 'x'));
                    return rig.WriteBankImage(file, 9);
                  },
                  ToolText::kCommunicationError, 1},
        CloseCase{"aborted read",
                  [](UsbTransfers& rig, headsim::FaultPlan&) { rig.host.abort_after_checks = 40; },
                  [](UsbTransfers& rig) { return rig.ReadBankImage(); }, ToolText::kAborted, 2},
        CloseCase{"failed presence phase",
                  [](UsbTransfers&, headsim::FaultPlan& faults) {
                    faults.Add(Fault(headsim::FaultKind::kBadChecksum, headsim::kReadMemory,
                                     headsim::kAny, -1));
                  },
                  [](UsbTransfers& rig) { return rig.ReadBankImage(); },
                  ToolText::kCommunicationError, 0}),
    CaseName<CloseCase>);

// A head that answers nothing behind a working chip gives a short handshake reply; a chip
// that sends nothing at all makes the read itself fail. Neither hangs the tool.
TEST_F(UsbTransfers, SilenceFailsTheHandshakeWithinItsTimeOuts) {
  struct Case {
    Silence silence;
    ToolText message;
  };
  for (const Case c : {Case{Silence::kHead, ToolText::kReadCountWrong},
                       Case{Silence::kChip, ToolText::kReceiveFailed}}) {
    host.messages.clear();
    EmulatedUnit& unit = AddUnit(c.silence == Silence::kHead ? "KYRD0001" : "KYRD0002");
    unit.SetSilent(c.silence);
    Link().CloseLink(false);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadSettings(), transfer::Outcome::kFailed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
    EXPECT_EQ(host.MessageIds(), std::vector<ToolText>{c.message});
    EXPECT_TRUE(temp.Names().empty());
    unit.Unplug();
  }
}

}  // namespace
}  // namespace kyr::usb_emu::testing
