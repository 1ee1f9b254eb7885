// The settings services: the head's settings memory read into an image, and an image
// written into a head.
#include <algorithm>
#include <array>
#include <optional>
#include <ostream>

#include "link/exchange.h"
#include "link/protocol.h"
#include "link/step_tracker.h"
#include "transfer/block_io.h"
#include "transfer/services.h"
#include "transfer/version_check.h"
#include "transfer/write_plan.h"

namespace kyr::transfer {
namespace {

constexpr int kReadBlockWords = 128;
constexpr std::uint32_t kVersionWordAddress = 2u * settings::kCommonBase;

using BlockBytes = std::array<std::uint8_t, 2 * kWriteBlockWords>;

SettingsResult FromExchange(link::ExchangeResult result) {
  switch (result) {
    case link::ExchangeResult::kDone:
      return SettingsResult::kDone;
    case link::ExchangeResult::kNotSent:
      return SettingsResult::kNotSent;
    case link::ExchangeResult::kStopped:
      // A stop asked for while waiting for the head (Ctrl-C, Abort) ends it as an abort.
      return SettingsResult::kAborted;
    case link::ExchangeResult::kNoGoodReply:
      break;
  }
  return SettingsResult::kNoGoodReply;
}

const std::uint16_t* BlockWords(const settings::SettingsImage& image, int block) {
  return image.data() + static_cast<std::size_t>(block) * kWriteBlockWords;
}

// The block's 64 words, low byte first.
void PackBlock(const settings::SettingsImage& image, int block, BlockBytes& bytes) {
  const std::uint16_t* words = BlockWords(image, block);
  for (std::size_t i = 0; i < kWriteBlockWords; ++i) {
    bytes[2 * i] = static_cast<std::uint8_t>(words[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<std::uint8_t>(words[i] >> 8);
  }
}

// The head's version word, asked once.
SettingsResult ReadHeadWord(link::Link& link, int head, std::uint16_t& head_word) {
  const link::Request request{link::ReadMemoryCommand(head, kVersionWordAddress, 1), 1};
  link::ReplyWords words{};
  switch (link::Exchange(link, request, words, link::kOneAttempt)) {
    case link::ExchangeResult::kDone:
      head_word = words[0];
      return SettingsResult::kDone;
    case link::ExchangeResult::kNotSent:
      return SettingsResult::kVersionNotSent;
    case link::ExchangeResult::kNoGoodReply:
    case link::ExchangeResult::kStopped:
      break;
  }
  return SettingsResult::kNoGoodReply;
}

// Sends one block until the head acknowledges it.
SettingsResult WriteBlock(link::Link& link, int head, int destination, const BlockBytes& data) {
  link::Request request{
      link::WriteMemoryCommand(head, WriteBlockAddress(destination), kWriteBlockWords), 0, data};
  // The data frame follows the command at once; a fault in it shows in the acknowledge.
  request.data_must_be_sent = false;
  request.block = destination;
  link::ReplyWords reply{};
  return FromExchange(link::Exchange(link, request, reply));
}

// The finish command, not retried.
SettingsResult FinishWrite(link::Link& link, int head) {
  const link::Request request{link::FinishSettingsWriteCommand(head), 0};
  link::ReplyWords reply{};
  return FromExchange(link::Exchange(link, request, reply, link::kOneAttempt));
}

// The image's blocks that go into the head, with their head blocks.
struct WrittenBlock {
  int block = 0;
  int destination = 0;
};
struct BlockPlan {
  std::array<WrittenBlock, kWriteBlocks> blocks{};
  int count = 0;
};

BlockPlan PlanBlocks(const tool::WriteChoices& choices, int head_model) {
  BlockPlan plan;
  for (int block = 0; block < kWriteBlocks; ++block) {
    const int destination = DestinationBlock(block, choices, head_model);
    if (destination != kNotWritten)
      plan.blocks[static_cast<std::size_t>(plan.count++)] = {block, destination};
  }
  return plan;
}

// Reads a written block back and compares it word by word. A difference counts only when
// the line was in step: a read that a stray reply answered is not to be believed, and the
// step tracker asks it again (kDone here).
SettingsResult VerifyBlock(link::Link& link, int head, const settings::SettingsImage& image,
                           const WrittenBlock& written_block, VerifyDifference* difference) {
  link::ReplyWords read{};
  const int destination = written_block.destination;
  const SettingsResult outcome = FromExchange(ReadMemoryBlock(
      link, head, WriteBlockAddress(destination), kWriteBlockWords, read, destination));
  if (outcome != SettingsResult::kDone) return outcome;
  const std::uint16_t* written = BlockWords(image, written_block.block);
  for (std::size_t k = 0; k < kWriteBlockWords; ++k) {
    if (written[k] == read[k]) continue;
    if (!link.EndsInStep(kWriteBlockWords)) return SettingsResult::kDone;
    if (difference != nullptr) {
      *difference = {destination, static_cast<int>(k), written[k], read[k]};
    }
    return SettingsResult::kVerifyDifference;
  }
  return SettingsResult::kDone;
}

// The writes, the finish command and, with `verify`, the reads back, as one series of
// steps: when a stray reply may have been taken for an acknowledge or a block read back,
// the series goes on again from the first step it may have answered.
SettingsResult WriteAndVerify(link::Link& link, int head, const settings::SettingsImage& image,
                              const BlockPlan& plan, bool verify, const tool::ServiceHooks& hooks,
                              VerifyDifference* difference) {
  const int finish_step = plan.count;
  const int steps_total = verify ? 2 * plan.count + 1 : plan.count + 1;
  link::StepTracker steps(link, steps_total, kWriteBlockWords);
  BlockBytes data{};
  for (int step = 0; step < steps_total;) {
    steps.Begin(step);
    SettingsResult result = SettingsResult::kDone;
    if (step < finish_step) {
      if (hooks.AbortRequested()) return SettingsResult::kAborted;
      const WrittenBlock& written = plan.blocks[static_cast<std::size_t>(step)];
      PackBlock(image, written.block, data);
      hooks.Progress(written.block);
      result = WriteBlock(link, head, written.destination, data);
    } else if (step == finish_step) {
      result = FinishWrite(link, head);
    } else {
      result =
          VerifyBlock(link, head, image,
                      plan.blocks[static_cast<std::size_t>(step - finish_step - 1)], difference);
    }
    if (result != SettingsResult::kDone) return result;
    const std::optional<int> next = steps.Next(step + 1);
    if (!next) return SettingsResult::kNoGoodReply;
    step = *next;
  }
  return SettingsResult::kDone;
}

}  // namespace

std::string_view SettingsResultName(SettingsResult result) {
  switch (result) {
    case SettingsResult::kDone:
      return "done";
    case SettingsResult::kNotSent:
      return "not sent";
    case SettingsResult::kNoGoodReply:
      return "no good reply";
    case SettingsResult::kAborted:
      return "aborted";
    case SettingsResult::kVersionNotSent:
      return "version request not sent";
    case SettingsResult::kUnknownHeadType:
      return "unknown head type";
    case SettingsResult::kOtherModel:
      return "other model";
    case SettingsResult::kUnknownHeadVersion:
      return "unknown head version";
    case SettingsResult::kUnknownFileVersion:
      return "unknown file version";
    case SettingsResult::kEmptyBankRange:
      return "empty bank range";
    case SettingsResult::kBanksPastEnd:
      return "banks past the end";
    case SettingsResult::kVerifyDifference:
      return "verify difference";
  }
  return "?";
}

std::ostream& operator<<(std::ostream& out, SettingsResult result) {
  return out << SettingsResultName(result);
}

ToolText SettingsResultText(SettingsResult result) {
  switch (result) {
    case SettingsResult::kDone:
      return {};
    case SettingsResult::kNotSent:
    case SettingsResult::kVersionNotSent:
      return ToolText::kWriteUsbFailed;
    case SettingsResult::kNoGoodReply:
      return ToolText::kCommunicationError;
    case SettingsResult::kAborted:
      return ToolText::kAborted;
    case SettingsResult::kUnknownHeadType:
      return ToolText::kUnknownHeadType;
    case SettingsResult::kOtherModel:
      return ToolText::kOtherModel;
    case SettingsResult::kUnknownHeadVersion:
      return ToolText::kUnknownHeadVersion;
    case SettingsResult::kUnknownFileVersion:
      return ToolText::kUnknownFileVersion;
    case SettingsResult::kEmptyBankRange:
      return ToolText::kEmptyBankRange;
    case SettingsResult::kBanksPastEnd:
      return ToolText::kBanksPastEnd;
    case SettingsResult::kVerifyDifference:
      return ToolText::kVerifyDifference;
  }
  return ToolText::kCommunicationError;
}

bool IsRefusal(SettingsResult result) {
  switch (result) {
    case SettingsResult::kUnknownHeadType:
    case SettingsResult::kOtherModel:
    case SettingsResult::kUnknownHeadVersion:
    case SettingsResult::kUnknownFileVersion:
    case SettingsResult::kEmptyBankRange:
    case SettingsResult::kBanksPastEnd:
      return true;
    default:
      return false;
  }
}

// A block that may have been answered by a stray reply is read again, with every block
// after it.
SettingsResult ReadSettings(link::Link& link, int head, settings::SettingsImage& image,
                            const tool::ServiceHooks& hooks) {
  link::ReplyWords words{};
  link::StepTracker steps(link, kReadBlocks, kReadBlockWords);
  for (int block = 0; block < kReadBlocks;) {
    if (hooks.AbortRequested()) return SettingsResult::kAborted;
    steps.Begin(block);
    const auto address = static_cast<std::uint32_t>(block) * 2u * kReadBlockWords;
    const SettingsResult read =
        FromExchange(ReadMemoryBlock(link, head, address, kReadBlockWords, words, block));
    if (read != SettingsResult::kDone) return read;
    std::copy_n(words.begin(), kReadBlockWords,
                image.begin() + static_cast<std::ptrdiff_t>(block) * kReadBlockWords);
    hooks.Progress(block);
    const std::optional<int> next = steps.Next(block + 1);
    if (!next) return SettingsResult::kNoGoodReply;
    block = *next;
  }
  return SettingsResult::kDone;
}

SettingsResult CheckWriteChoices(const tool::WriteChoices& choices) {
  // A range that holds no bank would end with "Complete" having written no bank.
  if (choices.start_bank > choices.end_bank) return SettingsResult::kEmptyBankRange;
  // A bank moved beyond bank 31 would land in the head's memory past the bank area.
  if (!BankRangeFits(choices)) return SettingsResult::kBanksPastEnd;
  return SettingsResult::kDone;
}

SettingsResult WriteSettings(link::Link& link, int head, const settings::SettingsImage& image,
                             const tool::WriteChoices& choices, const WriteOptions& options,
                             const tool::ServiceHooks& hooks, WriteReport* report) {
  if (const SettingsResult fits = CheckWriteChoices(choices); fits != SettingsResult::kDone) {
    return fits;
  }
  std::uint16_t head_word = 0;
  if (const SettingsResult read = ReadHeadWord(link, head, head_word);
      read != SettingsResult::kDone) {
    return read;
  }
  // The caller's image stays as it is; the copy is converted to the head's version.
  settings::SettingsImage converted = image;
  if (const SettingsResult check = CheckAndConvert(head_word, converted);
      check != SettingsResult::kDone) {
    return check;
  }
  const BlockPlan plan = PlanBlocks(choices, head_word & 0xFF);
  if (report != nullptr) report->blocks = plan.count;
  return WriteAndVerify(link, head, converted, plan, options.verify, hooks,
                        report != nullptr ? &report->difference : nullptr);
}

}  // namespace kyr::transfer
