#include "pty_server.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace kyr::headsim {
namespace {

constexpr int kIdlePollMs = 10;
constexpr std::size_t kChunk = 4096;
constexpr int kBitsPerByte = 10;  // start bit, 8 data bits, stop bit

struct Pty {
  int master = -1;
  std::string slave_name;
};

void ClosePty(Pty& pty) {
  if (pty.master >= 0) close(pty.master);
  pty.master = -1;
}

// A raw terminal from the start, so nothing is echoed or translated before the tool sets
// its own line settings.
bool OpenPty(Pty& pty) {
  pty.master = posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK);
  if (pty.master < 0 || grantpt(pty.master) != 0 || unlockpt(pty.master) != 0) {
    std::perror("kyr-headsim: pseudo-terminal");
    ClosePty(pty);
    return false;
  }
  pty.slave_name = ptsname(pty.master);
  const int slave = open(pty.slave_name.c_str(), O_RDWR | O_NOCTTY);
  if (slave >= 0) {
    termios tio{};
    if (tcgetattr(slave, &tio) == 0) {
      cfmakeraw(&tio);
      cfsetispeed(&tio, B115200);
      cfsetospeed(&tio, B115200);
      tcsetattr(slave, TCSANOW, &tio);
    }
    close(slave);
  }
  return true;
}

// Points `link` at `target` atomically; refuses to replace anything but a symbolic link.
bool PointLink(const std::string& link, const std::string& target) {
  struct stat st {};
  if (lstat(link.c_str(), &st) == 0 && !S_ISLNK(st.st_mode)) {
    std::fprintf(stderr, "kyr-headsim: %s exists and is not a symbolic link\n", link.c_str());
    return false;
  }
  const std::string temp = link + ".new" + std::to_string(getpid());
  unlink(temp.c_str());
  if (symlink(target.c_str(), temp.c_str()) != 0 || rename(temp.c_str(), link.c_str()) != 0) {
    std::fprintf(stderr, "kyr-headsim: cannot make the link %s: %s\n", link.c_str(),
                 std::strerror(errno));
    unlink(temp.c_str());
    return false;
  }
  return true;
}

void RemoveLinkIfOurs(const std::string& link, const std::string& target) {
  std::array<char, 4096> buffer{};
  const ssize_t n = readlink(link.c_str(), buffer.data(), buffer.size() - 1);
  if (n > 0 && target == std::string(buffer.data(), static_cast<std::size_t>(n))) {
    unlink(link.c_str());
  }
}

// Output pacing: at most baud / 10 bytes per second, with no credit saved up while idle.
class Pacer {
 public:
  explicit Pacer(long baud) : bytes_per_second_(baud / kBitsPerByte) {}
  bool enabled() const { return bytes_per_second_ > 0; }
  void Idle(std::int64_t now) {
    start_ = now;
    sent_ = 0;
  }
  std::size_t Allowed(std::int64_t now) const {
    if (!enabled()) return kChunk;
    const std::int64_t due = (now - start_) * bytes_per_second_ / 1000000 - sent_;
    return static_cast<std::size_t>(std::clamp<std::int64_t>(due, 0, kChunk));
  }
  void Sent(std::size_t n) { sent_ += static_cast<std::int64_t>(n); }
  // Micros until one more byte may go.
  std::int64_t WaitMicros(std::int64_t now) const {
    const std::int64_t next = start_ + (sent_ + 1) * 1000000 / bytes_per_second_;
    return std::max<std::int64_t>(next - now, 0);
  }

 private:
  std::int64_t bytes_per_second_;
  std::int64_t start_ = 0;
  std::int64_t sent_ = 0;
};

}  // namespace

int ServeOnPty(Engine& engine, const Clock& clock, const PtyServerOptions& options,
               const std::atomic<bool>& stop) {
  Pty pty;
  if (!OpenPty(pty)) return 1;
  if (!PointLink(options.link_path, pty.slave_name)) {
    ClosePty(pty);
    return 1;
  }
  std::printf("kyr-headsim: %d head(s) on %s (%s)\n", engine.head_count(),
              options.link_path.c_str(), pty.slave_name.c_str());
  std::fflush(stdout);

  Pacer pacer(options.baud);
  std::array<std::uint8_t, kChunk> in{};
  std::array<std::uint8_t, kChunk> pending{};
  std::size_t pending_len = 0, pending_pos = 0;
  bool client_seen = false;
  int result = 0;

  while (!stop.load()) {
    std::int64_t now = clock.NowMicros();
    if (pending_pos == pending_len) {
      pending_pos = pending_len = 0;
      if (engine.Ready() == 0) pacer.Idle(now);
      pending_len = engine.Take(pending.data(), std::min(pacer.Allowed(now), kChunk));
    }
    int timeout_ms = kIdlePollMs;
    if (const auto release = engine.NextReleaseMicros()) {
      timeout_ms =
          static_cast<int>(std::clamp<std::int64_t>((*release - now) / 1000, 0, timeout_ms));
    }
    if (pending_len == 0 && engine.Ready() > 0 && pacer.enabled()) {
      // Whole milliseconds, so that a slow line sends small batches instead of spinning.
      timeout_ms = static_cast<int>(
          std::min<std::int64_t>((pacer.WaitMicros(now) + 999) / 1000, timeout_ms));
    }
    pollfd fd{pty.master, static_cast<short>(POLLIN | (pending_pos < pending_len ? POLLOUT : 0)),
              0};
    if (poll(&fd, 1, timeout_ms) < 0 && errno != EINTR) {
      std::perror("kyr-headsim: poll");
      result = 1;
      break;
    }
    if (fd.revents & POLLHUP) {
      if (!client_seen) {  // nobody has the terminal open yet
        usleep(kIdlePollMs * 1000);
        continue;
      }
      // The tool closed the line: start the next session on a fresh terminal.
      ClosePty(pty);
      engine.ResetLine();
      if (engine.IsLinkDropped()) engine.Reconnect();
      pending_pos = pending_len = 0;
      client_seen = false;
      if (!OpenPty(pty) || !PointLink(options.link_path, pty.slave_name)) {
        result = 1;
        break;
      }
      continue;
    }
    client_seen = true;
    if (fd.revents & POLLIN) {
      const ssize_t n = read(pty.master, in.data(), in.size());
      if (n > 0) engine.Feed(in.data(), static_cast<std::size_t>(n));
    }
    if (pending_pos < pending_len && (fd.revents & POLLOUT)) {
      const ssize_t n = write(pty.master, pending.data() + pending_pos, pending_len - pending_pos);
      if (n > 0) {
        pending_pos += static_cast<std::size_t>(n);
        pacer.Sent(static_cast<std::size_t>(n));
      }
    }
  }
  RemoveLinkIfOurs(options.link_path, pty.slave_name);
  ClosePty(pty);
  return result;
}

}  // namespace kyr::headsim
