#pragma once
// The words a core uses to ask its user something: a message box (text, caption, icon,
// buttons, default answer) and the entries of a file dialog's type box.
//
// Both programs' host ports speak this vocabulary, so the Qt message-box adapter, the
// command line's question rule and the tests' scripted hosts exist once for both.
#include <string>
#include <string_view>

namespace kyr::userport {

enum class Icon { None, Information, Exclamation, Error, Question };
// SaveDiscardCancel asks about unsaved edits before they would be thrown away.
enum class Buttons { Ok, OkCancel, YesNo, YesNoCancel, SaveDiscardCancel };
enum class Answer { Ok, Cancel, Yes, No, Save, Discard };

// A modal message box. `string_id` is the string resource the text starts with, in the
// program's own table (0 for a composed text); an empty caption means the box shows the
// program's title.
struct Message {
  int string_id = 0;
  std::string text;
  std::string caption;
  Icon icon = Icon::None;
  Buttons buttons = Buttons::Ok;
  Answer default_answer = Answer::Ok;
};

// One entry of a file dialog's type box, e.g. {"KYR data file ( *.kdta )", "*.kdta"}.
// `pattern` may hold several patterns separated by ';'.
struct FileFilter {
  std::string label;
  std::string pattern;
};

// True for the boxes that ask something (more than one button).
[[nodiscard]] bool IsQuestion(Buttons buttons);
// The affirmative answer of a button set: Yes, Save, or Ok for OK/Cancel and a plain OK box.
[[nodiscard]] Answer AcceptAnswer(Buttons buttons);
// What closing a box without pressing a button means: OK for a plain box, No for Yes/No,
// Cancel for the sets that have a Cancel button.
[[nodiscard]] Answer DeclineAnswer(Buttons buttons);

// Names for logs and test failures.
[[nodiscard]] std::string_view IconName(Icon icon);
[[nodiscard]] std::string_view ButtonsName(Buttons buttons);
[[nodiscard]] std::string_view AnswerName(Answer answer);

}  // namespace kyr::userport
