#pragma once
// The Save BMP command: the canvas written as a bitmap file chosen by the user.
#include <string>

#include "images/canvas.h"
#include "tool/outcome.h"
#include "tool/tool_host.h"

namespace kyr::images {

using tool::Outcome;

// Asks for a file name (".bmp" appended unless it ends in exactly that) and saves.
Outcome SaveCanvasBitmap(tool::ToolHost& host, const Canvas& canvas);

// Saves to `path` as given: asks before replacing an existing file, reports a failure to
// create it. No completion message.
Outcome SaveCanvasBitmapAs(tool::ToolHost& host, const Canvas& canvas, const std::string& path);

}  // namespace kyr::images
