#pragma once
// The dialog flows of the settings transfers: Read All Settings copies a head's whole
// settings memory into a settings file; Write Settings writes a settings file, or chosen
// parts of it, into a head. They ask the user through the tool's host (files, choices,
// questions, messages), open the link, run the settings services (services.h) and close it.
//
// Typical use (the window's button handlers):
//   TransferContext ctx{host, link, state, port_text, head_index};
//   ReadAllSettings(ctx);      // asks for the file
//   WriteSettings(ctx);        // asks for the file and the write choices
#include <string>

#include "link/link.h"
#include "settings/settings_image.h"
#include "tool/outcome.h"
#include "tool/tool_host.h"
#include "tool/tool_state.h"
#include "tool/write_choices.h"
#include "transfer/services.h"

namespace kyr::transfer {

using tool::Outcome;

// What an operation works with: the user, the process's link and state, and the main
// window's Target Head (index 0 to 2) and port box.
struct TransferContext {
  tool::ToolHost& host;
  link::Link& link;
  tool::ToolState& state;
  std::string port;
  int head = 0;
};

// Read All Settings: asks for the file to save (".kdta" appended unless the name ends in
// it exactly), then reads as ReadAllSettingsTo.
Outcome ReadAllSettings(TransferContext& ctx);

// Reads all 64 blocks of the head into `path`, used as given. The file is written beside
// its target and put in place only when every block arrived; on any failure a file
// already at `path` keeps its contents.
Outcome ReadAllSettingsTo(TransferContext& ctx, const std::string& path);

// Write Settings: asks for the file to open and for the write choices (remembered in
// ctx.state), then writes as WriteSettingsFrom.
Outcome WriteSettings(TransferContext& ctx);

// Writes the settings file at `path` (used as given) into the head as `choices` say.
Outcome WriteSettingsFrom(TransferContext& ctx, const std::string& path,
                          const tool::WriteChoices& choices, const WriteOptions& options = {});

// What the flows share with the command line, which runs the services itself.

// The box that tells about a service result other than kDone ("Fail to write USB." without
// a caption of its own when a command frame was not written).
tool::Message SettingsFailureBox(SettingsResult result);

// The box that ends a write: the completion (with the blocks a verified write checked), the
// first difference a verified write found, or the failure.
tool::Message WriteResultBox(SettingsResult result, const WriteReport& report, bool verified);

// Reads the settings file at `path` for a write: kDone when it holds a whole image, else,
// after its message, kFailed (it cannot be read) or kRefused (lines are missing, which
// would be written into the head as zeros).
Outcome ReadSettingsToWrite(tool::ToolHost& host, const std::string& path,
                            settings::SettingsImage& image);

}  // namespace kyr::transfer
