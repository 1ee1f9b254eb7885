#pragma once
// The start of every command that talks to a head: the link opened with the handshake and
// the target head found, or the failure shown.
#include <optional>
#include <string_view>

#include "link/link.h"
#include "tool/tool_host.h"

namespace kyr::tool {

// Opens the link on `port` with the handshake and, when `head` is given, asks whether that
// head (0 to 2) is there. On failure the message is shown (the link's, kHeadAbsent for an
// absent head, kCommunicationError for a failed query), the link is closed without the closing
// frame, and the result is false.
bool OpenLinkToHead(ToolHost& host, link::Link& link, std::string_view port,
                    std::optional<int> head);

}  // namespace kyr::tool
