#pragma once
// An editor host that answers from a script and records what the editor asked.
#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "common/text_names.h"
#include "editor/editor_host.h"
#include "strings/strings.h"
#include "strings/text_ids.h"
#include "userport/user_port.h"

namespace kyr::editor {

class ScriptedHost : public EditorHost {
 public:
  std::deque<Answer> answers;                    // message box answers, in order
  std::deque<std::optional<std::string>> files;  // file dialog results, in order
  std::vector<Message> messages;                 // every box shown
  std::vector<std::string> initial_names;        // name field of every file dialog
  std::vector<int> focused;                      // FocusControl calls
  // The unsaved-edits question is answered and counted apart from the other boxes.
  Answer unsaved_edits_answer = Answer::Discard;
  int unsaved_edits_questions = 0;

  Answer ShowMessage(const Message& message) override {
    if (message.string_id == TextNumber(EditorText::kUnsavedEdits)) {
      ++unsaved_edits_questions;
      return unsaved_edits_answer;
    }
    messages.push_back(message);
    if (answers.empty()) return message.buttons == Buttons::Ok ? Answer::Ok : Answer::No;
    const Answer answer = answers.front();
    answers.pop_front();
    return answer;
  }
  std::optional<std::string> AskOpenFile(const std::vector<FileFilter>& filters,
                                         const std::string& initial_name) override {
    return NextFile(filters, initial_name);
  }
  std::optional<std::string> AskSaveFile(const std::vector<FileFilter>& filters,
                                         const std::string& initial_name) override {
    return NextFile(filters, initial_name);
  }
  void FocusControl(int control_id) override { focused.push_back(control_id); }

  std::vector<EditorText> MessageIds() const {
    std::vector<EditorText> ids;
    for (const Message& m : messages) ids.push_back(static_cast<EditorText>(m.string_id));
    return ids;
  }
  void Clear() {
    messages.clear();
    focused.clear();
    initial_names.clear();
  }

  std::vector<FileFilter> last_filters;

 private:
  std::optional<std::string> NextFile(const std::vector<FileFilter>& filters,
                                      const std::string& initial_name) {
    last_filters = filters;
    initial_names.push_back(initial_name);
    if (files.empty()) return std::nullopt;
    auto file = files.front();
    files.pop_front();
    return file;
  }
};

}  // namespace kyr::editor
