#include "userport/file_filters.h"

namespace kyr::userport {

const std::vector<FileFilter>& SettingsFileFilters() {
  static const std::vector<FileFilter> filters = {{"KYR data file ( *.kdta )", "*.kdta"},
                                                  {"All files(*.*)", "*.*"}};
  return filters;
}

}  // namespace kyr::userport
