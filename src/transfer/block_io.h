#pragma once
// Settings memory requests of the settings transfers, asked with the link's retry rule: a
// block whose reply is missing or bad is asked for again, up to five failed replies in a row.
#include <cstdint>

#include "link/exchange.h"
#include "link/link.h"

namespace kyr::transfer {

// Reads `words` words at byte address `address` of head `head` into `out`; `block` names
// the request in the link trace.
[[nodiscard]] link::ExchangeResult ReadMemoryBlock(link::Link& link, int head,
                                                   std::uint32_t address, int words,
                                                   link::ReplyWords& out, int block = -1);

}  // namespace kyr::transfer
