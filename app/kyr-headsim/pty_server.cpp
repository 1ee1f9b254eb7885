#include "pty_server.h"

#include "headsim/usb_timing.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <utility>

namespace kyr::headsim {
namespace {

constexpr std::int64_t kIdleWaitMicros = 10000;
constexpr std::int64_t kSpinMicros = 100;
constexpr std::size_t kChunk = 4096;

// The terminal pair. The server keeps the tool's side open itself, so that the terminal
// lives on between the tool's sessions, and watches that side for opens and closes to
// tell where one session ends.
struct Pty {
  int master = -1;
  int slave = -1;
  int watch = -1;  // inotify descriptor
  std::string slave_name;
  int clients = 0;  // opens of the tool's side other than our own
};

void ClosePty(Pty& pty) {
  for (int* fd : {&pty.watch, &pty.slave, &pty.master}) {
    if (*fd >= 0) close(*fd);
    *fd = -1;
  }
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
  pty.slave = open(pty.slave_name.c_str(), O_RDWR | O_NOCTTY);
  pty.watch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (pty.slave < 0 || pty.watch < 0 ||
      inotify_add_watch(pty.watch, pty.slave_name.c_str(),
                        IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
    std::perror("kyr-headsim: pseudo-terminal");
    ClosePty(pty);
    return false;
  }
  termios tio{};
  if (tcgetattr(pty.slave, &tio) == 0) {
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tcsetattr(pty.slave, TCSANOW, &tio);
  }
  return true;
}

// A tool opens its port for exclusive use. On a terminal that outlives the tool's close
// that would lock out its next open, so the server lifts it as soon as it sees it.
void LiftExclusiveUse(const Pty& pty) {
  int exclusive = 0;
  if (ioctl(pty.slave, TIOCGEXCL, &exclusive) == 0 && exclusive != 0) {
    ioctl(pty.slave, TIOCNXCL);
  }
}

// Reads the open and close events of the tool's side; true when the last client closed.
bool SessionEnded(Pty& pty) {
  alignas(inotify_event) char buffer[4096];
  bool ended = false;
  for (;;) {
    const ssize_t n = read(pty.watch, buffer, sizeof buffer);
    if (n <= 0) break;
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      if (event->mask & IN_OPEN) ++pty.clients;
      if (event->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE)) {
        pty.clients = std::max(pty.clients - 1, 0);
        if (pty.clients == 0) ended = true;
      }
      at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
    }
  }
  return ended;
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

// Output pacing: the k-th byte of a run of output leaves no sooner than k byte times after
// the run started, with no credit saved up while idle. Every time counts from the start of
// the run, so that rounding never adds up.
class Pacer {
 public:
  explicit Pacer(long baud) : baud_(baud) {}
  bool enabled() const { return baud_ > 0; }
  void Idle(std::int64_t now) {
    start_ = now;
    sent_ = 0;
  }
  std::size_t Allowed(std::int64_t now) const {
    if (!enabled()) return kChunk;
    const std::int64_t carried = LineBytes(now - start_, baud_);
    return static_cast<std::size_t>(std::clamp<std::int64_t>(carried - sent_, 0, kChunk));
  }
  void Sent(std::size_t n) { sent_ += static_cast<std::int64_t>(n); }
  // When `more` bytes beyond those sent will have been carried.
  std::int64_t DueMicros(std::size_t more) const {
    return start_ + LineMicros(sent_ + static_cast<std::int64_t>(more), baud_);
  }

 private:
  std::int64_t baud_;
  std::int64_t start_ = 0;
  std::int64_t sent_ = 0;
};

// Bytes moved per wake-up on a paced line, about a millisecond's worth: a slow line is
// served in small batches rather than with a wake-up per byte. The last byte on its way
// is always handled at its own time, so batching never delays the end of a frame.
std::size_t BatchBytes(long baud) {
  return static_cast<std::size_t>(std::max<std::int64_t>(LineBytes(1000, baud), 1));
}

// Waits for the descriptors' events until `wait_micros` have passed; false on failure.
bool WaitMicros(pollfd* fds, nfds_t count, std::int64_t wait_micros) {
  const std::int64_t wait = std::max<std::int64_t>(wait_micros, 0);
  const timespec timeout{static_cast<time_t>(wait / 1000000),
                         static_cast<long>(wait % 1000000) * 1000};
  return ppoll(fds, count, &timeout, nullptr) >= 0 || errno == EINTR;
}

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
  // The head takes in bytes as fast as the line carries them, not as fast as the tool
  // writes them, so that a write is paced like a read.
  LinePacer line_in(options.baud);
  const std::size_t batch = BatchBytes(options.baud);
  if (options.baud > 0) {
    // Wake-ups on time to the microsecond: the default slack of 50 us a wait would
    // lengthen every exchange on the line.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
  }
  std::array<std::uint8_t, kChunk> in{};
  std::array<std::uint8_t, kChunk> pending{};
  std::size_t pending_len = 0, pending_pos = 0;
  bool output_idle = true;  // nothing sent since the head last had nothing to send
  int result = 0;

  while (!stop.load()) {
    const std::int64_t now = clock.NowMicros();
    bool fed = false;
    for (std::size_t n; (n = line_in.Take(now, in.data(), in.size())) > 0; fed = true)
      engine.Feed(in.data(), n);
    if (pending_pos == pending_len) {
      pending_pos = pending_len = 0;
      if (engine.Ready() == 0) {
        pacer.Idle(now);
        output_idle = true;
      } else if (std::exchange(output_idle, false)) {
        // A reply to a frame starts on the line when the frame's last byte is in, however
        // late this loop got round to it; other output (a held-back reply) from now.
        pacer.Idle(fed ? line_in.LastTakenArrival() : now);
      }
      // Whole batches, or the rest of the output, each written once its last byte is due.
      const std::size_t due = pacer.Allowed(now);
      if (due >= std::min(engine.Ready(), batch)) {
        pending_len = engine.Take(pending.data(), std::min(due, kChunk));
      }
    }
    std::int64_t wake = now + kIdleWaitMicros;
    const auto no_later_than = [&wake](std::int64_t at) { wake = std::min(wake, at); };
    if (const auto arrival = line_in.ArrivalOf(batch)) no_later_than(*arrival);
    if (const auto release = engine.NextReleaseMicros()) no_later_than(*release);
    std::optional<std::int64_t> output_end;  // when the last bytes of the output are due
    if (pending_len == 0 && engine.Ready() > 0) {
      const std::size_t next = std::min(engine.Ready(), batch);
      no_later_than(pacer.enabled() ? pacer.DueMicros(next) : now);
      if (pacer.enabled() && next == engine.Ready()) output_end = pacer.DueMicros(next);
    }
    // The tool waits for the end of a reply, so that goes out on time to the microsecond: a
    // timer wakes some tens of microseconds late, and the last stretch is waited out busily.
    const bool spin = output_end && *output_end == wake;
    if (spin && wake - now <= kSpinMicros) {
      while (clock.NowMicros() < wake) {
      }
      continue;
    }
    pollfd fds[2] = {
        {pty.master, static_cast<short>(POLLIN | (pending_pos < pending_len ? POLLOUT : 0)), 0},
        {pty.watch, POLLIN, 0}};
    if (!WaitMicros(fds, 2, wake - now - (spin ? kSpinMicros : 0))) {
      std::perror("kyr-headsim: poll");
      result = 1;
      break;
    }
    LiftExclusiveUse(pty);
    if ((fds[1].revents & POLLIN) && SessionEnded(pty)) {
      // What the last tool left unread or unsent must not reach the next one; what the
      // next one may already have sent stays on our side of the line.
      tcflush(pty.slave, TCIFLUSH);
      line_in.Clear();
      engine.ResetLine();
      if (engine.IsLinkDropped()) engine.Reconnect();
      pending_pos = pending_len = 0;
    }
    if (fds[0].revents & POLLIN) {
      const ssize_t n = read(pty.master, in.data(), in.size());
      if (n > 0) line_in.Put(in.data(), static_cast<std::size_t>(n), clock.NowMicros());
    }
    if (pending_pos < pending_len && (fds[0].revents & POLLOUT)) {
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
