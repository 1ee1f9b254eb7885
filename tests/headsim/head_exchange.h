#pragma once
// Talking to an in-process simulated head the way a tool would, with the test's own
// framing so that the engine is checked against the wire format, not against itself.
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "headsim/clock.h"
#include "headsim/engine.h"

namespace kyr::headsim::testing {

using Bytes = std::vector<std::uint8_t>;

// Six command bytes and the checksum that makes the frame sum 0xFF.
inline Bytes Command(std::initializer_list<int> six) {
  Bytes frame;
  unsigned sum = 0;
  for (int b : six) {
    frame.push_back(static_cast<std::uint8_t>(b & 0xFF));  // callers may pass wider values
    sum += static_cast<unsigned>(b & 0xFF);
  }
  frame.push_back(static_cast<std::uint8_t>(0xFF - (sum & 0xFF)));
  return frame;
}

inline Bytes DataFrame(const std::vector<std::uint16_t>& words) {
  Bytes frame;
  unsigned sum = 0;
  for (std::uint16_t w : words) {
    frame.push_back(static_cast<std::uint8_t>(w & 0xFF));
    frame.push_back(static_cast<std::uint8_t>(w >> 8));
    sum += (w & 0xFFu) + (w >> 8);
  }
  frame.push_back(static_cast<std::uint8_t>(0xFF - (sum & 0xFF)));
  return frame;
}

inline Bytes Join(Bytes a, const Bytes& b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

struct Reply {
  bool well_formed = false;  // header 0x06, length as announced, sum 0xFF
  int count = -1;
  std::vector<std::uint16_t> words;
};

// Splits `bytes` into consecutive replies; stops at the first that does not fit.
inline std::vector<Reply> ParseReplies(const Bytes& bytes) {
  std::vector<Reply> replies;
  std::size_t pos = 0;
  while (pos + 2 <= bytes.size()) {
    Reply reply;
    reply.count = bytes[pos + 1];
    const std::size_t length = 2u * static_cast<std::size_t>(reply.count) + 3;
    if (pos + length > bytes.size()) break;
    unsigned sum = 0;
    for (std::size_t i = 0; i < length; ++i) sum += bytes[pos + i];
    reply.well_formed = bytes[pos] == 0x06 && (sum & 0xFF) == 0xFF;
    for (int i = 0; i < reply.count; ++i) {
      reply.words.push_back(
          static_cast<std::uint16_t>(bytes[pos + 2 + 2 * i] | (bytes[pos + 3 + 2 * i] << 8)));
    }
    replies.push_back(reply);
    pos += length;
  }
  return replies;
}

class HeadExchange {
 public:
  explicit HeadExchange(EngineOptions options = {}) : engine_(options, clock_) {}

  // Sends `bytes` and collects what the head sends back at once.
  Bytes Send(const Bytes& bytes) {
    engine_.Feed(bytes.data(), bytes.size());
    return Collect();
  }
  Bytes Collect() {
    Bytes out(engine_.Ready());
    out.resize(engine_.Take(out.data(), out.size()));
    return out;
  }
  std::vector<Reply> Ask(const Bytes& bytes) { return ParseReplies(Send(bytes)); }

  Engine& engine() { return engine_; }
  ManualClock& clock() { return clock_; }

 private:
  ManualClock clock_;
  Engine engine_;
};

}  // namespace kyr::headsim::testing
