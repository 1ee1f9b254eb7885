// Write Settings: a settings file, or the chosen parts of it, into a head of the same model,
// converted to the head's settings version.
#include <array>
#include <cstdio>
#include <optional>
#include <string>

#include "link/exchange.h"
#include "link/protocol.h"
#include "link/result_codes.h"
#include "link/step_tracker.h"
#include "settings/settings_file.h"
#include "strings/strings.h"
#include "tool/link_session.h"
#include "transfer/block_io.h"
#include "transfer/messages.h"
#include "transfer/transfer.h"
#include "transfer/transfer_common.h"
#include "transfer/version_check.h"
#include "transfer/write_plan.h"
#include "userport/file_filters.h"

namespace kyr::transfer {
namespace {

constexpr std::uint32_t kVersionWordAddress = 2u * settings::kCommonBase;

using BlockBytes = std::array<std::uint8_t, 2 * kWriteBlockWords>;

void Begin(TransferContext& ctx) {
  ctx.state.failed = false;
  ctx.host.ClearAbortRequest();
  ctx.host.SetProgressRange(0, kWriteBlocks);
  ctx.host.SetProgressPosition(0);
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

std::string Hex4(unsigned value) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%04X", value & 0xFFFFu);
  return text;
}

// Reads the file and makes sure it holds a whole image. Outcome::kDone when it does.
Outcome LoadSettingsFile(TransferContext& ctx, const std::string& path,
                         settings::SettingsImage& image) {
  int first_incomplete = -1;
  if (settings::ReadToolSettingsFile(path, image, first_incomplete) < 0) {
    ctx.host.ShowMessage(tool::ErrorBox(ToolText::kCannotOpenFile));
    return Fail(ctx);
  }
  // Missing fields would read as 0 and be written into the head as settings.
  if (first_incomplete >= 0) {
    const std::string text = FormatMessage(tool::Text(ToolText::kIncompleteFile),
                                           {std::to_string(first_incomplete + 1)});
    ctx.host.ShowMessage(tool::ErrorBox(ToolText::kIncompleteFile, text));
    return Fail(ctx, Outcome::kRefused);
  }
  return Outcome::kDone;
}

// The head's version word; false after a failure (shown).
bool ReadHeadWord(TransferContext& ctx, std::uint16_t& head_word) {
  const link::Request request{link::ReadMemoryCommand(ctx.head, kVersionWordAddress, 1), 1};
  link::ReplyWords words{};
  switch (link::Exchange(ctx.link, request, words, link::kOneAttempt)) {
    case link::ExchangeResult::kDone:
      head_word = words[0];
      return true;
    case link::ExchangeResult::kNotSent:
      ctx.host.ShowMessage(tool::ErrorBox(ToolText::kWriteUsbFailed));
      return false;
    case link::ExchangeResult::kNoGoodReply:
    case link::ExchangeResult::kStopped:
      break;
  }
  ctx.host.ShowMessage(tool::ErrorBox(ToolText::kCommunicationError));
  return false;
}

// Sends one block until the head acknowledges it; false after a failure (shown).
bool WriteBlock(TransferContext& ctx, int block, int destination, const BlockBytes& data) {
  link::Request request{
      link::WriteMemoryCommand(ctx.head, WriteBlockAddress(destination), kWriteBlockWords), 0,
      data};
  // The data frame follows the command at once; a fault in it shows in the acknowledge.
  request.data_must_be_sent = false;
  request.block = destination;
  link::ReplyWords reply{};
  ctx.host.SetProgressPosition(block);
  return ExchangeSucceeded(ctx, link::Exchange(ctx.link, request, reply));
}

// How the writes ended: an abort request is taken between blocks, so the block in flight
// is always finished.
enum class Sent { kAll, kFailed, kStopped };

// The finish command, not retried; false after a failure (shown).
bool FinishWrite(TransferContext& ctx) {
  const link::Request request{link::FinishSettingsWriteCommand(ctx.head), 0};
  link::ReplyWords reply{};
  return ExchangeSucceeded(ctx, link::Exchange(ctx.link, request, reply, link::kOneAttempt));
}

// The file's blocks that go into the head, with their head blocks.
struct WrittenBlock {
  int block = 0;
  int destination = 0;
};
struct WritePlan {
  std::array<WrittenBlock, kWriteBlocks> blocks{};
  int count = 0;
};

WritePlan PlanWrites(const tool::WriteChoices& choices, int head_model) {
  WritePlan plan;
  for (int block = 0; block < kWriteBlocks; ++block) {
    const int destination = DestinationBlock(block, choices, head_model);
    if (destination != kNotWritten)
      plan.blocks[static_cast<std::size_t>(plan.count++)] = {block, destination};
  }
  return plan;
}

// How a block read back compares with the one written.
enum class Verified { kSame, kDifferent, kFailed };

// Reads a written block back and compares it word by word; the first difference is shown
// (with its head block, word, written and read value) unless the line turns out to have
// been out of step, when the read is not to be believed.
Verified VerifyBlock(TransferContext& ctx, const settings::SettingsImage& image,
                     const WrittenBlock& written_block) {
  link::ReplyWords read{};
  const int destination = written_block.destination;
  const link::ExchangeResult outcome = ReadMemoryBlock(
      ctx.link, ctx.head, WriteBlockAddress(destination), kWriteBlockWords, read, destination);
  if (!ExchangeSucceeded(ctx, outcome)) return Verified::kFailed;
  const std::uint16_t* written = BlockWords(image, written_block.block);
  for (std::size_t k = 0; k < kWriteBlockWords; ++k) {
    if (written[k] == read[k]) continue;
    if (!ctx.link.EndsInStep(kWriteBlockWords)) return Verified::kDifferent;
    const std::string text = FormatMessage(
        tool::Text(ToolText::kVerifyDifference),
        {std::to_string(destination), std::to_string(k), Hex4(written[k]), Hex4(read[k])});
    ctx.host.ShowMessage(tool::ErrorBox(ToolText::kVerifyDifference, text));
    return Verified::kFailed;
  }
  return Verified::kSame;
}

// The writes, the finish command and, with `verify`, the reads back, as one series of
// steps: when a stray reply may have been taken for an acknowledge or a block read back,
// the series goes on again from the first step it may have answered. False after a
// failure (shown).
Sent WriteAndVerify(TransferContext& ctx, const settings::SettingsImage& image,
                    const WritePlan& plan, bool verify) {
  const int finish_step = plan.count;
  const int steps_total = verify ? 2 * plan.count + 1 : plan.count + 1;
  link::StepTracker steps(ctx.link, steps_total, kWriteBlockWords);
  BlockBytes data{};
  for (int step = 0; step < steps_total;) {
    steps.Begin(step);
    if (step < finish_step) {
      if (ctx.host.AbortRequested()) return Sent::kStopped;
      const WrittenBlock& written = plan.blocks[static_cast<std::size_t>(step)];
      PackBlock(image, written.block, data);
      if (!WriteBlock(ctx, written.block, written.destination, data)) return Sent::kFailed;
    } else if (step == finish_step) {
      if (!FinishWrite(ctx)) return Sent::kFailed;
    } else if (VerifyBlock(ctx, image,
                           plan.blocks[static_cast<std::size_t>(step - finish_step - 1)]) ==
               Verified::kFailed) {
      return Sent::kFailed;
    }
    const std::optional<int> next = steps.Next(step + 1);
    if (!next) {
      static_cast<void>(ExchangeSucceeded(ctx, link::ExchangeResult::kNoGoodReply));
      return Sent::kFailed;
    }
    step = *next;
  }
  return Sent::kAll;
}

// From the check of the choices on, with the file chosen and the dialog accepted.
Outcome WriteFromFile(TransferContext& ctx, const std::string& path,
                      const tool::WriteChoices& choices, const WriteOptions& options) {
  // A range that holds no bank would end with "Complete" having written no bank.
  if (choices.start_bank > choices.end_bank) {
    ctx.host.ShowMessage(tool::ErrorBox(ToolText::kEmptyBankRange));
    return Fail(ctx, Outcome::kRefused);
  }
  // A bank moved beyond bank 31 would land in the head's memory past the bank area.
  if (!BankRangeFits(choices)) {
    ctx.host.ShowMessage(tool::ErrorBox(ToolText::kBanksPastEnd));
    return Fail(ctx, Outcome::kRefused);
  }
  settings::SettingsImage image{};
  if (const Outcome loaded = LoadSettingsFile(ctx, path, image); loaded != Outcome::kDone) {
    return loaded;
  }
  if (!tool::OpenLinkToHead(ctx.host, ctx.link, ctx.port, ctx.head)) return Fail(ctx);
  std::uint16_t head_word = 0;
  if (!ReadHeadWord(ctx, head_word)) {
    ctx.link.CloseLink(false);
    return Fail(ctx);
  }
  if (const ToolText refusal = CheckAndConvert(head_word, image); refusal != ToolText{}) {
    ctx.host.ShowMessage(tool::ErrorBox(refusal));
    ctx.link.CloseLink(false);
    return Fail(ctx, Outcome::kRefused);
  }
  const int head_model = head_word & 0xFF;
  const WritePlan plan = PlanWrites(choices, head_model);
  const Sent sent = WriteAndVerify(ctx, image, plan, options.verify);
  if (sent == Sent::kStopped) {
    // Closed as after a failure: without the finish command.
    ctx.host.ShowMessage(tool::ErrorBox(ToolText::kAborted));
    ctx.state.failed = true;
    static_cast<void>(CloseLinkAfterTransfer(ctx));  // the interruption is the outcome
    return Outcome::kAborted;
  }
  ctx.state.failed = sent != Sent::kAll;
  if (!ctx.state.failed) {
    ctx.host.SetProgressPosition(kWriteBlocks);
    tool::Message done = tool::FinishBox(ToolText::kSettingsWriteComplete);
    // What the read-back checked, so that a verified write says it was verified.
    if (options.verify) {
      done.text +=
          "\n" + FormatMessage(tool::Text(ToolText::kVerifiedBlocks), {std::to_string(plan.count)});
    }
    ctx.host.ShowMessage(done);
  }
  return CloseLinkAfterTransfer(ctx);
}

}  // namespace

Outcome WriteSettings(TransferContext& ctx) {
  Begin(ctx);
  const auto chosen = ctx.host.AskOpenFile(userport::SettingsFileFilters(), "");
  if (!chosen || chosen->empty()) return Outcome::kNotWanted;
  const std::string path = settings::WithKdtaExtension(*chosen);
  ctx.host.ProcessPendingEvents(kEventsBeforeTransfer);
  tool::WriteChoices choices = ctx.state.write_choices;
  if (!ctx.host.AskWriteChoices(choices)) return Outcome::kNotWanted;
  ctx.state.write_choices = choices;
  return WriteFromFile(ctx, path, choices, {});
}

Outcome WriteSettingsFrom(TransferContext& ctx, const std::string& path,
                          const tool::WriteChoices& choices, const WriteOptions& options) {
  Begin(ctx);
  return WriteFromFile(ctx, path, choices, options);
}

}  // namespace kyr::transfer
