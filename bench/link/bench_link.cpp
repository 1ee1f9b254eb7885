// Cost of the framing layer itself: a 259-byte reply (128 words) taken from a channel that
// has it ready, and a command frame sent into one that takes everything.
#include <benchmark/benchmark.h>

#include <array>
#include <cstring>

#include "link/frames.h"
#include "link/link.h"

namespace kyr::link {
namespace {

constexpr std::size_t kWords = 128;

// Serves the same reply over and over, without allocating or copying more than asked.
class ReplayChannel final : public ByteChannel {
 public:
  ReplayChannel() {
    reply_[0] = kAck;
    reply_[1] = kWords;
    for (std::size_t i = 2; i < reply_.size() - 1; ++i) {
      reply_[i] = static_cast<std::uint8_t>(i * 31);
    }
    reply_.back() = Checksum(reply_.data(), reply_.size() - 1);
  }
  bool Write(const std::uint8_t*, std::size_t count, std::size_t& written) override {
    written = count;
    return true;
  }
  bool Read(std::uint8_t* data, std::size_t count, std::size_t& got) override {
    got = std::min(count, reply_.size() - position_);
    std::memcpy(data, reply_.data() + position_, got);
    position_ = (position_ + got) % reply_.size();
    return true;
  }
  std::size_t Drain(std::uint32_t, std::uint32_t) override { return 0; }
  void Close() override {}

 private:
  std::array<std::uint8_t, ReplySize(kWords)> reply_{};
  std::size_t position_ = 0;
};

void BM_ReceiveReply259(benchmark::State& state) {
  Link link{LinkEnvironment{}};
  link.Attach(std::make_unique<ReplayChannel>(), LinkMode::Usb);
  ReplyWords words{};
  for (auto _ : state) {
    if (!link.ReceiveReply(words).HasWords(static_cast<int>(kWords))) {
      state.SkipWithError("reply not accepted");
    }
    benchmark::DoNotOptimize(words.data());
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * ReplySize(kWords));
}
BENCHMARK(BM_ReceiveReply259);

void BM_SendReadCommand(benchmark::State& state) {
  Link link{LinkEnvironment{}};
  link.Attach(std::make_unique<ReplayChannel>(), LinkMode::Usb);
  const auto command = MakeCommand(0x10, 0x1F00, 128, 0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(link.SendFrame(command.data(), command.size()));
  }
}
BENCHMARK(BM_SendReadCommand);

void BM_SendDataFrame129(benchmark::State& state) {
  Link link{LinkEnvironment{}};
  link.Attach(std::make_unique<ReplayChannel>(), LinkMode::Usb);
  std::array<std::uint8_t, 128> data{};
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<std::uint8_t>(i);
  for (auto _ : state) {
    benchmark::DoNotOptimize(link.SendFrame(data.data(), data.size()));
  }
}
BENCHMARK(BM_SendDataFrame129);

}  // namespace
}  // namespace kyr::link
