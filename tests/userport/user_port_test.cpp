#include "userport/user_port.h"

#include <gtest/gtest.h>

#include "userport/file_filters.h"

namespace kyr::userport {
namespace {

struct ButtonsCase {
  Buttons buttons;
  bool question;
  Answer accept;
  Answer decline;
  std::string_view name;
};

constexpr ButtonsCase kButtonsCases[] = {
    {Buttons::Ok, false, Answer::Ok, Answer::Ok, "OK"},
    {Buttons::OkCancel, true, Answer::Ok, Answer::Cancel, "OK/Cancel"},
    {Buttons::YesNo, true, Answer::Yes, Answer::No, "Yes/No"},
    {Buttons::YesNoCancel, true, Answer::Yes, Answer::Cancel, "Yes/No/Cancel"},
};

TEST(UserPort, EachButtonSetHasItsQuestionAcceptAndDeclineAnswers) {
  for (const ButtonsCase& c : kButtonsCases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(ButtonsName(c.buttons), c.name);
    EXPECT_EQ(IsQuestion(c.buttons), c.question);
    EXPECT_EQ(AnswerName(AcceptAnswer(c.buttons)), AnswerName(c.accept));
    EXPECT_EQ(AnswerName(DeclineAnswer(c.buttons)), AnswerName(c.decline));
  }
}

TEST(UserPort, EveryIconAndAnswerHasADistinctName) {
  const std::string_view icons[] = {IconName(Icon::None), IconName(Icon::Information),
                                    IconName(Icon::Exclamation), IconName(Icon::Error),
                                    IconName(Icon::Question)};
  const std::string_view answers[] = {AnswerName(Answer::Ok), AnswerName(Answer::Cancel),
                                      AnswerName(Answer::Yes), AnswerName(Answer::No)};
  for (const auto& names :
       {std::vector<std::string_view>(std::begin(icons), std::end(icons)),
        std::vector<std::string_view>(std::begin(answers), std::end(answers))}) {
    for (std::size_t i = 0; i < names.size(); ++i) {
      EXPECT_NE(names[i], "?");
      for (std::size_t j = i + 1; j < names.size(); ++j) EXPECT_NE(names[i], names[j]);
    }
  }
}

TEST(UserPort, SettingsFilesAreOfferedFirstThenAllFiles) {
  const auto& filters = SettingsFileFilters();
  ASSERT_EQ(filters.size(), 2u);
  EXPECT_EQ(filters[0].label, "KYR data file ( *.kdta )");
  EXPECT_EQ(filters[0].pattern, "*.kdta");
  EXPECT_EQ(filters[1].label, "All files(*.*)");
  EXPECT_EQ(filters[1].pattern, "*.*");
}

}  // namespace
}  // namespace kyr::userport
