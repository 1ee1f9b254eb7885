#include <gtest/gtest.h>

#include "headsim/engine.h"
#include "headsim/head_exchange.h"
#include "headsim/screen.h"

namespace kyr::headsim {
namespace {

using testing::Bytes;
using testing::Command;
using testing::DataFrame;
using testing::HeadExchange;
using testing::Join;

EngineOptions Heads(int n) {
  EngineOptions options;
  options.heads = n;
  return options;
}

TEST(HeadSession, HandshakeQueryAndClosingFrame) {
  for (int heads = 1; heads <= 3; ++heads) {
    HeadExchange head(Heads(heads));
    EXPECT_EQ(head.Send({0x55, 0x8C}), (Bytes{0x8C, 0x73}));
    const Bytes query = Command({0xFB, 0, 0, 0, 0, 0});
    EXPECT_EQ(query.back(), 0x04);
    const auto replies = head.Ask(query);
    ASSERT_EQ(replies.size(), 1u);
    ASSERT_TRUE(replies[0].well_formed);
    ASSERT_EQ(replies[0].count, 5);
    // Presence of head h is data byte 6 + h: the bytes of words 3 and 4, low byte first.
    const auto& w = replies[0].words;
    const int presence[3] = {w[3] & 0xFF, w[3] >> 8, w[4] & 0xFF};
    for (int h = 0; h < 3; ++h) EXPECT_EQ(presence[h] != 0, h < heads) << heads << " heads";
    // The closing frame is answered with silence, and the next session starts cleanly.
    EXPECT_TRUE(head.Send({0xFE, 0x8C, 0x73, 0x00, 0x00, 0x00, 0x02}).empty());
    EXPECT_EQ(head.engine().Stats().closes, 1);
    EXPECT_EQ(head.Send({0x55, 0x8C}), (Bytes{0x8C, 0x73}));
  }
}

TEST(SettingsMemory, StartsFromTheEditorsInitialValues) {
  EngineOptions options = Heads(3);
  options.version = 2;
  HeadExchange head(options);
  for (int h = 0; h < 3; ++h) {
    const SettingsWords& words = head.engine().Head(h).settings;
    EXPECT_EQ(words[kVersionWord], 0x0201);
    for (int b = 0; b < 32; ++b) {
      EXPECT_NE(words[192 * b + kBankRegistrationWord] & 0x8000, 0) << "bank " << b;
    }
    // Bank comments as a fresh settings file has them: the two leading blanks stand as 0,
    // then dashes.
    EXPECT_EQ(words[192 * 5 + 18], 0);
    EXPECT_EQ(words[192 * 5 + 19], 0x2D2D);
  }
}

TEST(SettingsMemory, ReadsBlocksWordsAndSeveralReplies) {
  EngineOptions options = Heads(2);
  options.model = 1;
  options.version = 2;
  HeadExchange head(options);
  for (int k = 0; k < kSettingsWords; ++k) {
    head.engine().Head(1).settings[k] = static_cast<std::uint16_t>(0x8000 | k);
  }
  // Version word of the first head at byte address 0x3F80.
  auto version = head.Ask(Command({0x10, 0x80, 0x3F, 0x00, 1, 0}));
  ASSERT_EQ(version.size(), 1u);
  EXPECT_EQ(version[0].words, (std::vector<std::uint16_t>{0x0201}));

  // Block 10 of the second head: 128 words from byte address 10 * 256.
  auto block = head.Ask(Command({0x11, 0x00, 10, 0x00, 0x80, 0x00}));
  ASSERT_EQ(block.size(), 1u);
  EXPECT_TRUE(block[0].well_formed);
  ASSERT_EQ(block[0].count, 128);
  for (int i = 0; i < 128; ++i) EXPECT_EQ(block[0].words[i], 0x8000 | (1280 + i));

  // Three replies of four words each, consecutive in memory.
  auto three = head.Ask(Command({0x11, 0x10, 0x00, 0x00, 4, 2}));
  ASSERT_EQ(three.size(), 3u);
  EXPECT_EQ(three[2].words[3], 0x8000 | (8 + 11));

  // The last word of the settings memory, and nothing beyond it.
  auto edge = head.Ask(Command({0x11, 0xFE, 0x3F, 0x00, 2, 0}));
  ASSERT_EQ(edge.size(), 1u);
  EXPECT_EQ(edge[0].words, (std::vector<std::uint16_t>{0x8000 | 8191, 0}));

  // A head that is not connected does not answer.
  EXPECT_TRUE(head.Send(Command({0x12, 0, 0, 0, 0x80, 0})).empty());
}

TEST(SettingsMemory, WriteThenFinishAndRefusedFrames) {
  HeadExchange head(Heads(3));
  std::vector<std::uint16_t> words(64);
  for (int i = 0; i < 64; ++i) words[i] = static_cast<std::uint16_t>(0x1234 + 3 * i);
  // Block 127 (the common block) of the third head: address 127 * 128.
  const Bytes write = Join(Command({0x16, 0x80, 0x3F, 0x00, 0x40, 0x00}), DataFrame(words));
  EXPECT_EQ(head.Send(write), (Bytes{0x06, 0x00, 0xF9}));
  for (int i = 0; i < 64; ++i) EXPECT_EQ(head.engine().Head(2).settings[8128 + i], words[i]);
  EXPECT_EQ(head.engine().Head(0).settings[8128], 0x0301);  // other heads untouched

  EXPECT_EQ(head.Send(Command({0x26, 0xFF, 0x6A, 0, 0, 0})), (Bytes{0x06, 0x00, 0xF9}));
  EXPECT_EQ(head.engine().Stats().finishes, 1);

  // A data frame with a wrong checksum is refused and nothing is stored.
  const std::uint16_t before = head.engine().Head(0).settings[0];
  Bytes bad = Join(Command({0x14, 0x00, 0x00, 0x00, 0x40, 0x00}), DataFrame(words));
  ++bad.back();
  EXPECT_EQ(head.Send(bad), (Bytes{0x15, 0x00, 0xEA}));
  EXPECT_EQ(head.engine().Head(0).settings[0], before);

  // So is a command frame with a wrong checksum; the head carries out nothing.
  Bytes bad_read = Command({0x10, 0x00, 0x00, 0x00, 0x80, 0x00});
  bad_read.back() ^= 1;
  EXPECT_EQ(head.Send(bad_read), (Bytes{0x15, 0x00, 0xEA}));
  Bytes bad_finish = Command({0x24, 0xFF, 0x6A, 0, 0, 0});
  bad_finish.back() ^= 0x10;
  EXPECT_EQ(head.Send(bad_finish), (Bytes{0x15, 0x00, 0xEA}));
  EXPECT_EQ(head.engine().Stats().finishes, 1);
  // After the refusals the line is in step again.
  EXPECT_EQ(head.Send({0x55, 0x8C}), (Bytes{0x8C, 0x73}));
}

TEST(SettingsMemory, PartialFrameIsForgottenAfterAPause) {
  HeadExchange head;
  EXPECT_TRUE(head.Send({0x10, 0x00, 0x00}).empty());
  head.clock().AdvanceMillis(kFrameGapMs + 1);
  EXPECT_EQ(head.Send({0x55, 0x8C}), (Bytes{0x8C, 0x73}));
  EXPECT_EQ(head.engine().Stats().discarded_partials, 1);
}

TEST(Images, PresenceWordsShootStatusAndNgTable) {
  EngineOptions options;
  options.ng_images = 5;
  HeadExchange head(options);
  HeadMemory& memory = head.engine().Head(0);
  memory.settings[192 * 7 + 5] = 0x8000;
  memory.settings[8138] = 0xFFFF;
  memory.settings[8139] = 0xFFFF;

  // Writing bank image 7 and memory image 17 marks them present where the tool looks.
  std::vector<std::uint16_t> block(128, 0xABCD);
  EXPECT_EQ(head.Send(Join(Command({0x1C, 0x00, 0x00, 16 + 14, 0x80, 0}), DataFrame(block))),
            (Bytes{0x06, 0x00, 0xF9}));
  EXPECT_EQ(head.Send(Join(Command({0x1C, 0x00, 0x00, 80 + 34, 0x80, 0}), DataFrame(block))),
            (Bytes{0x06, 0x00, 0xF9}));
  auto bank_word = head.Ask(Command({0x10, 384 * 7 + 10, (384 * 7 + 10) >> 8, 0, 1, 0}));
  ASSERT_EQ(bank_word.size(), 1u);
  EXPECT_EQ(bank_word[0].words[0] & 0x8000, 0);
  auto memory_words = head.Ask(Command({0x10, 0x94, 0x3F, 0x00, 2, 0}));
  ASSERT_EQ(memory_words.size(), 1u);
  EXPECT_EQ(memory_words[0].words, (std::vector<std::uint16_t>{0xFFFF, 0xFFFD}));

  auto shoot = head.Ask(Command({0x28, 0, 0, 0, 4, 0}));
  ASSERT_EQ(shoot.size(), 1u);
  EXPECT_EQ(shoot[0].count, 4);
  EXPECT_EQ(shoot[0].words[3], memory.shoot_status[3]);

  // The whole NG table in pieces of 18 words; five records before the ring position.
  std::vector<std::uint16_t> table;
  for (int offset = 0; offset < 270; offset += 18) {
    auto piece = head.Ask(Command({0xF9, offset & 0xFF, offset >> 8, 0, 18, 0}));
    ASSERT_EQ(piece.size(), 1u);
    ASSERT_TRUE(piece[0].well_formed);
    table.insert(table.end(), piece[0].words.begin(), piece[0].words.end());
  }
  const int ring = table[6] & 0xFF;
  int present = 0;
  for (int d = 0; d < 63; ++d) {
    const int record = ((ring - d - 1) % 63 + 63) % 63;
    if (table[7 + 4 * record + 3] != 0) {
      ++present;
      EXPECT_LT(d, 5) << "NG number " << d;
    }
  }
  EXPECT_EQ(present, 5);
}

TEST(Images, BlockReadsCoverEveryKindOfPicture) {
  HeadExchange head(Heads(2));
  const Engine& engine = head.engine();
  // Memory image 3 of the second head: unit 80 + 6, 32 replies from block 32.
  auto replies = head.Ask(Command({0x19, 0x00, 32, 86, 0x80, 31}));
  ASSERT_EQ(replies.size(), 32u);
  const RawImage& memory3 = engine.Head(1).Image(ImageKind::kMemory, 3);
  for (int l = 0; l < 32; ++l) {
    ASSERT_TRUE(replies[l].well_formed);
    ASSERT_EQ(replies[l].count, 128);
    for (int i = 0; i < 128; ++i) ASSERT_EQ(replies[l].words[i], memory3[(32 + l) * 128 + i]);
  }
  // Block 300 lies in the second unit of the picture: address unit 87, byte 300 * 256.
  auto late_block = head.Ask(Command({0x19, 0x00, 300 & 0xFF, (300 >> 8) + 86, 0x80, 0}));
  ASSERT_EQ(late_block.size(), 1u);
  EXPECT_EQ(late_block[0].words[5], memory3[300 * 128 + 5]);

  // Taken picture 2 at unit 4, addressed in words: block n at 128 * n.
  const RawImage& shoot2 = engine.Head(0).Image(ImageKind::kShoot, 2);
  auto shoot = head.Ask(Command({0x20, 0x80, 0x02, 4, 0x80, 0}));  // block 5
  ASSERT_EQ(shoot.size(), 1u);
  EXPECT_EQ(shoot[0].words[0], shoot2[5 * 128]);

  // NG number 0 is the newest record; NG reads ignore the head bits and use the first head.
  const RawImage& newest = engine.Head(0).Image(ImageKind::kNg, engine.Head(0).NgRecordOfNumber(0));
  auto ng = head.Ask(Command({0xF8, 0x00, 0x01, 2, 0x80, 0}));
  ASSERT_EQ(ng.size(), 1u);
  EXPECT_EQ(ng[0].words[127], newest[1 * 128 + 127]);

  // Different pictures really differ, so a mix-up of addresses shows.
  EXPECT_NE(engine.Head(0).Image(ImageKind::kBank, 0), engine.Head(0).Image(ImageKind::kBank, 1));
  EXPECT_NE(engine.Head(0).Image(ImageKind::kBank, 0), engine.Head(1).Image(ImageKind::kBank, 0));
}

TEST(Images, WholeImageWriteReadsBackAndPollSettles) {
  HeadExchange head;
  head.engine().Head(0).poll_busy_answers = {15, 15, 15};
  std::vector<std::uint16_t> picture(kImageWords);
  for (int i = 0; i < kImageWords; ++i) picture[i] = static_cast<std::uint16_t>(i * 7 + 3);
  const int unit = 80 + 2 * 2;  // memory image 2
  for (int n = 0; n < 512; ++n) {
    std::vector<std::uint16_t> block(picture.begin() + 128 * n, picture.begin() + 128 * n + 128);
    const Bytes command = Command({0x1C, 0, n & 0xFF, (n >> 8) + unit, 0x80, 0});
    ASSERT_EQ(head.Send(Join(command, DataFrame(block))), (Bytes{0x06, 0x00, 0xF9})) << n;
  }
  EXPECT_TRUE(head.engine().Head(0).IsImageStored(ImageKind::kMemory, 2));
  std::vector<std::uint16_t> back;
  for (int n = 0; n < 512; n += 32) {
    for (const auto& reply : head.Ask(Command({0x18, 0, n & 0xFF, (n >> 8) + unit, 0x80, 31}))) {
      back.insert(back.end(), reply.words.begin(), reply.words.end());
    }
  }
  EXPECT_EQ(back, picture);

  // Three busy answers, then idle; five words each time.
  std::vector<int> states;
  for (int i = 0; i < 5; ++i) {
    auto poll = head.Ask(Command({0x28, 0x12, 0, 0, 5, 0}));
    ASSERT_EQ(poll.size(), 1u);
    ASSERT_EQ(poll[0].count, 5);
    states.push_back(poll[0].words[0]);
  }
  EXPECT_EQ(states, (std::vector<int>{15, 15, 15, 0, 0}));
}

// Canvas position of pixel x of monitor line s, as the frame layout places it.
struct Spot {
  int row, col;
  bool used;
};
Spot CanvasSpot(int s, int x) {
  if (x < 480) return {s, x, true};
  const int r = (x - 480) >> 1;
  if ((x & 1) == 0) return {256 + r, s, true};
  return {256 + r, 256 + s, s < 224};
}

TEST(Monitor, FramesCarryTheWholeScreenAndReactToKeysAndClicks) {
  HeadExchange head;
  std::vector<std::uint16_t> canvas(480 * 272, 0);
  std::vector<int> hits(480 * 272, 0);
  for (int part = 0; part < 8; ++part) {
    const Bytes reply = head.Send({0x55, 0xC8, 0, 0, 0, static_cast<std::uint8_t>(part)});
    ASSERT_EQ(reply.size(), 32770u);
    EXPECT_EQ(reply[0], 0x55);
    EXPECT_EQ(reply[1], part);
    for (int l = 0; l < 32; ++l) {
      for (int x = 0; x < 512; ++x) {
        const Spot spot = CanvasSpot(32 * part + l, x);
        if (!spot.used) continue;
        const std::size_t at = 2 + 2 * static_cast<std::size_t>(l * 512 + x);
        canvas[spot.row * 480 + spot.col] =
            static_cast<std::uint16_t>(reply[at] << 8 | reply[at + 1]);
        ++hits[spot.row * 480 + spot.col];
      }
    }
  }
  const Screen& screen = head.engine().MonitorScreen();
  int wrong = 0;
  for (int y = 0; y < 272; ++y) {
    for (int x = 0; x < 480; ++x) {
      EXPECT_EQ(hits[y * 480 + x], 1);
      if (canvas[y * 480 + x] != screen.Pixel(x, y)) ++wrong;
    }
  }
  EXPECT_EQ(wrong, 0);
  // The white frame reaches the bottom rows and the right edge.
  EXPECT_EQ(canvas[271 * 480 + 479], PackColour(255, 255, 255));
  EXPECT_EQ(canvas[260 * 480 + 0], PackColour(255, 255, 255));

  // Time moves the marker; the up key steps the bank; a click is remembered.
  head.clock().AdvanceMillis(700);
  head.Send({0x55, 0xC8, 13, 0, 0, 0});
  head.Send({0x55, 0xC8, 0, 128, 120, 1});
  EXPECT_EQ(head.engine().MonitorState().bank, 1);
  EXPECT_EQ(head.engine().MonitorState().last_key, 13);
  // The click shows as a cross on the next frame.
  head.Send({0x55, 0xC8, 0, 0, 0, 0});
  const int cx = head.engine().MonitorState().click_x, cy = head.engine().MonitorState().click_y;
  EXPECT_NEAR(cx, 240, 2);
  EXPECT_NEAR(cy, 126, 2);
  EXPECT_EQ(screen.Pixel(cx, cy), PackColour(255, 0, 255));
  EXPECT_EQ(head.engine().MonitorState().frames, 3u);
  int changed = 0;
  for (int y = 0; y < 256; ++y)
    for (int x = 0; x < 480; ++x) changed += screen.Pixel(x, y) != canvas[y * 480 + x];
  EXPECT_GT(changed, 100);
  // A part number beyond 7 is not answered.
  EXPECT_TRUE(head.Send({0x55, 0xC8, 0, 0, 0, 8}).empty());
}

}  // namespace
}  // namespace kyr::headsim
