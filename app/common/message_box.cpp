#include "common/message_box.h"

#include <QGridLayout>
#include <QMessageBox>
#include <QSpacerItem>

#include "common/window_placement.h"

namespace kyr::app_common {
namespace {

using userport::Answer;
using userport::Buttons;
using userport::Icon;

QMessageBox::Icon BoxIcon(Icon icon) {
  switch (icon) {
    case Icon::Information:
      return QMessageBox::Information;
    case Icon::Exclamation:
      return QMessageBox::Warning;
    case Icon::Error:
      return QMessageBox::Critical;
    case Icon::Question:
      return QMessageBox::Question;
    case Icon::None:
      break;
  }
  return QMessageBox::NoIcon;
}

QMessageBox::StandardButtons BoxButtons(Buttons buttons) {
  switch (buttons) {
    case Buttons::OkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case Buttons::YesNo:
      return QMessageBox::Yes | QMessageBox::No;
    case Buttons::YesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    case Buttons::SaveDiscardCancel:
      return QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel;
    case Buttons::Ok:
      break;
  }
  return QMessageBox::Ok;
}

QMessageBox::StandardButton BoxButton(Answer answer) {
  switch (answer) {
    case Answer::Cancel:
      return QMessageBox::Cancel;
    case Answer::Yes:
      return QMessageBox::Yes;
    case Answer::No:
      return QMessageBox::No;
    case Answer::Save:
      return QMessageBox::Save;
    case Answer::Discard:
      return QMessageBox::Discard;
    case Answer::Ok:
      break;
  }
  return QMessageBox::Ok;
}

}  // namespace

std::unique_ptr<QMessageBox> MakeMessageBox(const userport::Message& message, const QString& title,
                                            QWidget* parent) {
  const QString caption = message.caption.empty() ? title : QString::fromStdString(message.caption);
  auto box = std::make_unique<QMessageBox>(BoxIcon(message.icon), caption,
                                           QString::fromStdString(message.text),
                                           BoxButtons(message.buttons), parent);
  box->setObjectName(QString::number(message.string_id));
  box->setDefaultButton(BoxButton(message.default_answer));
  box->setEscapeButton(BoxButton(userport::DeclineAnswer(message.buttons)));
  // A short message would make the box narrower than its title, which the window manager
  // then cuts short ("KYR USB Com…ftware V2.18s"). The box sizes itself from its layout, so
  // the room goes in as a spacer under everything.
  if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
    grid->addItem(new QSpacerItem(TitleRoomWidth(*box), 0, QSizePolicy::Minimum), grid->rowCount(),
                  0, 1, grid->columnCount());
  }
  return box;
}

Answer AnswerOf(const userport::Message& message, int button) {
  switch (button) {
    case QMessageBox::Ok:
      return Answer::Ok;
    case QMessageBox::Cancel:
      return Answer::Cancel;
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    case QMessageBox::Save:
      return Answer::Save;
    case QMessageBox::Discard:
      return Answer::Discard;
    default:
      return userport::DeclineAnswer(message.buttons);
  }
}

Answer ShowMessageBox(const userport::Message& message, const QString& title, QWidget* parent) {
  const auto box = MakeMessageBox(message, title, parent);
  const int button = box->exec();
  if (parent != nullptr) parent->activateWindow();
  return AnswerOf(message, button);
}

}  // namespace kyr::app_common
