#include "settings/settings_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "files/atomic_file.h"
#include "files/regular_file.h"
#include "strings/text_ids.h"

namespace kyr::settings {
namespace {

constexpr int kEditorLineChars = 89;  // a 90-byte buffer less its terminator
constexpr int kToolLineChars = 99;    // a 100-byte buffer less its terminator

// Each line consumes at most its buffer's characters, and each of those at most two bytes
// of the file (CR LF reads as one line end), so no reader needs more than this.
constexpr std::size_t kMostBytesNeeded = 2u * kFileLines * (kToolLineChars + 1);

bool IsSpace(char c) {
  return c == ' ' || (c >= '\t' && c <= '\r');
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Hands out lines as a text-mode line reader with a fixed buffer does: CR LF becomes one
// line end, and a line longer than the buffer continues as the next line.
class LineReader {
 public:
  explicit LineReader(std::string_view text) : text_(text) {}

  // The next line (line end included) or false at the end of the text.
  bool Next(int max_chars, std::string_view& line) {
    buffer_.clear();
    while (static_cast<int>(buffer_.size()) < max_chars && pos_ < text_.size()) {
      char c = text_[pos_++];
      if (c == '\r' && pos_ < text_.size() && text_[pos_] == '\n') c = text_[pos_++];
      buffer_.push_back(c);
      if (c == '\n') break;
    }
    line = buffer_;
    return !buffer_.empty();
  }

 private:
  std::string_view text_;
  std::size_t pos_ = 0;
  std::string buffer_;
};

void ParseLine(std::string_view line, SettingsImage& image, int line_number) {
  for (int j = 0; j < kWordsPerLine; ++j) {
    const std::size_t column = static_cast<std::size_t>(kFieldWidth * j);
    // A field beyond the end of a short line reads as 0.
    const std::uint16_t word = column < line.size() ? ParseHexField(line.substr(column)) : 0;
    image[static_cast<std::size_t>(kWordsPerLine * line_number + j)] = word;
  }
}

// What some editors write at the start of a UTF-8 text file; it is no part of the settings.
constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Reads up to `limit` bytes of a file after a byte-order mark, if any; false when it is not
// a regular file or cannot be read.
bool ReadFilePrefix(const std::string& path, std::size_t limit, std::string& out) {
  files::OpenProblem problem{};
  const int fd = files::OpenRegularFile(path, problem);
  if (fd < 0) return false;
  limit += kByteOrderMark.size();
  out.resize(limit);
  std::size_t used = 0;
  bool ok = true;
  while (used < limit) {
    const ssize_t got = ::read(fd, out.data() + used, limit - used);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) ok = false;
    if (got <= 0) break;
    used += static_cast<std::size_t>(got);
  }
  ::close(fd);
  out.resize(used);
  if (out.starts_with(kByteOrderMark)) {
    out.erase(0, kByteOrderMark.size());
  } else if (out.size() > limit - kByteOrderMark.size()) {
    out.resize(limit - kByteOrderMark.size());
  }
  return ok;
}

constexpr char kHex[] = "0123456789ABCDEF";

std::string Format(const SettingsImage& image) {
  std::string out;
  out.reserve(kFileBytes);
  for (int line = 0; line < kFileLines; ++line) {
    for (int j = 0; j < kWordsPerLine; ++j) {
      const unsigned word = image[static_cast<std::size_t>(kWordsPerLine * line + j)];
      for (const int shift : {12, 8, 4, 0}) out += kHex[(word >> shift) & 0xF];
      out += ' ';
    }
    out += "\r\n";
  }
  return out;
}

}  // namespace

std::uint16_t ParseHexField(std::string_view text) {
  std::size_t i = 0;
  const auto at = [&](std::size_t k) { return k < text.size() ? text[k] : '\0'; };
  while (IsSpace(at(i))) ++i;
  bool negative = false;
  if (at(i) == '+' || at(i) == '-') negative = at(i++) == '-';
  if (at(i) == '0' && (at(i + 1) == 'x' || at(i + 1) == 'X') && HexDigit(at(i + 2)) >= 0) i += 2;
  std::uint64_t value = 0;
  bool overflow = false;
  for (int digit; (digit = HexDigit(at(i))) >= 0; ++i) {
    value = value * 16 + static_cast<unsigned>(digit);
    if (value > 0xFFFFFFFFu) {
      overflow = true;
      value = 0xFFFFFFFFu;
    }
  }
  if (overflow) return 0xFFFF;
  const auto value32 = static_cast<std::uint32_t>(value);
  return static_cast<std::uint16_t>(negative ? 0u - value32 : value32);
}

ReadResult ParseSettingsText(std::string_view text, SettingsImage& image) {
  SettingsImage read{};
  LineReader reader(text);
  std::string_view line;
  for (int n = 0; n < kFileLines; ++n) {
    if (!reader.Next(kEditorLineChars, line)) return ReadResult::kShortFile;
    ParseLine(line, read, n);
  }
  image = read;
  return ReadResult::kComplete;
}

ReadResult ReadSettingsFile(const std::string& path, SettingsImage& image) {
  std::string text;
  if (!ReadFilePrefix(path, kMostBytesNeeded, text)) return ReadResult::kOpenFailed;
  return ParseSettingsText(text, image);
}

int ParseToolSettingsText(std::string_view text, SettingsImage& image) {
  image.fill(0);
  LineReader reader(text);
  std::string_view line;
  int n = 0;
  for (; n < kFileLines && reader.Next(kToolLineChars, line); ++n) ParseLine(line, image, n);
  return n;
}

int ReadToolSettingsFile(const std::string& path, SettingsImage& image,
                         int& first_incomplete_line) {
  std::string text;
  first_incomplete_line = -1;
  if (!ReadFilePrefix(path, kMostBytesNeeded, text)) return -1;
  first_incomplete_line = FirstIncompleteToolLine(text);
  return ParseToolSettingsText(text, image);
}

int FirstIncompleteToolLine(std::string_view text) {
  LineReader reader(text);
  std::string_view line;
  for (int n = 0; n < kFileLines; ++n) {
    if (!reader.Next(kToolLineChars, line)) return n;
    if (line.ends_with('\n')) line.remove_suffix(1);
    if (static_cast<int>(line.size()) < kMinToolLineChars) return n;
  }
  return -1;
}

std::string FormatSettingsText(const SettingsImage& image, const CommentTexts& comments) {
  return Format(WithComments(image, comments));
}

std::string FormatSettingsText(const SettingsImage& image) {
  return Format(image);
}

std::string_view ReadResultName(ReadResult result) {
  switch (result) {
    case ReadResult::kComplete:
      return "complete";
    case ReadResult::kCancelled:
      return "cancelled";
    case ReadResult::kOpenFailed:
      return "open failed";
    case ReadResult::kShortFile:
      return "short file";
  }
  return "?";
}

std::string_view WriteResultName(WriteResult result) {
  switch (result) {
    case WriteResult::kWritten:
      return "written";
    case WriteResult::kCannotCreate:
      return "cannot create";
    case WriteResult::kDanglingLink:
      return "dangling link";
    case WriteResult::kNotRegular:
      return "not regular";
  }
  return "?";
}

EditorText WriteProblemText(WriteResult result) {
  switch (result) {
    case WriteResult::kWritten:
      return EditorText{};
    case WriteResult::kCannotCreate:
      return EditorText::kFailToCreate;
    case WriteResult::kDanglingLink:
      return EditorText::kDanglingLink;
    case WriteResult::kNotRegular:
      return EditorText::kNotRegularFile;
  }
  return EditorText::kFailToCreate;
}

WriteResult WriteSettingsFile(const std::string& path, const SettingsImage& image,
                              const CommentTexts& comments) {
  return WriteCheckedFile(path, FormatSettingsText(image, comments));
}

WriteResult WriteCheckedFile(const std::string& path, std::string_view content) {
  switch (files::CheckWriteTarget(path)) {
    case files::WriteTarget::kDanglingLink:
      return WriteResult::kDanglingLink;
    case files::WriteTarget::kNotRegular:
      return WriteResult::kNotRegular;
    case files::WriteTarget::kWritable:
      break;
  }
  return files::WriteFileAtomically(path, content) ? WriteResult::kWritten
                                                   : WriteResult::kCannotCreate;
}

std::string WithExtension(std::string_view path, std::string_view extension) {
  std::string out(path);
  if (!path.ends_with(extension)) out += extension;
  return out;
}

std::string WithKdtaExtension(std::string_view path) {
  return WithExtension(path, ".kdta");
}

}  // namespace kyr::settings
