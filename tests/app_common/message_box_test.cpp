#include "common/message_box.h"
#include "common/window_placement.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <cstdlib>

namespace kyr::app_common {
namespace {

using userport::Answer;
using userport::Buttons;
using userport::Icon;
using userport::Message;

QApplication& App() {
  static int argc = 1;
  static char name[] = "app_common_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = [] {
    if (auto* running = qobject_cast<QApplication*>(QCoreApplication::instance())) return running;
    ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    return new QApplication(argc, argv);
  }();
  return *app;
}

struct BoxCase {
  Buttons buttons;
  Answer default_answer;
  QMessageBox::StandardButtons shown;
  QMessageBox::StandardButton default_button;
  QMessageBox::StandardButton escape_button;
};

const BoxCase kBoxCases[] = {
    {Buttons::Ok, Answer::Ok, QMessageBox::Ok, QMessageBox::Ok, QMessageBox::Ok},
    {Buttons::OkCancel, Answer::Cancel, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Cancel,
     QMessageBox::Cancel},
    {Buttons::YesNo, Answer::Yes, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes,
     QMessageBox::No},
    {Buttons::YesNoCancel, Answer::No, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
     QMessageBox::No, QMessageBox::Cancel},
};

TEST(MessageBox, ButtonsDefaultAndEscapeFollowTheMessage) {
  App();
  for (const BoxCase& c : kBoxCases) {
    SCOPED_TRACE(std::string(userport::ButtonsName(c.buttons)));
    const Message message{143,       "File already exists. Overwrite?",
                          "Warning", Icon::Exclamation,
                          c.buttons, c.default_answer};
    const auto box = MakeMessageBox(message, "Title", nullptr);
    EXPECT_EQ(box->standardButtons(), c.shown);
    EXPECT_EQ(box->defaultButton(), box->button(c.default_button));
    EXPECT_EQ(box->escapeButton(), box->button(c.escape_button));
    // Every button answers for itself; a box ended any other way declines.
    for (const auto& [button, answer] : {std::pair{QMessageBox::Ok, Answer::Ok},
                                         {QMessageBox::Cancel, Answer::Cancel},
                                         {QMessageBox::Yes, Answer::Yes},
                                         {QMessageBox::No, Answer::No}}) {
      if (box->button(button) == nullptr) continue;
      EXPECT_EQ(AnswerOf(message, button), answer);
    }
    EXPECT_EQ(AnswerOf(message, -1), userport::DeclineAnswer(c.buttons));
  }
}

TEST(MessageBox, TextIconCaptionAndNameComeFromTheMessage) {
  App();
  const std::pair<Icon, QMessageBox::Icon> icons[] = {
      {Icon::None, QMessageBox::NoIcon},         {Icon::Information, QMessageBox::Information},
      {Icon::Exclamation, QMessageBox::Warning}, {Icon::Error, QMessageBox::Critical},
      {Icon::Question, QMessageBox::Question},
  };
  for (const auto& [icon, shown] : icons) {
    const auto box =
        MakeMessageBox({129, "Fail to open the settings file.", "Error", icon}, "Title", nullptr);
    EXPECT_EQ(box->icon(), shown) << userport::IconName(icon);
    EXPECT_EQ(box->text(), "Fail to open the settings file.");
    EXPECT_EQ(box->windowTitle(), "Error");
    EXPECT_EQ(box->objectName(), "129");
  }
  // Without a caption of its own the box shows the program's title.
  const auto untitled =
      MakeMessageBox({133, "Fail to open Port.", "", Icon::Error}, "Title", nullptr);
  EXPECT_EQ(untitled->windowTitle(), "Title");
  // A short text still leaves the frame room for a long title.
  const auto short_text = MakeMessageBox({720, "aborted", "", Icon::Error},
                                         "KYR USB Communication Software V2.18s", nullptr);
  short_text->show();
  EXPECT_GE(short_text->width(), TitleRoomWidth(*short_text));
}

TEST(MessageBox, ShownBoxReturnsTheButtonPressed) {
  App();
  const Message question{131,
                         "Specified file exists. Is it OK to overwrite?",
                         "Warning",
                         Icon::Exclamation,
                         Buttons::YesNo,
                         Answer::Yes};
  for (const auto& [button, answer] :
       {std::pair{QMessageBox::No, Answer::No}, {QMessageBox::Yes, Answer::Yes}}) {
    QTimer::singleShot(0, [button = button] {
      auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
      ASSERT_NE(box, nullptr);
      box->button(button)->click();
    });
    EXPECT_EQ(ShowMessageBox(question, "Title", nullptr), answer);
  }
}

}  // namespace
}  // namespace kyr::app_common
