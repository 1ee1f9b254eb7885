// The link trace of a settings read in which one block's reply comes back damaged: the
// request, the damaged reply with its result, and the repeated request are all there.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "link/trace.h"
#include "transfer_rig.h"

namespace kyr::transfer {
namespace {

// The trace lines that name `block`, in order.
std::vector<std::string> LinesOfBlock(const std::string& trace, int block) {
  const std::string tag = "  block " + std::to_string(block);
  std::vector<std::string> lines;
  std::istringstream in(trace);
  for (std::string line; std::getline(in, line);) {
    const auto at = line.find(tag);
    if (at == std::string::npos) continue;
    const auto after = at + tag.size();
    if (after == line.size() || line[after] == ' ') lines.push_back(line);
  }
  return lines;
}

bool Has(const std::string& line, const std::string& text) {
  return line.find(text) != std::string::npos;
}

TEST(LinkTrace, ShowsTheDamagedReplyAndTheRepeatedRequestOfOneBlock) {
  std::ostringstream out;
  {
    link::TraceLog trace(out);
    testing::Rig rig(0x0301, 1, &trace);
    rig.AddFault(headsim::FaultKind::kBadChecksum, 0x10, 5);
    ASSERT_EQ(ReadAllSettingsTo(rig.ctx, rig.File("s.kdta")), Outcome::kDone);
  }
  const std::vector<std::string> lines = LinesOfBlock(out.str(), 5);
  ASSERT_EQ(lines.size(), 4u) << out.str();
  // Read 128 words of block 5, its checksum; the head's reply to it starts with ACK, 128.
  const std::string request = "->  10 00 05 00 80 00 6A";
  EXPECT_TRUE(Has(lines[0], request)) << lines[0];
  EXPECT_TRUE(Has(lines[1], "<-  06 80 ") && Has(lines[1], "bad checksum")) << lines[1];
  EXPECT_TRUE(Has(lines[2], request)) << lines[2];
  EXPECT_TRUE(Has(lines[3], "<-  06 80 ") && Has(lines[3], "128 words")) << lines[3];
  // Every line starts with the time in milliseconds on the link's clock.
  for (const std::string& line : lines) EXPECT_TRUE(Has(line.substr(0, 12), " ms")) << line;
}

}  // namespace
}  // namespace kyr::transfer
