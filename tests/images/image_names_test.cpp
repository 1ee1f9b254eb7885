#include <gtest/gtest.h>

#include "images/image_names.h"

namespace kyr::images {
namespace {

// The record of the worked example: date fields 10, 05, 12; time 13:45:01; id 1 / 07.
constexpr NgRecord kExample{0x2D01, 0x0C0D, 0x0A05, 0x0107};

TEST(NumberedNames, DigitsAreInsertedOnceAndThenReplaced) {
  std::string name = "C:\\img\\bank.kimg";
  SetImageNumberInName(name, 0);
  EXPECT_EQ(name, "C:\\img\\bank.00.kimg");
  SetImageNumberInName(name, 5);
  EXPECT_EQ(name, "C:\\img\\bank.05.kimg");
  SetImageNumberInName(name, 31);
  EXPECT_EQ(name, "C:\\img\\bank.31.kimg");

  std::string chosen = "/data/a.03.kimg";  // a numbered name keeps its length
  SetImageNumberInName(chosen, 0);
  EXPECT_EQ(chosen, "/data/a.00.kimg");

  std::string dotted = "/data/shots.x.kimg";  // no number there: digits go in front
  SetImageNumberInName(dotted, 4);
  EXPECT_EQ(dotted, "/data/shots.x.04.kimg");

  std::string tiny = ".kimg";  // shorter than any path: still well-formed
  SetImageNumberInName(tiny, 7);
  EXPECT_EQ(tiny, ".07.kimg");
}

TEST(NgNames, SuffixFollowsTheLanguageDateOrder) {
  EXPECT_EQ(LanguageMark(Lang::En), 'E');
  EXPECT_EQ(LanguageMark(Lang::Ja), 'J');
  EXPECT_EQ(NgNameSuffix(kExample, 'J'), ".100512_134501_1_07.kimg");
  EXPECT_EQ(NgNameSuffix(kExample, 'E'), ".120510_134501_1_07.kimg");

  std::string name = "C:\\img\\ng.kimg";
  SetNgSuffixInName(name, kExample, 'J');
  EXPECT_EQ(name, "C:\\img\\ng.100512_134501_1_07.kimg");
  // The next image replaces the suffix instead of adding a second one.
  const NgRecord next{0x0203, 0x0401, 0x1706, 0x0022};
  SetNgSuffixInName(name, next, 'E');
  EXPECT_EQ(name, "C:\\img\\ng.040623_010203_0_34.kimg");
}

TEST(NgNames, LongIdentificationKeepsItsWholeSuffixAndIsReplacedCleanly) {
  const NgRecord wide{0x2D01, 0x0C0D, 0x0A05, 0x0C07};  // identification high byte 12
  std::string name = "/srv/ng.kimg";
  SetNgSuffixInName(name, wide, 'J');
  EXPECT_EQ(name, "/srv/ng.100512_134501_12_07.kimg");
  SetNgSuffixInName(name, kExample, 'J');
  EXPECT_EQ(name, "/srv/ng.100512_134501_1_07.kimg");
  const NgRecord widest{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};  // garbage record: every field 255
  SetNgSuffixInName(name, widest, 'E');
  EXPECT_EQ(name, "/srv/ng.255255255_255255255_255_255.kimg");
  SetNgSuffixInName(name, kExample, 'E');
  EXPECT_EQ(name, "/srv/ng.120510_134501_1_07.kimg");
}

TEST(NgNames, RecordIsChosenFromTheRingPosition) {
  EXPECT_EQ(NgRecordIndex(5, 0), 4);  // the newest is the record before the ring position
  EXPECT_EQ(NgRecordIndex(5, 5), 62);
  EXPECT_EQ(NgRecordIndex(0, 0), 62);
  EXPECT_EQ(NgRecordIndex(0, 62), 0);
  for (int e = 0; e < 256; ++e) {  // a damaged table never points outside the ring
    for (int d = 0; d < kNgRecordCount; ++d) {
      const int r = NgRecordIndex(e, d);
      ASSERT_TRUE(r >= 0 && r < kNgRecordCount) << e << " " << d;
    }
  }

  NgRecords records{};
  records[4] = kExample;
  std::string name = "/x/ng.kimg";
  MakeImageFileName(name, ImageType::Ng, 0, 5, records, 'J');
  EXPECT_EQ(name, "/x/ng.100512_134501_1_07.kimg");
  std::string bank = "/x/bank.kimg";
  MakeImageFileName(bank, ImageType::Memory, 19, 5, records, 'J');
  EXPECT_EQ(bank, "/x/bank.19.kimg");
}

}  // namespace
}  // namespace kyr::images
