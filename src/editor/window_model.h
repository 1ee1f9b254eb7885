#pragma once
// The state of the editor window's controls, as the model fills them. The view copies it
// into widgets; user input comes back to the model through the Editor's action calls.
#include <array>
#include <bitset>
#include <string>
#include <vector>

#include "editor/control_ids.h"

namespace kyr::editor {

// One page row: a label, a drop-down list and a small edit box side by side.
struct RowState {
  std::string label;  // resource text followed by its mark ("*" bank, "#" window setting)
  bool label_enabled = false;
  std::vector<std::string> items;
  int selection = -1;  // index into items, -1 when nothing is selected
  bool combo_enabled = false;
  std::string edit_text;
  bool edit_enabled = false;
};

struct WindowState {
  std::array<RowState, kRowCount> rows;
  std::string left_caption;
  std::string right_caption;
  int bank_selection = 0;    // bank selector: item 0..31
  int window_selection = 0;  // window selector: item 0..15 (shown as "1".."16")
  int checked_page = 1;      // the checked page button, 1..5
  std::string comment;       // bank comment edit
};

// What changed since the view last looked (Editor::TakeChanges).
struct Changes {
  std::bitset<kRowCount> rows;
  bool captions = false;
  bool bank_selector = false;
  bool window_selector = false;
  bool page_buttons = false;
  bool comment = false;

  bool Any() const {
    return rows.any() || captions || bank_selector || window_selector || page_buttons || comment;
  }
};

}  // namespace kyr::editor
