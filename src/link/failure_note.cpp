#include "link/failure_note.h"

#include <cerrno>
#include <cstring>
#include <utility>

namespace kyr::link {

void FailureNote::Record(std::string where, std::string why) {
  where_ = std::move(where);
  why_ = std::move(why);
  no_head_found_ = false;
}

void FailureNote::RecordNoHeadFound(std::string why) {
  Record({}, std::move(why));
  no_head_found_ = true;
}

void FailureNote::Clear() {
  where_.clear();
  why_.clear();
  no_head_found_ = false;
}

std::string FailureNote::Line() const {
  if (why_.empty()) return {};
  return where_.empty() ? why_ : where_ + ": " + why_;
}

std::string SystemReason(int error_number) {
  switch (error_number) {
    case EACCES:
    case EPERM:
      return "Permission denied \u2014 add your user to the dialout group";
    case EBUSY:
    case EWOULDBLOCK:
      return "in use by another program";
    case ENOTTY:
      return "not a serial port";
    case 0:
      return "the line gave no data in time";
    default:
      return std::strerror(error_number);
  }
}

}  // namespace kyr::link
