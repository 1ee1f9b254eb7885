#include <gtest/gtest.h>

#include <cstdlib>

#include "strings/strings.h"

namespace kyr {
namespace {

TEST(StringLists, ItemsEndWithSemicolonAndKeepTheirBlanks) {
  EXPECT_EQ(SplitList("DIRECT; 1/7; 1/10;"),
            (std::vector<std::string_view>{"DIRECT", " 1/7", " 1/10"}));
  EXPECT_TRUE(SplitList("").empty());
  // Text after the last separator is not an item.
  EXPECT_EQ(SplitList("A;B"), (std::vector<std::string_view>{"A"}));
  EXPECT_EQ(SplitList(";;").size(), 2u);
}

// Kana and CJK ideographs, U+3000 to U+9FFF, begin with lead bytes E3 to E9 in UTF-8;
// full-width forms (U+FF00 on) with EF BC to EF BF.
template <typename Id>
void ExpectNoJapaneseScript() {
  for (int id = 1; id < 10000; ++id) {
    if (!HasString(static_cast<Id>(id))) continue;
    const std::string_view text = LoadString(static_cast<Id>(id), Lang::En);
    for (std::size_t at = 0; at < text.size(); ++at) {
      const auto lead = static_cast<unsigned char>(text[at]);
      const auto next = at + 1 < text.size() ? static_cast<unsigned char>(text[at + 1]) : 0;
      const bool japanese = (lead >= 0xE3 && lead <= 0xE9) || (lead == 0xEF && next >= 0xBC);
      EXPECT_FALSE(japanese) << "string " << id << ": " << text;
      if (japanese) break;
    }
  }
}

// Every dialog of the English window speaks English: no English text is left in Japanese.
TEST(StringTables, EnglishTextsHaveNoJapaneseScript) {
  ExpectNoJapaneseScript<EditorText>();
  ExpectNoJapaneseScript<ToolText>();
}

TEST(Language, FirstSetVariableDecides) {
  const char* names[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"};
  for (const char* name : names) unsetenv(name);
  EXPECT_EQ(LanguageFromEnvironment(), Lang::En);
  setenv("LANG", "ja_JP.UTF-8", 1);
  EXPECT_EQ(LanguageFromEnvironment(), Lang::Ja);
  setenv("LC_MESSAGES", "C", 1);  // set earlier in the order, so it wins
  EXPECT_EQ(LanguageFromEnvironment(), Lang::En);
  setenv("LANGUAGE", "ja", 1);
  EXPECT_EQ(LanguageFromEnvironment(), Lang::Ja);
  setenv("LANGUAGE", "", 1);  // empty counts as unset
  EXPECT_EQ(LanguageFromEnvironment(), Lang::En);
  for (const char* name : names) unsetenv(name);
  EXPECT_EQ(ParseLanguage("ja"), Lang::Ja);
  EXPECT_EQ(ParseLanguage("jp"), std::nullopt);
}

TEST(Messages, PlaceholdersAreFilledInOrder) {
  EXPECT_EQ(FormatMessage("Bank %d of %s", {"3", "head"}), "Bank 3 of head");
  EXPECT_EQ(FormatMessage("100% %s", {"done"}), "100% done");
  EXPECT_EQ(FormatMessage("%s and %s", {"one"}), "one and %s");
}

}  // namespace
}  // namespace kyr
