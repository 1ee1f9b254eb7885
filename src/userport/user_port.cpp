#include "userport/user_port.h"

namespace kyr::userport {

bool IsQuestion(Buttons buttons) {
  return buttons != Buttons::Ok;
}

Answer AcceptAnswer(Buttons buttons) {
  switch (buttons) {
    case Buttons::YesNo:
    case Buttons::YesNoCancel:
      return Answer::Yes;
    case Buttons::SaveDiscardCancel:
      return Answer::Save;
    case Buttons::Ok:
    case Buttons::OkCancel:
      break;
  }
  return Answer::Ok;
}

Answer DeclineAnswer(Buttons buttons) {
  switch (buttons) {
    case Buttons::Ok:
      return Answer::Ok;
    case Buttons::YesNo:
      return Answer::No;
    case Buttons::OkCancel:
    case Buttons::YesNoCancel:
    case Buttons::SaveDiscardCancel:
      break;
  }
  return Answer::Cancel;
}

std::string_view IconName(Icon icon) {
  switch (icon) {
    case Icon::None:
      return "none";
    case Icon::Information:
      return "information";
    case Icon::Exclamation:
      return "exclamation";
    case Icon::Error:
      return "error";
    case Icon::Question:
      return "question";
  }
  return "?";
}

std::string_view ButtonsName(Buttons buttons) {
  switch (buttons) {
    case Buttons::Ok:
      return "OK";
    case Buttons::OkCancel:
      return "OK/Cancel";
    case Buttons::YesNo:
      return "Yes/No";
    case Buttons::YesNoCancel:
      return "Yes/No/Cancel";
    case Buttons::SaveDiscardCancel:
      return "Save/Discard/Cancel";
  }
  return "?";
}

std::string_view AnswerName(Answer answer) {
  switch (answer) {
    case Answer::Ok:
      return "OK";
    case Answer::Cancel:
      return "Cancel";
    case Answer::Yes:
      return "Yes";
    case Answer::No:
      return "No";
    case Answer::Save:
      return "Save";
    case Answer::Discard:
      return "Discard";
  }
  return "?";
}

}  // namespace kyr::userport
