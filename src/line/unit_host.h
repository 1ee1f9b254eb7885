#pragma once
// The user as one unit of a line meets them while every unit works at once: messages and
// questions reach the shared host one at a time, above the progress display, each text led
// by the unit's name; the transfers' own progress stays off (the display shows each unit's).
#include <cstddef>
#include <string>

#include "line/progress_board.h"
#include "tool/tool_host.h"

namespace kyr::line {

class UnitHost final : public tool::ToolHost {
 public:
  UnitHost(tool::ToolHost& shared, ProgressBoard& board, std::string name)
      : shared_(shared), board_(board), name_(std::move(name)) {}

  tool::Answer ShowMessage(const tool::Message& message) override;
  std::optional<std::string> AskSaveFile(const std::vector<tool::FileFilter>& filters,
                                         const std::string& initial_name) override;
  std::optional<std::string> AskOpenFile(const std::vector<tool::FileFilter>& filters,
                                         const std::string& initial_name) override;
  std::vector<std::string> AskOpenFiles(const std::vector<tool::FileFilter>& filters) override;
  void SetProgressRange(int, int) override {}
  void SetProgressPosition(int) override {}
  void ProcessPendingEvents(int) override {}
  bool AskWriteChoices(tool::WriteChoices& choices) override;
  bool AskImageSelection(const tool::ImageSelectionDialog& dialog, std::uint64_t& mask) override;
  bool AskImageNumber(int count, int& number) override;
  bool AbortRequested() override;

 private:
  // Runs `ask` on the shared host with the display taken away and the other units waiting.
  template <typename Ask>
  auto Turn(Ask ask) {
    decltype(ask()) answer{};
    board_.Pass([&] { answer = ask(); });
    return answer;
  }

  tool::ToolHost& shared_;
  ProgressBoard& board_;
  std::string name_;
};

}  // namespace kyr::line
