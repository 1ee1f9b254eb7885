#pragma once
// String resources of both programs, by resource id, in English and Japanese.
//
// The editor (tolvane) and the communication tool (ridgemo) number their resources
// independently, so each has its own table, and its own id type (EditorText, ToolText,
// generated from the tables): an id of one table cannot be looked up in the other. The
// value 0 of either type names no text. A process runs in one language, chosen once
// at start-up from the environment or --lang; functions taking a Lang serve tests and the
// few places that need a fixed language.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "strings/text_ids.h"

namespace kyr {

enum class Lang { En, Ja };

// The language of the process (English until SetLanguage is called).
Lang CurrentLanguage();
void SetLanguage(Lang lang);

// "en" or "ja" (as given to --lang); anything else is no language.
std::optional<Lang> ParseLanguage(std::string_view text);

// Japanese when the first set one of LANGUAGE, LC_ALL, LC_MESSAGES, LANG starts with "ja".
Lang LanguageFromEnvironment();

// Text of resource `id`; empty when the table has no text for it in that language.
std::string_view LoadString(EditorText id, Lang lang);
std::string_view LoadString(EditorText id);
std::string_view LoadString(ToolText id, Lang lang);
std::string_view LoadString(ToolText id);
// The name the table gives `id` ("SettingsReadComplete"), for logs and machine-readable
// output; empty for an id the table does not have.
std::string_view TextName(EditorText id);
std::string_view TextName(ToolText id);
bool HasString(EditorText id);
bool HasString(ToolText id);

// The resource number of `id`, as message records and control texts carry it.
constexpr int TextNumber(EditorText id) {
  return static_cast<int>(id);
}
constexpr int TextNumber(ToolText id) {
  return static_cast<int>(id);
}

// Items of a choice list: every item ends with ';'. Text after the last ';' is ignored.
std::vector<std::string_view> SplitList(std::string_view list);

// Item `index` of list resource `id`, or empty when the list has no such item.
std::string_view ListItem(EditorText id, unsigned index, Lang lang);
std::string_view ListItem(ToolText id, unsigned index, Lang lang);

// At most `limit` bytes of `text`, not cutting a UTF-8 sequence in two: Japanese texts
// go into fixed byte budgets.
std::string_view Utf8Prefix(std::string_view text, std::size_t limit);

// Replaces each "%s" and "%d" in `format` by the next argument, in order. Messages keep
// their printf-style placeholders in the tables; this fills them without varargs.
std::string FormatMessage(std::string_view format, const std::vector<std::string>& args);

}  // namespace kyr
