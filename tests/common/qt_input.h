#pragma once
// Keyboard input for window tests that goes the way a user's keys go: to the window system
// handle of the active window, which hands it to the focused control. On the offscreen
// platform and on an X server (xcb) alike; on X the window is first really activated by the
// window manager.
#include <QApplication>
#include <QString>
#include <QTest>
#include <QWidget>
#include <QWindow>
#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace kyr::test_common {

constexpr int kActivateWaitMs = 5000;

// Shows `window` and waits until it is exposed and active (false when it never is). The
// headless compositor of the Wayland run has no seat, so there a window is never active:
// exposed is all it gets.
inline bool ShowActive(QWidget& window) {
  window.show();
  if (!QTest::qWaitForWindowExposed(&window, kActivateWaitMs)) return false;
  if (QGuiApplication::platformName() == QStringLiteral("wayland")) return true;
  window.activateWindow();
  window.raise();
  return QTest::qWaitForWindowActive(&window, kActivateWaitMs);
}

// The window that receives keys now: the active modal dialog if any, else `fallback`'s.
inline QWindow* KeyTarget(QWidget& fallback) {
  QWidget* active = QApplication::activeModalWidget();
  if (active == nullptr) active = QApplication::activeWindow();
  if (active == nullptr) active = fallback.window();
  return active->windowHandle();
}

// Presses and releases `key` in the active window, as the keyboard would.
inline void PressKey(QWidget& window, Qt::Key key, Qt::KeyboardModifiers modifiers = {}) {
  QTest::keyClick(KeyTarget(window), key, modifiers);
  QCoreApplication::processEvents();
}

// Types `text` character by character into whatever control of the active window has the
// focus.
inline void TypeText(QWidget& window, const QString& text) {
  for (const QChar c : text) {
    QTest::keyClick(KeyTarget(window), c.toLatin1());
  }
  QCoreApplication::processEvents();
}

// Gives `widget` the keyboard focus, as a click or Tab would.
inline void FocusOn(QWidget& widget) {
  widget.setFocus(Qt::OtherFocusReason);
  QCoreApplication::processEvents();
}

// The platform the tests run on: "offscreen" unless QT_QPA_PLATFORM chose another one (the
// X server run registers the same tests with "xcb"). The configuration home is the test
// process's own, so that what the windows remember never reaches the user's.
inline void ChooseTestPlatform() {
  setenv("QT_QPA_PLATFORM", "offscreen", 0);
  static char config_home[] = "/tmp/kyr-window-config-XXXXXX";  // outlives every exit handler
  static const bool made = [] {
    if (mkdtemp(config_home) == nullptr) std::abort();
    std::atexit([] {
      std::error_code error;
      std::filesystem::remove_all(config_home, error);
    });
    return true;
  }();
  static_cast<void>(made);
  setenv("XDG_CONFIG_HOME", config_home, 1);
}

inline bool OnXServer() {
  return QGuiApplication::platformName() == QStringLiteral("xcb");
}

}  // namespace kyr::test_common
