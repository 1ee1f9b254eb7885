#pragma once
// The Qt message box both programs show for a core's message.
#include <QString>
#include <memory>

#include "userport/user_port.h"

class QMessageBox;
class QWidget;

namespace kyr::app_common {

// The box for `message`, not yet shown: its caption (`title`, the program's, when the message
// has none), icon, text, buttons, default button, and the button that Escape or closing the
// box stands for. Its object name is the message's string id, so that tests can tell boxes
// apart.
[[nodiscard]] std::unique_ptr<QMessageBox> MakeMessageBox(const userport::Message& message,
                                                          const QString& title, QWidget* parent);

// The answer of a box for `message` that ended with `button` (what QMessageBox::exec
// returned).
[[nodiscard]] userport::Answer AnswerOf(const userport::Message& message, int button);

// Shows the box modally over `parent`, activates `parent` again afterwards and returns the
// answer.
userport::Answer ShowMessageBox(const userport::Message& message, const QString& title,
                                QWidget* parent);

}  // namespace kyr::app_common
