#pragma once
// The far end of a pseudo-terminal, standing in for a head on a serial cable.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

namespace kyr::link::testing {

class Pty {
 public:
  using Bytes = std::vector<std::uint8_t>;

  Pty() {
    master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) return;
    path = ::ptsname(master);
    // Keep the terminal alive between opens by the link, as a serving program does.
    keeper = ::open(path.c_str(), O_RDWR | O_NOCTTY);
  }
  ~Pty() { HangUp(); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  void Send(const Bytes& bytes) const {
    ASSERT_EQ(::write(master, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
  }
  Bytes Receive(std::size_t count, int timeout_ms = 500) const {
    Bytes got;
    pollfd entry{master, POLLIN, 0};
    while (got.size() < count && ::poll(&entry, 1, timeout_ms) == 1) {
      std::uint8_t buffer[256];
      const ssize_t n = ::read(master, buffer, sizeof buffer);
      if (n <= 0) break;
      got.insert(got.end(), buffer, buffer + n);
    }
    return got;
  }
  // The far end goes away: both of its descriptors close.
  void HangUp() {
    if (keeper >= 0) ::close(keeper);
    if (master >= 0) ::close(master);
    keeper = master = -1;
  }

  int master = -1;
  int keeper = -1;
  std::string path;
};

}  // namespace kyr::link::testing
