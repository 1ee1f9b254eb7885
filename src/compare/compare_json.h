#pragma once
// A comparison as one JSON document for scripts: keys and enumerated values in English,
// whatever the language of the process.
#include <nlohmann/json.hpp>
#include <string>

#include "compare/compare.h"

namespace kyr::compare {

// The two sides' roles and what names them, e.g. {"file", "a.kdta"} and {"head", 1}.
struct Side {
  std::string role;
  nlohmann::ordered_json name;
};

// One difference: {"where", "bank", "window", "word", "label", ROLE_A: value, ROLE_B: value}.
nlohmann::ordered_json DifferenceJson(const Difference& difference, const Side& a, const Side& b);

// {"ROLE_A": NAME_A, "ROLE_B": NAME_B, "equal": …, "converted": "none"|ROLE_A|ROLE_B,
//  "versions": {ROLE_A: …, ROLE_B: …}, "differences": [{"where": "common"|"bank"|"window"|"word",
//  "bank": …, "window": …, "word": …, "label": …, ROLE_A: value, ROLE_B: value}]}.
// `comparison` should be made in English so that labels and values are English too.
nlohmann::ordered_json ComparisonJson(const Comparison& comparison, const Side& a, const Side& b);

}  // namespace kyr::compare
