#include "images/ops/exchange.h"

#include "images/ops/messages.h"

namespace kyr::images::detail {

Exchange ReceiveExpected(link::Link& link, int expected, link::ReplyWords& words) {
  if (link.ReceiveReply(words) == expected) return Exchange::kGood;
  link.DiscardPending();
  return Exchange::kWrong;
}

Exchange Ask(link::Link& link, const std::array<std::uint8_t, 6>& command, int expected,
             link::ReplyWords& words) {
  if (link.SendFrame(command.data(), command.size()) != link::kFrameSent) {
    return Exchange::kNotSent;
  }
  return ReceiveExpected(link, expected, words);
}

std::array<std::uint8_t, 6> SettingsReadCommand(int head, std::uint32_t address, int words) {
  return link::MakeCommand(link::HeadCommand(link::kReadMemory, head), address,
                           static_cast<std::uint8_t>(words), 0);
}

void ReportNotSent(ImageOpsContext& ctx) {
  ctx.state.failed = true;
  ctx.host.ShowMessage(tool::TitleErrorBox(tool::kMsgWriteUsbFailed));
}

void ReportCommunicationError(ImageOpsContext& ctx) {
  ctx.state.failed = true;
  ctx.host.ShowMessage(tool::ErrorBox(tool::kMsgCommunicationError));
}

}  // namespace kyr::images::detail
