#pragma once
// Editor string resources used by the window model and the window itself (the labels and
// choice lists of the fields are named by the settings field table).
#include <array>

#include "settings/message_ids.h"

namespace kyr::editor {

constexpr int kMsgIllegalValue = 299;  // the range message; the range text follows it

constexpr int kBankSelectionList = 167;  // "EXTINPUT;SELECT;COMMUNIC;" after the 32 banks
constexpr int kBankCommentLabel = 192;

// Texts of the window's own controls.
constexpr int kTextTitle = 910;
constexpr std::array<int, 5> kTextPageButtons = {911, 912, 913, 914, 915};
constexpr int kTextBankNo = 916;
constexpr int kTextWindowNo = 917;
constexpr int kTextReadSettings = 918;  // two lines
constexpr int kTextSaveSettings = 919;  // two lines
constexpr int kTextInitialize = 920;
constexpr int kTextGenerateCsv = 921;  // two lines
constexpr int kTextExit = 922;
constexpr int kTextCompareFile = 923;  // two lines
constexpr int kTextCompareTitle = 957;
constexpr int kTextCompareHint = 958;
constexpr int kTextOpenSettings = 959;  // how the comparison names the open settings
constexpr int kMsgUnsavedEdits = 960;   // Save / Discard / Cancel before edits are dropped

}  // namespace kyr::editor
