#include "link/posix/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <chrono>

namespace kyr::link {

namespace {

using SteadyClock = std::chrono::steady_clock;

int MillisecondsUntil(SteadyClock::time_point deadline) {
  const auto left =
      std::chrono::duration_cast<std::chrono::milliseconds>(deadline - SteadyClock::now());
  return left.count() > 0 ? static_cast<int>(left.count()) : 0;
}

SteadyClock::time_point DeadlineAfter(std::uint64_t milliseconds) {
  return SteadyClock::now() + std::chrono::milliseconds(milliseconds);
}

// Waits for `events` on `fd`; 1 ready, 0 timed out, -1 the line failed or hung up. A long
// wait is taken in slices, and after each slice or signal `keep_waiting` may end it early
// (as a time-out).
template <class KeepWaiting>
int WaitFor(int fd, short events, int timeout_ms, int slice_ms, KeepWaiting&& keep_waiting) {
  pollfd entry{fd, events, 0};
  const auto deadline = SteadyClock::now() + std::chrono::milliseconds(timeout_ms);
  for (;;) {
    const int left = MillisecondsUntil(deadline);
    const int ready = ::poll(&entry, 1, std::min(left, slice_ms));
    if (ready < 0 && errno != EINTR) return -1;
    if (ready > 0) return (entry.revents & events) ? 1 : -1;  // POLLERR, POLLHUP, POLLNVAL
    if (left <= slice_ms && ready == 0) return 0;
    if (!keep_waiting()) return 0;
  }
}

bool TryAgain() {
  return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
}

// 115200 8N1 in raw mode on top of the port's present state. Hardware flow control stays as
// the system has it; software flow control is switched off because the protocol is binary.
void ApplyLineSettings(int fd, const termios& current) {
  termios settings = current;
  ::cfmakeraw(&settings);
  settings.c_iflag &= static_cast<tcflag_t>(~(IXON | IXOFF | IXANY));
  settings.c_cflag &= static_cast<tcflag_t>(~(CSIZE | PARENB | CSTOPB));
  settings.c_cflag |= CS8 | CREAD | CLOCAL;
  settings.c_cc[VMIN] = 0;
  settings.c_cc[VTIME] = 0;
  ::cfsetispeed(&settings, B115200);
  ::cfsetospeed(&settings, B115200);
  ::tcsetattr(fd, TCSANOW, &settings);  // a port that refuses a setting is used as it is
}

class SerialChannel final : public ByteChannel {
 public:
  SerialChannel(int fd, const SerialTimeouts& timeouts) : fd_(fd), timeouts_(timeouts) {}
  ~SerialChannel() override { Close(); }

  bool Write(const std::uint8_t* data, std::size_t count, std::size_t& written) override {
    written = 0;
    if (fd_ < 0) return false;
    const auto deadline = DeadlineAfter(std::uint64_t{timeouts_.write_per_byte_ms} * count +
                                        timeouts_.write_constant_ms);
    while (written < count) {
      const ssize_t done = ::write(fd_, data + written, count - written);
      if (done > 0) {
        written += static_cast<std::size_t>(done);
        continue;
      }
      if (done < 0 && !TryAgain()) return false;
      const int ready = Wait(POLLOUT, MillisecondsUntil(deadline));
      if (ready < 0) return false;
      if (ready == 0) break;  // time-out: report the short count
    }
    return true;
  }

  bool Read(std::uint8_t* data, std::size_t count, std::size_t& got) override {
    got = 0;
    if (fd_ < 0) return false;
    const auto deadline = DeadlineAfter(std::uint64_t{timeouts_.read_per_byte_ms} * count +
                                        timeouts_.read_constant_ms);
    while (got < count) {
      const int ready = Wait(POLLIN, MillisecondsUntil(deadline));
      if (ready < 0) return false;
      if (ready == 0) break;  // time-out: report the short count
      const ssize_t done = ::read(fd_, data + got, count - got);
      if (done > 0) {
        got += static_cast<std::size_t>(done);
      } else if (done == 0 || !TryAgain()) {
        return false;  // readable but nothing to read: the line hung up
      }
    }
    return true;
  }

  std::size_t Drain(std::uint32_t quiet_ms, std::uint32_t limit_ms) override {
    if (fd_ < 0) return 0;
    std::array<std::uint8_t, 256> scratch{};
    std::size_t discarded = 0;
    const auto limit = DeadlineAfter(limit_ms);
    for (;;) {
      // A quiet time of 0 takes what has arrived without waiting for more.
      const int wait = std::min(static_cast<int>(quiet_ms), MillisecondsUntil(limit));
      if ((wait <= 0 && quiet_ms > 0) || Wait(POLLIN, std::max(wait, 0)) != 1) break;
      const ssize_t done = ::read(fd_, scratch.data(), scratch.size());
      if (done > 0) {
        discarded += static_cast<std::size_t>(done);
      } else if (done == 0 || !TryAgain()) {
        break;
      }
    }
    return discarded;
  }

  void Close() override {
    if (fd_ < 0) return;
    // The exclusive mode belongs to the terminal, not to this descriptor: it would outlive us
    // while another process (a simulated head) keeps the terminal open, and the next open of
    // the port would fail.
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_);  // also drops the lock
    fd_ = -1;
  }

 private:
  int Wait(short events, int timeout_ms) {
    return WaitFor(fd_, events, timeout_ms, static_cast<int>(kWaitSliceMs),
                   [this] { return KeepWaiting(); });
  }

  int fd_;
  SerialTimeouts timeouts_;
};

}  // namespace

std::unique_ptr<ByteChannel> OpenSerialPort(const std::string& path,
                                            const SerialTimeouts& timeouts) {
  const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  termios current{};
  // Not a terminal (a plain file, a directory): no serial port to talk to. Another holder of
  // the port (through this function or any program using flock) means the port is busy.
  if (::tcgetattr(fd, &current) != 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    const int reason = errno;  // kept for the caller's failure message
    ::close(fd);
    errno = reason;
    return nullptr;
  }
  ::ioctl(fd, TIOCEXCL);  // later opens by others fail with EBUSY
  ApplyLineSettings(fd, current);
  // Bytes left in the driver from before the open answer nothing we are going to ask.
  ::tcflush(fd, TCIFLUSH);
  return std::make_unique<SerialChannel>(fd, timeouts);
}

}  // namespace kyr::link
