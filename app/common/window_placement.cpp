#include "common/window_placement.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QLayout>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstddef>
#include <iostream>

namespace kyr::app_common {
namespace {

enum class Corner { kNone, kTopLeft, kTopRight };
Corner g_corner = Corner::kNone;  // one window a process, chosen once at start-up

}  // namespace

bool TakeCornerOption(std::vector<std::string>& args) {
  for (std::size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--corner") continue;
    const std::string value = i + 1 < args.size() ? args[i + 1] : std::string();
    args.erase(args.begin() + static_cast<std::ptrdiff_t>(i),
               args.begin() + static_cast<std::ptrdiff_t>(i + (i + 1 < args.size() ? 2 : 1)));
    if (value == "top-left") {
      g_corner = Corner::kTopLeft;
    } else if (value == "top-right") {
      g_corner = Corner::kTopRight;
    } else {
      std::cerr << "--corner takes top-left or top-right\n";
      return false;
    }
    --i;
  }
  return true;
}

void PlaceAtChosenCorner(QWidget& window) {
  const QScreen* screen = QGuiApplication::primaryScreen();
  if (g_corner == Corner::kNone || screen == nullptr) return;
  const QRect area = screen->availableGeometry();
  // A layout of fixed size gives the window its size only when it is activated.
  if (window.layout() != nullptr) window.layout()->activate();
  // The frame is not known before the window is shown: a few pixels are left for it.
  constexpr int kFrameAllowance = 8;
  const int x = g_corner == Corner::kTopLeft
                    ? area.left()
                    : area.right() + 1 - window.frameGeometry().width() - kFrameAllowance;
  window.move(std::max(area.left(), x), area.top());
  // A window that asks for its own frame functions (the editor, with no maximise) is placed by
  // its inner corner on X, its title bar off the screen: once the frame is known it is brought
  // down by what sticks out.
  QTimer::singleShot(200, &window, [&window, area] {
    const QRect frame = window.frameGeometry();
    if (frame.top() < area.top() || frame.left() < area.left()) {
      window.move(window.pos() + QPoint(std::max(0, area.left() - frame.left()),
                                        std::max(0, area.top() - frame.top())));
    }
  });
}

int TitleRoomWidth(const QWidget& window) {
  // Icon and three buttons on the wider side, taken twice since the title is centred.
  constexpr int kFrameSides = 150;
  QFont title_font = window.font();
  title_font.setBold(true);
  title_font.setPointSizeF(title_font.pointSizeF() * 1.2);
  return QFontMetrics(title_font).horizontalAdvance(window.windowTitle()) + kFrameSides;
}

}  // namespace kyr::app_common
