#pragma once
// The image services: which images of a type a head holds, one image read from a head, and
// one image written into a head's bank or memory images. They work on data, ask no one
// anything, and report through a typed result; the window's Read Image and Write Image
// flows, the command line and backup stand on them.
//
// The caller opens the link before a service and closes it after, so that many images go
// over one link. The closing frame is due after FindImages only when it succeeded (a failed
// presence phase leaves the head without it), and always once an image transfer ran, also
// after a failed block or an abort, so that the head knows the exchange is over.
//
// NG images and the NG table are always the first head's: the services ask head 0 for them
// whatever `head` says.
//
// Typical use:
//   ImagesFound found;
//   if (FindImages(link, head, ImageType::Bank, found) == ImageResult::kDone) ...
//   auto image = std::make_unique<RawImage>();
//   const ImageResult read = ReadImage(link, head, ImageType::Bank, 4, *image, hooks);
#include <cstdint>
#include <iosfwd>
#include <string_view>

#include "images/image_names.h"
#include "images/raw_image.h"
#include "link/link.h"
#include "strings/text_ids.h"
#include "tool/service_hooks.h"

namespace kyr::images {

enum class [[nodiscard]] ImageResult{
    kDone,
    kNotSent,      // a command or data frame was not written whole
    kNoGoodReply,  // five bad replies for one request (one for an NG table piece), 21 bad
                   // poll replies in a row, or out of step too often
    kAborted,      // the abort hook asked to stop
    kStillBusy,    // the head was still busy storing the image after a minute
};

std::string_view ImageResultName(ImageResult result);
std::ostream& operator<<(std::ostream& out, ImageResult result);

// The message that tells the user about `result` (ToolText{} for kDone).
ToolText ImageResultText(ImageResult result);

// The NG table of the first head: the ring position and the 63 records.
struct NgTable {
  int ring_position = 0;
  NgRecords records{};
};

// What FindImages found: bit k of `mask` for image k of the type; for NG images the table
// the image names are made from.
struct ImagesFound {
  std::uint64_t mask = 0;
  NgTable ng{};
};

// Asks the head which images of `type` it holds: the bank images' registration fields, the
// memory images' presence words, the last shots' count, or the NG table. The phase is asked
// again whole when a stray reply may have answered any of its reads.
ImageResult FindImages(link::Link& link, int head, ImageType type, ImagesFound& found);

// Reads image `number` of `type` into `image`: 32 blocks a request (taken images one) until
// a reply goes wrong, then one block a request for the rest of the image. The progress hook
// gets each received block's number (0 to 511); the abort hook is polled after each block.
// On a failure `image` holds what arrived so far.
ImageResult ReadImage(link::Link& link, int head, ImageType type, int number, RawImage& image,
                      const tool::ServiceHooks& hooks = {});

// Writes `image` into image `number` of `type` (Bank or Memory), block by block, each until
// acknowledged, then polls until the head has stored it. The progress hook gets each
// acknowledged block's number (0 to 511); the abort hook is polled between the polls.
ImageResult WriteImage(link::Link& link, int head, ImageType type, int number,
                       const RawImage& image, const tool::ServiceHooks& hooks = {});

}  // namespace kyr::images
