#pragma once
// The console key table: keys of the main window that are passed to the head's console.
//
// While the monitor runs, every key-down in the tool's main window is looked up here,
// whatever control has the focus: a listed key sets the console key code sent with the next
// monitor request and is consumed, so the head can be operated from the keyboard. While the
// monitor is stopped the code would never reach a head (starting the monitor clears it), so
// every key is left to the focused control and a device path can be typed into the port box;
// only Enter on a button is still taken, to click it. Keys are named by their Windows
// virtual-key numbers, which the window maps its toolkit's keys onto.
namespace kyr::tool {

// Virtual-key numbers of the keys the table knows.
inline constexpr int kVkReturn = 13;
inline constexpr int kVkEscape = 27;
inline constexpr int kVkHome = 36;
inline constexpr int kVkLeft = 37;
inline constexpr int kVkUp = 38;
inline constexpr int kVkRight = 39;
inline constexpr int kVkDown = 40;
inline constexpr int kVkDelete = 46;
inline constexpr int kVkDigit0 = 48;   // "0" to "9" are 48 to 57
inline constexpr int kVkNumpad0 = 96;  // pad 0 to pad 9 are 96 to 105

// Where the keyboard focus is when Enter is pressed.
enum class KeyFocus {
  kButton,        // a push button: Enter clicks it
  kOtherControl,  // a control of the window that is not a button
  kNoControl,     // the window itself, or a part without a control number
};

struct ConsoleKey {
  bool consumed = false;      // the key is in the table; the control never sees it
  int code = 0;               // console key code 1 to 14; 0 when no code is set
  bool click_button = false;  // Enter on a button: the window clicks the focused button
};

ConsoleKey LookUpConsoleKey(int virtual_key, KeyFocus focus, bool monitor_running);

}  // namespace kyr::tool
