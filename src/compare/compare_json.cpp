#include "compare/compare_json.h"

#include <array>

namespace kyr::compare {
namespace {

constexpr std::array kWhereNames = {"common", "bank", "window", "word"};

}  // namespace

nlohmann::ordered_json DifferenceJson(const Difference& difference, const Side& a, const Side& b) {
  nlohmann::ordered_json item;
  item["where"] = kWhereNames[static_cast<std::size_t>(difference.where)];
  if (difference.where == Where::kBank || difference.where == Where::kWindow) {
    item["bank"] = difference.bank;
  }
  if (difference.where == Where::kWindow) item["window"] = difference.window + 1;
  item["word"] = difference.word;
  if (!difference.label.empty()) item["label"] = difference.label;
  item[a.role] = difference.a;
  item[b.role] = difference.b;
  return item;
}

nlohmann::ordered_json ComparisonJson(const Comparison& comparison, const Side& a, const Side& b) {
  nlohmann::ordered_json document;
  document[a.role] = a.name;
  document[b.role] = b.name;
  document["equal"] = comparison.Equal();
  document["converted"] = comparison.converted == Converted::kA   ? a.role
                          : comparison.converted == Converted::kB ? b.role
                                                                  : std::string("none");
  document["versions"] = {{a.role, comparison.version_a}, {b.role, comparison.version_b}};
  document["differences"] = nlohmann::ordered_json::array();
  for (const Difference& difference : comparison.differences) {
    document["differences"].push_back(DifferenceJson(difference, a, b));
  }
  return document;
}

}  // namespace kyr::compare
