// The image services on data, over a link the caller opens and closes.
#include <gtest/gtest.h>

#include "image_ops_rig.h"
#include "images/ops/services.h"

namespace kyr::images::testing {
namespace {

using headsim::ImageKind;

TEST(ImageServices, WorkOnRawImagesOverTheCallersLinkAndStopWhenAsked) {
  Rig rig(2);
  rig.Head(1).RegisterImage(ImageKind::kBank, 4);
  rig.Head().SetNgImages(5, 1);
  ASSERT_EQ(rig.link.OpenLink("USB", true), link::LinkResult::kOk);
  ImagesFound found;
  ASSERT_EQ(FindImages(rig.link, 1, ImageType::Bank, found), ImageResult::kDone);
  EXPECT_EQ(found.mask, 1u << 4);
  // NG images are the first head's whatever head is named: "No.0" is record 4.
  ASSERT_EQ(FindImages(rig.link, 2, ImageType::Ng, found), ImageResult::kDone);
  EXPECT_EQ(found.mask, 1u);
  EXPECT_EQ(found.ng.ring_position, 5);
  EXPECT_NE(found.ng.records[4].r3, 0);

  auto image = std::make_unique<RawImage>();
  int progress = 0;
  tool::ServiceHooks hooks{[&](int) { ++progress; }, nullptr};
  ASSERT_EQ(ReadImage(rig.link, 1, ImageType::Bank, 4, *image, hooks), ImageResult::kDone);
  EXPECT_TRUE(image->words == rig.Head(1).Image(ImageKind::kBank, 4));
  EXPECT_EQ(progress, 512);
  ASSERT_EQ(WriteImage(rig.link, 0, ImageType::Memory, 7, *image, hooks), ImageResult::kDone);
  EXPECT_TRUE(rig.Head(0).Image(ImageKind::kMemory, 7) == rig.Head(1).Image(ImageKind::kBank, 4));
  EXPECT_EQ(progress, 1024);
  EXPECT_TRUE(rig.link.IsOpen());
  EXPECT_EQ(rig.engine().Stats().closes, 0);

  // A read stops after the block at which the abort is asked for; a write between polls.
  hooks.abort = [&] { return progress >= 1024 + 40; };
  EXPECT_EQ(ReadImage(rig.link, 1, ImageType::Bank, 4, *image, hooks), ImageResult::kAborted);
  EXPECT_EQ(progress, 1024 + 40);
  const std::size_t polls = rig.FramesStarting(0x28).size();
  EXPECT_EQ(WriteImage(rig.link, 0, ImageType::Memory, 7, *image, hooks), ImageResult::kAborted);
  EXPECT_EQ(rig.FramesStarting(0x28).size(), polls + 1);
}

}  // namespace
}  // namespace kyr::images::testing
