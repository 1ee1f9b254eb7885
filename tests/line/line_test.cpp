// A line's units: their names, work on all of them at once, and the one display of them.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <sstream>
#include <stdexcept>
#include <thread>

#include "line/progress_board.h"
#include "line/runner.h"
#include "line/units.h"

namespace kyr::line {
namespace {

TEST(UnitName, IsOneFolderNameWhateverThePort) {
  const struct {
    Unit unit;
    std::string name;
  } cases[] = {
      {{"USB", "KYRD0001"}, "KYRD0001"},
      {{"COM3", ""}, "ttyS2"},  // the same unit as /dev/ttyS2
      {{"/dev/ttyS2", ""}, "ttyS2"},
      {{"/run/line 3/unit7/", ""}, "unit7"},
      {{"/run/line3/unit 7", ""}, "unit_7"},
      {{"/tmp/..", ""}, "_"},
      {{"usb", "../etc"}, ".._etc"},  // never a path out of the line's folder
  };
  for (const auto& c : cases) EXPECT_EQ(UnitName(c.unit), c.name) << c.unit.port;
}

// Every unit runs at the same time as the others (each waits until all have started), and
// one that fails or throws leaves the others' results alone.
TEST(RunOnUnits, EveryUnitAtOnceAndAFailureStopsNoOther) {
  constexpr std::size_t kUnits = 4;
  std::atomic<std::size_t> started{0};
  const auto results = RunOnUnits(kUnits, [&](std::size_t i, std::string& problem) {
    ++started;
    const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (started < kUnits && std::chrono::steady_clock::now() < give_up)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    if (started < kUnits) throw std::runtime_error("ran alone");
    if (i == 1) problem = "no answer";
    if (i == 2) throw std::runtime_error("broken");
    return i != 1;
  });
  ASSERT_EQ(results.size(), kUnits);
  const std::pair<bool, std::string> expected[] = {
      {true, ""}, {false, "no answer"}, {false, "broken"}, {true, ""}};
  for (std::size_t i = 0; i < kUnits; ++i) {
    EXPECT_EQ(results[i].done, expected[i].first) << i;
    EXPECT_EQ(results[i].problem, expected[i].second) << i;
  }
}

// What the display writes: on a terminal the lines are redrawn in place (cut to the width,
// wide characters counted twice) and a message stands above them; elsewhere a line at each
// tenth of a unit's way.
TEST(ProgressBoard, DrawsInPlaceOrAsLines) {
  const auto run = [](BoardMode mode) {
    std::ostringstream out;
    {
      ProgressBoard board(out, {"u1", "unit2"}, mode, 16);
      board.Update(0, 0.05, "5%");
      board.Update(0, 0.09, "9%");
      board.Update(1, 0.5, "半分まで来ました");
      board.Pass([&] { out << "message\n"; });
      board.Finish(0, "done");
    }
    return out.str();
  };
  EXPECT_EQ(run(BoardMode::kLines), "progress u1: 5%\nprogress unit2: 半分まで来ました\nmessage\n");
  EXPECT_EQ(run(BoardMode::kOff), "message\n");
  const std::string in_place = run(BoardMode::kInPlace);
  const std::string first = "u1     5%\x1b[K\nunit2  \x1b[K\n";
  ASSERT_TRUE(in_place.starts_with(first)) << in_place;
  const std::string end =
      "\x1b[2A\r\x1b[Jmessage\nu1     9%\x1b[K\nunit2  半分まで\x1b[K\n"
      "\x1b[2A\ru1     done\x1b[K\nunit2  半分まで\x1b[K\n"
      "\x1b[2A\ru1     done\x1b[K\nunit2  半分まで\x1b[K\n";
  EXPECT_TRUE(in_place.ends_with(end)) << in_place;
}

}  // namespace
}  // namespace kyr::line
