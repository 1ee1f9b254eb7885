#include "tool/link_session.h"

#include "tool/messages.h"

namespace kyr::tool {

bool OpenLinkToHead(ToolHost& host, link::Link& link, std::string_view port,
                    std::optional<int> head) {
  const link::LinkResult opened = link.OpenLink(port, /*handshake=*/true);
  if (opened != link::LinkResult::kOk) {
    ShowLinkFailure(host, opened, link.FailureDetail());
    link.CloseLink(false);
    return false;
  }
  if (!head) return true;
  const int presence = link.QueryHead(*head);
  if (presence <= 0) {
    host.ShowMessage(
        ErrorBox(presence < 0 ? ToolText::kCommunicationError : ToolText::kHeadAbsent));
    link.CloseLink(false);
    return false;
  }
  return true;
}

}  // namespace kyr::tool
