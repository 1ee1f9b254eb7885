#pragma once
// The Save BMP command: the canvas written as a bitmap file chosen by the user.
#include <string>

#include "images/canvas.h"
#include "tool/tool_host.h"

namespace kyr::images {

inline constexpr int kSaveDone = 0;
inline constexpr int kSaveNotWanted = 1;  // dialog cancelled or overwrite declined
inline constexpr int kSaveFailed = 2;     // the file could not be created

// Asks for a file name (".bmp" appended unless it ends in exactly that) and saves.
int SaveCanvasBitmap(tool::ToolHost& host, const Canvas& canvas);

// Saves to `path` as given: asks before replacing an existing file, reports a failure to
// create it. No completion message.
int SaveCanvasBitmapAs(tool::ToolHost& host, const Canvas& canvas, const std::string& path);

}  // namespace kyr::images
