#pragma once
// `--corner top-left|top-right`: where the program's window opens, so that a script starting
// both programs (./run start) shows them side by side instead of both at the screen's centre.
// The option is taken out of the arguments before the command-line parser sees them.
#include <string>
#include <vector>

class QWidget;

namespace kyr::app_common {

// Takes the last `--corner VALUE` out of `args`; false when VALUE is neither corner or missing.
[[nodiscard]] bool TakeCornerOption(std::vector<std::string>& args);

// Moves `window` (not shown yet) to the corner taken, if any, of the available screen area.
void PlaceAtChosenCorner(QWidget& window);

// The width a window needs for the window manager to show its whole title: the title in a
// bold face somewhat larger than the window's (frames draw titles so), and room for the
// frame's icon and buttons on both sides, as frames centre the title between them.
[[nodiscard]] int TitleRoomWidth(const QWidget& window);

}  // namespace kyr::app_common
