#pragma once
// The five pages of the editor window as tables: which field each of the 33 rows shows,
// in which settings versions, and under which enable rule. Field places, kinds, lists,
// offsets and ranges come from the settings field table; a page only says where a field
// goes and what differs on the page (a label, a mark, a shortened list).
#include <cstdint>
#include <span>

#include "settings/field_table.h"

namespace kyr::editor {

enum Page : int {
  kCameraLightingPage = 1,
  kInputPage = 2,
  kOutputOtherPage = 3,
  kSearchInspectionPage = 4,
  kWindowColorPositionPage = 5,
};

// When a filled row's controls are enabled.
enum class EnableRule : std::uint8_t {
  kAlways,
  // Window judgment rows: the control holding the field only while the window is used; a
  // choice row's label with it, a number row's label stays enabled.
  kWindowUsed,
  // Colour rows: label and field control only for the colour inspection functions
  // CLRSHAPE and COLRAREA.
  kColorFunction,
};

struct RowDef {
  int row;  // 0..32, see LeftRow / RightRow
  settings::FieldId field;
  std::uint8_t versions = settings::kAllVersions;  // filled in these versions, else blank
  EditorText label{};  // label resource when the page differs from the field's own
  char mark = 0;       // mark when the page differs from the field's place
  int item_limit = 0;  // only the first items of the list are offered (0: all)
  EnableRule enable = EnableRule::kAlways;
};

struct PageDef {
  EditorText left_caption;
  EditorText right_caption;
  // Rows in the order the page is stored. The Search / Inspection window page keeps its
  // window judgment column apart (see below); its `rows` hold the left column and
  // "Window Using".
  std::span<const RowDef> rows;
};

const PageDef& PageDefinition(int page);

// The Search / Inspection window page: "Inspect Functn" (stored last) and the window
// judgment rows R3 onward of an inspection function (empty for functions 6 and 7).
const RowDef& InspectFunctionRow();
std::span<const RowDef> JudgmentRows(int inspection_function);

// The page (1..5) that shows `field` for a window of `inspection_function`; 0 when no page
// shows it.
int PageOfField(settings::FieldId field, int inspection_function);

// The inspection functions that work on colour (CLRSHAPE, COLRAREA).
constexpr bool IsColorFunction(int function) {
  return function == 0 || function == 4;
}

}  // namespace kyr::editor
