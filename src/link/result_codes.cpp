#include "link/result_codes.h"

#include <array>
#include <utility>

namespace kyr::link {

namespace {

constexpr int kUnknownCommErrorId = 169;

constexpr std::array<std::pair<int, int>, 7> kMessageIds = {{
    {kHandshakeReadFailed, 146},
    {kHandshakeShort, 145},
    {kHandshakeBadReply, 144},
    {kWriteFailed, 137},
    {kWritePartial, 136},
    {kOpenFailed, 133},
    {kNotListed, 132},
}};

}  // namespace

int LinkMessageId(int code) {
  for (const auto& [result, id] : kMessageIds) {
    if (result == code) return id;
  }
  return kUnknownCommErrorId;
}

std::string_view LinkMessage(int code) {
  return LoadString(StringTable::Tool, LinkMessageId(code));
}

std::string_view LinkMessage(int code, Lang lang) {
  return LoadString(StringTable::Tool, LinkMessageId(code), lang);
}

}  // namespace kyr::link
