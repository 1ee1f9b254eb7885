#include "link/protocol.h"

namespace kyr::link {
namespace {

constexpr std::uint32_t kFinishArgument = 0x006AFF;  // bytes FF 6A 00
constexpr std::uint32_t kWriteStatusArgument = 0x12;
constexpr int kImageBlockWords = 128;

std::uint8_t Byte(int value) {
  return static_cast<std::uint8_t>(value);
}

}  // namespace

Command QueryHeadsCommand() {
  return MakeCommand(kQueryHeads, 0, 0, 0);
}

Command ReadMemoryCommand(int head, std::uint32_t address, int words, int replies) {
  return MakeCommand(HeadCommand(kReadMemory, head), address, Byte(words), Byte(replies - 1));
}

Command WriteMemoryCommand(int head, std::uint32_t address, int words) {
  return MakeCommand(HeadCommand(kWriteMemory, head), address, Byte(words), 0);
}

Command FinishSettingsWriteCommand(int head) {
  return MakeCommand(HeadCommand(kFinishSettingsWrite, head), kFinishArgument, 0, 0);
}

const char* ImageSourceName(ImageSource source) {
  switch (source) {
    case ImageSource::kBankOrMemory:
      return "bank or memory";
    case ImageSource::kShot:
      return "shot";
    case ImageSource::kNg:
      return "NG";
  }
  return "?";
}

Command ImageBlockReadCommand(ImageSource source, int head, std::uint32_t address, int replies) {
  std::uint8_t code = kReadNgBlocks;
  if (source == ImageSource::kBankOrMemory) code = HeadCommand(kReadImageBlocks, head);
  if (source == ImageSource::kShot) code = HeadCommand(kReadShotBlocks, head);
  return MakeCommand(code, address & 0xFFFFFF, kImageBlockWords, Byte(replies - 1));
}

Command ImageBlockWriteCommand(int head, std::uint32_t address) {
  return MakeCommand(HeadCommand(kWriteImageBlock, head), address & 0xFFFFFF, kImageBlockWords, 0);
}

Command ShootStatusCommand(int head) {
  return MakeCommand(HeadCommand(kStatusPoll, head), 0, kShootStatusWords, 0);
}

Command WriteStatusPollCommand(int head) {
  return MakeCommand(HeadCommand(kStatusPoll, head), kWriteStatusArgument, kWriteStatusWords, 0);
}

Command NgTablePieceCommand(int word_offset) {
  return MakeCommand(kReadNgTable, static_cast<std::uint32_t>(word_offset), kNgTablePieceWords, 0);
}

std::array<std::uint8_t, 6> MonitorPartRequest(std::uint8_t console_key, std::uint8_t pointer_x,
                                               std::uint8_t pointer_y, int part) {
  return {kMonitorMark, kMonitorPart, console_key, pointer_x, pointer_y, Byte(part)};
}

}  // namespace kyr::link
