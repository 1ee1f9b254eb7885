#pragma once
// Applies the console key table to every key-down that reaches the main window, whatever
// control has the focus: while the monitor runs, listed keys set the console key code and
// never reach the control; Enter on a button clicks it, running or not.
#include <QObject>

namespace kyr::ridgemo {

class CRidgemoDlg;

class ConsoleKeyFilter : public QObject {
  Q_OBJECT

 public:
  explicit ConsoleKeyFilter(CRidgemoDlg& window);

  // The Windows virtual-key number of a key event's key, or 0 when the table cannot list it.
  static int VirtualKeyOf(int qt_key, bool keypad);

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  CRidgemoDlg& window_;
};

}  // namespace kyr::ridgemo
