#pragma once
// Serial ports through termios: exclusive, 115200 baud, 8 data bits, no parity, one stop bit,
// raw. Reads wait up to per_byte * n + constant milliseconds for n bytes and return what
// arrived; writes give up after per_byte * n + constant milliseconds of waiting.
#include <cstdint>
#include <memory>
#include <string>

#include "link/byte_channel.h"
#include "link/platform.h"

namespace kyr::link {

struct SerialTimeouts {
  std::uint32_t read_per_byte_ms = 1000;
  std::uint32_t read_constant_ms = 1000;
  std::uint32_t write_per_byte_ms = 1;
  std::uint32_t write_constant_ms = 1;
};

// Opens `path` (a tty or a pseudo-terminal); null when it cannot be opened or is already held
// by another process through this function.
std::unique_ptr<ByteChannel> OpenSerialPort(const std::string& path,
                                            const SerialTimeouts& timeouts = {});

class PosixSerialPorts final : public SerialPorts {
 public:
  explicit PosixSerialPorts(SerialTimeouts timeouts = {}) : timeouts_(timeouts) {}
  std::unique_ptr<ByteChannel> Open(const std::string& path) override {
    return OpenSerialPort(path, timeouts_);
  }

 private:
  SerialTimeouts timeouts_;
};

}  // namespace kyr::link
