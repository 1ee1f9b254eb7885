#pragma once
// The settings services: a head's whole settings memory read into a settings image, and a
// settings image (or chosen parts of it) written into a head after its model check and
// version conversion. They work on data, ask no one anything, and report through a typed
// result; the window's dialog flows, the command line and backup stand on them.
//
// The caller opens the link (and asks for the head) before a service and closes it after:
// a job such as a backup runs many services on one link. ClosingFrameAfter says whether the
// closing frame is due.
//
// Typical use:
//   settings::SettingsImage image{};
//   const SettingsResult read = ReadSettings(link, head, image, hooks);
//   link.CloseLink(ClosingFrameAfter(read));
#include <cstdint>
#include <iosfwd>
#include <string_view>

#include "link/link.h"
#include "settings/settings_image.h"
#include "strings/text_ids.h"
#include "tool/service_hooks.h"
#include "tool/write_choices.h"

namespace kyr::transfer {

enum class [[nodiscard]] SettingsResult{
    kDone,
    kNotSent,         // a command frame was not written whole
    kNoGoodReply,     // five bad replies for one request, or out of step too often
    kAborted,         // the abort hook asked to stop; taken between blocks
    kVersionNotSent,  // the request for the head's version word was not written
    // Refusals, before anything was written into the head:
    kUnknownHeadType,     // the head's model code is not 1 to 3
    kOtherModel,          // the image is of another model than the head
    kUnknownHeadVersion,  // the head's settings version cannot be written
    kUnknownFileVersion,  // the image's settings version cannot be converted
    kEmptyBankRange,      // the start bank lies above the end bank
    kBanksPastEnd,        // a bank of the range would land beyond bank 31
    // Only with WriteOptions::verify: a block read back differs from what was written.
    kVerifyDifference,
};

std::string_view SettingsResultName(SettingsResult result);
std::ostream& operator<<(std::ostream& out, SettingsResult result);

// The message that tells the user about `result` (ToolText{} for kDone).
ToolText SettingsResultText(SettingsResult result);

// True for the refusals: nothing was written, the head was not at fault.
bool IsRefusal(SettingsResult result);

// Whether the link is closed with the closing frame after a settings service: only after
// kDone, so that a head is never told a failed exchange ended normally.
constexpr bool ClosingFrameAfter(SettingsResult result) {
  return result == SettingsResult::kDone;
}

// The blocks of 128 words a settings read asks for.
inline constexpr int kReadBlocks = 64;

// Reads the 8,192 words of head `head` (0 to 2) into `image`, 64 blocks of 128 words; the
// progress hook gets each block's number (0 to 63) as it arrives, the abort hook is polled
// before each block. On a failure `image` holds the blocks read so far.
SettingsResult ReadSettings(link::Link& link, int head, settings::SettingsImage& image,
                            const tool::ServiceHooks& hooks = {});

struct WriteOptions {
  // After the finish command, read every written block back and report the first word
  // that differs from what was written.
  bool verify = false;
};

// The first word that differs after a verified write.
struct VerifyDifference {
  int block = 0;  // the head's 64-word block
  int word = 0;   // 0 to 63 within it
  std::uint16_t written = 0;
  std::uint16_t read = 0;
};

// What a write did besides its result.
struct WriteReport {
  int blocks = 0;                 // 64-word blocks the choices send to this head
  VerifyDifference difference{};  // after kVerifyDifference
};

// kDone when the choices can be written (a range of banks that lands within the 32
// banks), else the refusal. WriteSettings checks it first; a flow may ask before it
// reads a file or opens the link.
SettingsResult CheckWriteChoices(const tool::WriteChoices& choices);

// Writes `image` into head `head` as `choices` say: reads the head's version word, refuses
// an image of another model or of a version that cannot be converted, converts a copy to
// the head's version, writes the chosen 64-word blocks (each until acknowledged), and sends
// the finish command (not retried). The progress hook gets each written block's number in
// the image (0 to 127) before it is sent; the abort hook is polled before each block.
// `report`, when given, gets the number of blocks planned and the first word that differs.
SettingsResult WriteSettings(link::Link& link, int head, const settings::SettingsImage& image,
                             const tool::WriteChoices& choices, const WriteOptions& options = {},
                             const tool::ServiceHooks& hooks = {}, WriteReport* report = nullptr);

}  // namespace kyr::transfer
