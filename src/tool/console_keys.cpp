#include "tool/console_keys.h"

#include <array>

namespace kyr::tool {
namespace {

struct KeyRow {
  int virtual_key;
  int code;
};

// Enter is not here: its code depends on the focus.
constexpr std::array<KeyRow, 27> kKeyRows{{
    {kVkHome, 1},         {kVkDigit0 + 0, 3},   {kVkNumpad0 + 0, 3},  {kVkDelete, 4},
    {kVkEscape, 5},       {kVkDigit0 + 1, 6},   {kVkNumpad0 + 1, 6},  {kVkDown, 7},
    {kVkDigit0 + 2, 7},   {kVkNumpad0 + 2, 7},  {kVkDigit0 + 3, 8},   {kVkNumpad0 + 3, 8},
    {kVkLeft, 9},         {kVkDigit0 + 4, 9},   {kVkNumpad0 + 4, 9},  {kVkDigit0 + 5, 10},
    {kVkNumpad0 + 5, 10}, {kVkRight, 11},       {kVkDigit0 + 6, 11},  {kVkNumpad0 + 6, 11},
    {kVkDigit0 + 7, 12},  {kVkNumpad0 + 7, 12}, {kVkUp, 13},          {kVkDigit0 + 8, 13},
    {kVkNumpad0 + 8, 13}, {kVkDigit0 + 9, 14},  {kVkNumpad0 + 9, 14},
}};

constexpr int kEnterOnButton = 1;
constexpr int kEnterOnControl = 2;
constexpr int kEnterElsewhere = 1;

}  // namespace

ConsoleKey LookUpConsoleKey(int virtual_key, KeyFocus focus, bool monitor_running) {
  if (!monitor_running) {
    if (virtual_key == kVkReturn && focus == KeyFocus::kButton) return {true, 0, true};
    return {};
  }
  if (virtual_key == kVkReturn) {
    switch (focus) {
      case KeyFocus::kButton:
        return {true, kEnterOnButton, true};
      case KeyFocus::kOtherControl:
        return {true, kEnterOnControl, false};
      case KeyFocus::kNoControl:
        return {true, kEnterElsewhere, false};
    }
  }
  for (const KeyRow& row : kKeyRows) {
    if (row.virtual_key == virtual_key) return {true, row.code, false};
  }
  return {};
}

}  // namespace kyr::tool
