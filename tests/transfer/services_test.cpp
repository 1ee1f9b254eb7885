// The settings services on data, over a link the caller opens and closes.
#include <gtest/gtest.h>

#include <memory>

#include "transfer/services.h"
#include "transfer_rig.h"

namespace kyr::transfer {
namespace {

using testing::Rig;

TEST(SettingsServices, WorkOnImagesOverTheCallersLinkAndStopBetweenBlocksWhenAsked) {
  Rig rig(0x0301, 2);
  ASSERT_EQ(rig.link.OpenLink("USB", true), link::LinkResult::kOk);
  auto image = std::make_unique<settings::SettingsImage>();
  std::vector<int> positions;
  tool::ServiceHooks hooks{[&](int position) { positions.push_back(position); }, nullptr};
  ASSERT_EQ(ReadSettings(rig.link, 1, *image, hooks), SettingsResult::kDone);
  EXPECT_EQ(*image, rig.Settings(1));
  EXPECT_EQ(positions.size(), 64u);

  // Head 2's banks and common block into head 1, on the same link: the caller closes it.
  const auto before = rig.Settings(0);
  ASSERT_EQ(WriteSettings(rig.link, 0, *image, {}), SettingsResult::kDone);
  for (std::size_t k = 0; k < image->size(); ++k) {
    const bool written = k < 96 * 64 || k >= 127 * 64;
    ASSERT_EQ(rig.Settings(0)[k], written ? (*image)[k] : before[k]) << "word " << k;
  }
  EXPECT_TRUE(rig.link.IsOpen());
  EXPECT_EQ(rig.engine().Stats().closes, 0);

  // Choices that cannot be written are refused before anything is sent; an abort request
  // is taken before the next block, and the finish command is not sent.
  const std::size_t frames = rig.frames.size();
  EXPECT_EQ(WriteSettings(rig.link, 0, *image, {5, 4, 5, true, true, true}),
            SettingsResult::kEmptyBankRange);
  EXPECT_EQ(WriteSettings(rig.link, 0, *image, {20, 31, 25, true, true, true}),
            SettingsResult::kBanksPastEnd);
  EXPECT_EQ(rig.frames.size(), frames);
  int asked = 0;
  hooks.abort = [&] { return ++asked > 3; };
  EXPECT_EQ(WriteSettings(rig.link, 0, *image, {}, {}, hooks), SettingsResult::kAborted);
  EXPECT_EQ(rig.FramesStarting(0x14).size(), 97u + 3u);
  EXPECT_EQ(rig.engine().Stats().finishes, 1);
  hooks.abort = [] { return true; };
  EXPECT_EQ(ReadSettings(rig.link, 1, *image, hooks), SettingsResult::kAborted);
  EXPECT_EQ(rig.FramesStarting(0x11).size(), 64u);
}

}  // namespace
}  // namespace kyr::transfer
