// Soak of the image transfers: memory images read from and written into the simulated head
// unit while it commits random faults. A read either completes with the head's picture in
// the file or fails with one of the failure messages and leaves no file under the name; a
// write either completes with the file's picture in the head or fails the same way, with
// every block in the head either old or new.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "imageops/image_ops_rig.h"
#include "link/result_codes.h"
#include "soak_support.h"

namespace kyr::images {
namespace {

using headsim::FaultKind;
using headsim::ImageKind;
using testing::Bytes;
using testing::FileBytesOf;
using testing::ReadBytes;
using testing::Rig;
using testing::WriteBytes;

constexpr int kTransfers = 1000;
constexpr int kMemoryType = 1;
constexpr int kBlocks = 512;
constexpr std::size_t kBlockBytes = kImageFileBytes / kBlocks;
constexpr std::uint8_t kReadCommand = 0x18;
constexpr std::uint8_t kWriteCommand = 0x1C;
constexpr std::int64_t kMaxSimulatedMicros = 30LL * 60 * 1000 * 1000;
constexpr double kMaxRealSeconds = 5.0;

// Random faults for one transfer of an image's blocks of `command`.
void PlanFaults(Rig& rig, std::mt19937& random, std::uint8_t command) {
  static const int kRates[] = {0, 1, 3, 10, 30, 100};
  soak::PlanFaults(rig.Faults(), random, kRates, command, kBlocks);
}

void Tally(Rig& rig, soak::Counts& counts) {
  soak::Tally(rig.Faults(), rig.time.NowMicros(), kMaxSimulatedMicros, counts);
}

Bytes RandomFile(std::mt19937& random) {
  Bytes bytes(kImageFileBytes);
  for (auto& byte : bytes) byte = static_cast<std::uint8_t>(random());
  return bytes;
}

void SoakRead(std::mt19937& random, int n, soak::Counts& counts) {
  Rig rig;
  rig.host.selection = 1;  // memory image 0
  rig.host.save_name = rig.File("m.kimg");
  const std::string path = rig.File("m.00.kimg");
  Bytes old;
  if (random() % 2 == 0) {
    old = RandomFile(random);
    WriteBytes(path, old);
    rig.host.answers = {tool::Answer::Yes};
  }
  PlanFaults(rig, random, kReadCommand);
  auto ctx = rig.Context(kMemoryType);
  const auto result = ReadImages(ctx);
  SCOPED_TRACE("image read " + std::to_string(n));
  const std::vector<ToolText> ids =
      soak::AfterQuestion(rig.host.MessageIds(), ToolText::kFileExists);
  if (result == Outcome::kDone) {
    ++counts.reads_done;
    EXPECT_EQ(ids, std::vector<ToolText>{ToolText::kImageReadComplete});
    const Bytes got = ReadBytes(path);
    const Bytes want = FileBytesOf(rig.Head().Image(ImageKind::kMemory, 0));
    const auto wrong = std::mismatch(got.begin(), got.end(), want.begin(), want.end());
    EXPECT_TRUE(got == want) << "first wrong block " << (wrong.first - got.begin()) / 256 << " of "
                             << got.size() / 256;
  } else {
    ++counts.reads_failed;
    EXPECT_EQ(result, Outcome::kFailed);
    soak::ExpectOneFailureMessage(ids, counts);
    if (old.empty()) {
      EXPECT_FALSE(std::filesystem::exists(path));
    } else {
      EXPECT_TRUE(ReadBytes(path) == old);
    }
  }
  EXPECT_EQ(rig.temp.Names().size(), result == Outcome::kDone || !old.empty() ? 1u : 0u)
      << "a temporary file left";
  Tally(rig, counts);
}

void SoakWrite(std::mt19937& random, int n, soak::Counts& counts) {
  Rig rig;
  const Bytes before = FileBytesOf(rig.Head().Image(ImageKind::kMemory, 0));
  const Bytes file = RandomFile(random);
  WriteBytes(rig.File("w.kimg"), file);
  rig.host.open_files = {rig.File("w.kimg")};
  rig.host.number_choice = 0;
  rig.host.answers = {tool::Answer::Yes};
  PlanFaults(rig, random, kWriteCommand);
  auto ctx = rig.Context(kMemoryType);
  const auto result = WriteImages(ctx);
  SCOPED_TRACE("image write " + std::to_string(n));
  const Bytes head = FileBytesOf(rig.Head().Image(ImageKind::kMemory, 0));
  for (std::size_t at = 0; at < kImageFileBytes; at += kBlockBytes) {
    const auto block_of = [&](const Bytes& bytes) {
      return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(at),
                   bytes.begin() + static_cast<std::ptrdiff_t>(at + kBlockBytes));
    };
    const bool is_file = block_of(head) == block_of(file);
    if (result == Outcome::kDone) {
      ASSERT_TRUE(is_file) << "block " << at / kBlockBytes;
    } else {
      ASSERT_TRUE(is_file || block_of(head) == block_of(before))
          << "block " << at / kBlockBytes << " half written";
    }
  }
  const std::vector<ToolText> ids =
      soak::AfterQuestion(rig.host.MessageIds(), ToolText::kOverwriteImage);
  if (result == Outcome::kDone) {
    ++counts.writes_done;
    EXPECT_EQ(ids, std::vector<ToolText>{ToolText::kImageWriteComplete});
  } else {
    ++counts.writes_failed;
    EXPECT_EQ(result, Outcome::kFailed);
    soak::ExpectOneFailureMessage(ids, counts);
  }
  EXPECT_TRUE(ReadBytes(rig.File("w.kimg")) == file);
  Tally(rig, counts);
}

TEST(Soak, ImageTransfersUnderRandomFaultsCompleteExactlyOrFailWithTheirMessage) {
  std::mt19937 random(soak::Seed(20261208));
  soak::Counts counts;
  soak::RunAlternating(
      kTransfers, kMaxRealSeconds, counts, [&](int n) { SoakRead(random, n, counts); },
      [&](int n) { SoakWrite(random, n, counts); });
  const std::string heading =
      "soak: " + std::to_string(kTransfers) + " image transfers (memory image, 512 blocks each)";
  soak::Print(counts, heading.c_str(), "read image: ", "write image:");
  EXPECT_GT(counts.reads_done, 0);
  EXPECT_GT(counts.reads_failed, 0);
  EXPECT_GT(counts.writes_done, 0);
  EXPECT_GT(counts.writes_failed, 0);
}

}  // namespace
}  // namespace kyr::images
