#include "tool/outcome.h"

#include <ostream>

namespace kyr::tool {

std::string_view OutcomeName(Outcome outcome) {
  switch (outcome) {
    case Outcome::kDone:
      return "done";
    case Outcome::kNotWanted:
      return "not wanted";
    case Outcome::kRefused:
      return "refused";
    case Outcome::kFailed:
      return "failed";
    case Outcome::kAborted:
      return "aborted";
  }
  return "?";
}

std::ostream& operator<<(std::ostream& out, Outcome outcome) {
  return out << OutcomeName(outcome);
}

}  // namespace kyr::tool
