#include "window/console_key_filter.h"

#include <QAbstractButton>
#include <QKeyEvent>
#include <QWidget>

#include "tool/console_keys.h"
#include "window/ridgemo_dlg.h"
#include "window/window_text.h"

namespace kyr::ridgemo {
namespace {

// Where the focus is, as the table sees it: a button, another control of the window (or a
// part of one, such as the port box's edit field), or the window itself.
tool::KeyFocus FocusKindOf(QWidget* widget, QWidget* window) {
  if (qobject_cast<QAbstractButton*>(widget) != nullptr) return tool::KeyFocus::kButton;
  for (QWidget* at = widget; at != nullptr && at != window; at = at->parentWidget()) {
    if (ControlId(at) != 0) return tool::KeyFocus::kOtherControl;
  }
  return tool::KeyFocus::kNoControl;
}

}  // namespace

ConsoleKeyFilter::ConsoleKeyFilter(CRidgemoDlg& window) : QObject(&window), window_(window) {}

int ConsoleKeyFilter::VirtualKeyOf(int qt_key, bool keypad) {
  if (qt_key >= Qt::Key_0 && qt_key <= Qt::Key_9) {
    return (keypad ? tool::kVkNumpad0 : tool::kVkDigit0) + (qt_key - Qt::Key_0);
  }
  switch (qt_key) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      return tool::kVkReturn;
    case Qt::Key_Escape:
      return tool::kVkEscape;
    case Qt::Key_Home:
      return tool::kVkHome;
    case Qt::Key_Left:
      return tool::kVkLeft;
    case Qt::Key_Up:
      return tool::kVkUp;
    case Qt::Key_Right:
      return tool::kVkRight;
    case Qt::Key_Down:
      return tool::kVkDown;
    case Qt::Key_Delete:
      return tool::kVkDelete;
    default:
      return 0;
  }
}

bool ConsoleKeyFilter::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  auto* widget = qobject_cast<QWidget*>(watched);
  // Only the main window's own controls: dialogs and drop-down lists keep their keys.
  if (widget == nullptr || widget->window() != &window_) return false;
  const auto* key = static_cast<QKeyEvent*>(event);
  const int virtual_key = VirtualKeyOf(key->key(), key->modifiers().testFlag(Qt::KeypadModifier));
  if (virtual_key == 0) return false;
  const tool::ConsoleKey looked_up =
      tool::LookUpConsoleKey(virtual_key, FocusKindOf(widget, &window_), window_.Monitor().running);
  if (!looked_up.consumed) return false;
  if (looked_up.code != 0) window_.ConsoleKeyPressed(looked_up.code);
  if (looked_up.click_button) {
    // Posted, as a command message would be: the click runs after this key is done.
    QMetaObject::invokeMethod(static_cast<QAbstractButton*>(widget), &QAbstractButton::click,
                              Qt::QueuedConnection);
  }
  return true;
}

}  // namespace kyr::ridgemo
