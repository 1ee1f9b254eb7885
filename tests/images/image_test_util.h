#pragma once
// Helpers of the image format tests: a scratch folder, whole-file reads and writes, and a
// host that answers questions from a script and records every message.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "images/canvas.h"
#include "images/raw_image.h"
#include "tool/tool_host.h"

namespace kyr::images::testing {

using Bytes = std::vector<std::uint8_t>;

class ScratchFolder {
 public:
  ScratchFolder() {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    path_ = std::filesystem::temp_directory_path() /
            (std::string("kyr_images_") + info->test_suite_name() + "_" + info->name());
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
  }
  ~ScratchFolder() { std::filesystem::remove_all(path_); }
  std::string File(const std::string& name) const { return (path_ / name).string(); }
  std::filesystem::path Path() const { return path_; }

 private:
  std::filesystem::path path_;
};

inline void WriteBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
}

inline Bytes ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// Raw images and canvases are too large for the stack.
inline std::unique_ptr<RawImage> NewImage() {
  return std::make_unique<RawImage>();
}
inline std::unique_ptr<Canvas> NewCanvas() {
  return std::make_unique<Canvas>();
}

class ScriptedHost : public tool::ToolHost {
 public:
  std::vector<tool::Message> messages;
  std::vector<tool::Answer> answers;  // answers to questions, in order; then No
  std::optional<std::string> save_name;
  std::vector<std::vector<tool::FileFilter>> save_filters;

  tool::Answer ShowMessage(const tool::Message& message) override {
    messages.push_back(message);
    if (message.buttons == tool::Buttons::Ok) return tool::Answer::Ok;
    if (answered_ < answers.size()) return answers[answered_++];
    return tool::Answer::No;
  }
  std::optional<std::string> AskSaveFile(const std::vector<tool::FileFilter>& filters,
                                         const std::string&) override {
    save_filters.push_back(filters);
    return save_name;
  }
  std::optional<std::string> AskOpenFile(const std::vector<tool::FileFilter>&,
                                         const std::string&) override {
    return std::nullopt;
  }
  std::vector<std::string> AskOpenFiles(const std::vector<tool::FileFilter>&) override {
    return {};
  }
  void SetProgressRange(int, int) override {}
  void SetProgressPosition(int) override {}
  void ProcessPendingEvents(int) override {}

  std::vector<int> MessageIds() const {
    std::vector<int> ids;
    for (const auto& m : messages) ids.push_back(m.string_id);
    return ids;
  }

 private:
  std::size_t answered_ = 0;
};

}  // namespace kyr::images::testing
