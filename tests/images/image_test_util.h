#pragma once
// Helpers of the image format tests: a temporary folder, whole-file reads and writes, and a
// host that answers questions from a script and records every message.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "common/temp_folder.h"
#include "common/tool_host.h"
#include "images/canvas.h"
#include "images/raw_image.h"
#include "tool/tool_host.h"

namespace kyr::images::testing {

using test_common::Bytes;
using test_common::ReadBytes;
using test_common::TempFolder;
using test_common::WriteBytes;

// Raw images and canvases are too large for the stack.
inline std::unique_ptr<RawImage> NewImage() {
  return std::make_unique<RawImage>();
}
inline std::unique_ptr<Canvas> NewCanvas() {
  return std::make_unique<Canvas>();
}

class ScriptedHost : public test_common::RecordingToolHost {
 public:
  std::optional<std::string> save_name;
  std::vector<std::vector<userport::FileFilter>> save_filters;

  std::optional<std::string> AskSaveFile(const std::vector<userport::FileFilter>& filters,
                                         const std::string&) override {
    save_filters.push_back(filters);
    return save_name;
  }
};

}  // namespace kyr::images::testing
