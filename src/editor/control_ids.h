#pragma once
// Identifiers of the editor window's controls. The window gives every widget its id as its
// name, and the model, the view and the tests name controls only by these numbers.
#include <array>
#include <optional>

#include "strings/text_ids.h"

namespace kyr::editor {

// The 33 page rows: 18 in the left column (L1..L18), 15 in the right (R1..R15). A row is
// addressed by its index 0..32; the left column comes first.
constexpr int kLeftRows = 18;
constexpr int kRightRows = 15;
constexpr int kRowCount = kLeftRows + kRightRows;

constexpr int LeftRow(int n) {
  return n - 1;
}  // L1 -> 0
constexpr int RightRow(int n) {
  return kLeftRows + n - 1;
}  // R1 -> 18

struct RowControlIds {
  int label;
  int combo;
  int edit;
};

constexpr std::array<RowControlIds, kRowCount> kRowControls = {{
    {1017, 1005, 1019},
    {1021, 1007, 1022},
    {1023, 1024, 1025},
    {1026, 1027, 1028},
    {1029, 1030, 1031},
    {1032, 1033, 1034},
    {1035, 1036, 1037},
    {1038, 1039, 1040},
    {1041, 1042, 1043},
    {1044, 1045, 1046},
    {1047, 1048, 1049},
    {1050, 1051, 1052},
    {1057, 1058, 1059},
    {1060, 1061, 1062},
    {1063, 1064, 1065},
    {1074, 1068, 1069},
    {1075, 1070, 1071},
    {1076, 1072, 1073},
    // right column
    {1081, 1082, 1083},
    {1084, 1085, 1086},
    {1087, 1088, 1089},
    {1090, 1091, 1092},
    {1093, 1094, 1095},
    {1096, 1097, 1098},
    {1099, 1100, 1101},
    {1102, 1103, 1104},
    {1105, 1106, 1107},
    {1108, 1109, 1110},
    {1111, 1112, 1113},
    {1114, 1115, 1116},
    {1117, 1118, 1119},
    {1120, 1121, 1122},
    {1126, 1127, 1128},
}};

// Group boxes of the two columns.
constexpr int kLeftGroupBox = 1018;
constexpr int kRightGroupBox = 1056;

// Page radio buttons, page 1 to page 5.
constexpr int kPageCount = 5;
constexpr std::array<int, kPageCount> kPageButtons = {1008, 1010, 1011, 1013, 1015};
// Their texts, in the same order.
constexpr std::array<EditorText, kPageCount> kPageButtonTexts = {
    EditorText::kPageCameraLighting, EditorText::kPageInput, EditorText::kPageOutputOther,
    EditorText::kPageSearchWindow, EditorText::kPageWindowColor};

// Other controls of the window.
constexpr int kBankComment = 1129;
constexpr int kBankSelector = 1053;
constexpr int kBankDown = 1020;  // "<"
constexpr int kBankUp = 1066;    // ">"
constexpr int kWindowSelector = 1055;
constexpr int kWindowDown = 1054;  // "<"
constexpr int kWindowUp = 1067;    // ">"
constexpr int kReadSettings = 1006;
constexpr int kSaveSettings = 1009;
constexpr int kInitialize = 1012;
constexpr int kGenerateCsv = 1003;
constexpr int kExit = 1004;
// Compare the open settings with a file (a button of this program's own).
constexpr int kCompareFile = 1200;
// The files last read or saved, offered again (a button with a menu, the window's own).
constexpr int kRecentFiles = 1201;

// Combos of the Search / Inspection window page whose change rebuilds that page:
// "Window Using", "Inspect Functn" and the unit selector (on R7 or R9).
constexpr std::array<int, 4> kReshowCombos = {1082, 1085, 1100, 1106};

enum class RowPart { Label, Combo, Edit };

struct RowControl {
  int row;
  RowPart part;
};

// Which row, and which of its three controls, `control_id` is; nullopt for other ids.
std::optional<RowControl> FindRowControl(int control_id);

// Page 1..5 of a page button id; 0 for other ids.
int PageOfButton(int control_id);

}  // namespace kyr::editor
