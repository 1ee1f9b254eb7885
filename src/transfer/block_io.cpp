#include "transfer/block_io.h"

#include "link/protocol.h"

namespace kyr::transfer {

link::ExchangeResult ReadMemoryBlock(link::Link& link, int head, std::uint32_t address, int words,
                                     link::ReplyWords& out, int block) {
  link::Request request{link::ReadMemoryCommand(head, address, words), words};
  request.block = block;
  return link::Exchange(link, request, out);
}

}  // namespace kyr::transfer
