#pragma once
// The dialog flows of the image transfers: Read Image reads bank, memory, taken and NG
// images from a head into .kimg files; Write Image writes image files or bitmaps into a
// head's bank or memory images.
//
// Both ask the user through the tool's host (selections, files, questions, messages), open
// the link, run the image services (services.h) and close the link before they return.
//
// Typical use (the window's button handlers):
//   auto state = std::make_unique<ImageState>();          // one for the whole run
//   ImageOpsContext ctx{host, link, *state, port_text, head_index, image_type_index};
//   ReadImages(ctx);    // presence, selection, file name, transfer
//   WriteImages(ctx);   // file choice, image number, confirmation, transfer
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "images/canvas.h"
#include "images/image_names.h"
#include "images/ops/image_types.h"
#include "images/ops/services.h"
#include "images/raw_image.h"
#include "link/link.h"
#include "tool/outcome.h"
#include "tool/tool_host.h"

namespace kyr::images {

using tool::Outcome;

// What the image commands keep for the whole run (about 650 KB: allocate it, do not put it
// on the stack).
struct ImageState {
  RawImage image;               // the image being read or written
  Canvas canvas;                // what the picture area shows
  std::string file_name;        // the current image file name, rewritten for every image read
  std::uint64_t selection = 0;  // bit k: image k of the chosen type
  int write_number = 0;         // the image number a single-file write offers next
  // The blocks of one read request as they go to the file, each word low byte first.
  std::array<char, 2 * 32 * 128> request_bytes{};
  NgRecords ng_records{};  // the NG table of the last NG presence phase
  int ng_ring_position = 0;
  // Cleared at the start of a command, set by any failed exchange; the link is closed with
  // the closing frame only when it is clear.
  bool failed = false;
};

// The main window's boxes as an operation reads them, and what it works with.
struct ImageOpsContext {
  tool::ToolHost& host;
  link::Link& link;
  ImageState& state;
  std::string port;  // the port box text
  int head = 0;      // Target Head index 0 to 2
  int type = 0;      // Image Type index: 0 Bank, 1 Memory, 2 Shoot, anything else NG Save
};

// Read Image: asks the head which images of the type exist, lets the user choose them and a
// file name, then reads each chosen image into its own file. A file appears under its name
// only once all of its blocks arrived.
Outcome ReadImages(ImageOpsContext& ctx);

// Write Image: asks for one or several image files or bitmaps and writes each into the bank
// or memory image its name (or the image number dialog) gives.
Outcome WriteImages(ImageOpsContext& ctx);

// What the flows share with the command line, which runs the services itself. `type` is an
// Image Type index as in ImageOpsContext.

// The box that tells about a failed exchange ("Fail to write USB." without a caption of its
// own for a frame not written); not for kDone and kAborted.
tool::Message ImageFailureBox(ImageResult result);

// "aborted", and which images a read kept whole in their files.
tool::Message ReadAbortBox(int type, const std::vector<int>& kept);
// "aborted", and which images a write left whole in the head and which one it was storing.
tool::Message WriteAbortBox(int type, const std::vector<int>& written, int unfinished);

// Checks the names of the files to write: the extension of each, and with several files the
// image number each name must carry. False after the message.
bool ImageNamesAreUsable(tool::ToolHost& host, const ImageTypeInfo& info,
                         const std::vector<std::string>& paths);
// Every image file of `paths` holds one whole image; false after the message. Bitmaps are
// checked when they are read.
bool ImageFilesAreWhole(tool::ToolHost& host, const std::vector<std::string>& paths);
// Reads the image file or bitmap at `path` into `image`; false after the message.
bool ReadImageSource(tool::ToolHost& host, const std::string& path, RawImage& image);
// The question before images go into the head: bitmaps change colours, image files
// overwrite; the images written to are listed below.
tool::Message WriteImagesQuestion(int type, const std::string& first_path,
                                  const std::vector<int>& numbers);

}  // namespace kyr::images
