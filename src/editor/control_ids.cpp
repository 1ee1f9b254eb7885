#include "editor/control_ids.h"

namespace kyr::editor {
namespace {

constexpr int kFirstId = 1000;
constexpr int kIdSpan = 130;

struct RowLookup {
  std::array<signed char, kIdSpan> row{};
  std::array<signed char, kIdSpan> part{};
};

// Row and part of every row control, indexed by id - 1000; -1 for other ids.
constexpr RowLookup MakeLookup() {
  RowLookup lookup;
  for (auto& r : lookup.row) r = -1;
  for (int row = 0; row < kRowCount; ++row) {
    const RowControlIds& ids = kRowControls[static_cast<std::size_t>(row)];
    const int controls[] = {ids.label, ids.combo, ids.edit};
    for (int part = 0; part < 3; ++part) {
      const auto index = static_cast<std::size_t>(controls[part] - kFirstId);
      lookup.row[index] = static_cast<signed char>(row);
      lookup.part[index] = static_cast<signed char>(part);
    }
  }
  return lookup;
}

constexpr RowLookup kLookup = MakeLookup();

}  // namespace

std::optional<RowControl> FindRowControl(int control_id) {
  const int index = control_id - kFirstId;
  if (index < 0 || index >= kIdSpan) return std::nullopt;
  const int row = kLookup.row[static_cast<std::size_t>(index)];
  if (row < 0) return std::nullopt;
  return RowControl{row, static_cast<RowPart>(kLookup.part[static_cast<std::size_t>(index)])};
}

int PageOfButton(int control_id) {
  for (int page = 1; page <= kPageCount; ++page) {
    if (kPageButtons[static_cast<std::size_t>(page - 1)] == control_id) return page;
  }
  return 0;
}

}  // namespace kyr::editor
