#include "strings/strings.h"

#include <algorithm>
#include <cstdlib>
#include <span>

#include "strings/table_data.h"

namespace kyr {
namespace {

using strings_detail::Entry;

Lang g_language = Lang::En;

std::span<const Entry> Entries(EditorText) {
  return {strings_detail::kEditorEntries, strings_detail::kEditorCount};
}
std::span<const Entry> Entries(ToolText) {
  return {strings_detail::kToolEntries, strings_detail::kToolCount};
}

template <typename Id>
const Entry* Find(Id text) {
  const int id = TextNumber(text);
  const auto entries = Entries(text);
  const auto it = std::lower_bound(entries.begin(), entries.end(), id,
                                   [](const Entry& e, int key) { return e.id < key; });
  return it != entries.end() && it->id == id ? &*it : nullptr;
}

}  // namespace

Lang CurrentLanguage() {
  return g_language;
}
void SetLanguage(Lang lang) {
  g_language = lang;
}

std::optional<Lang> ParseLanguage(std::string_view text) {
  if (text == "en") return Lang::En;
  if (text == "ja") return Lang::Ja;
  return std::nullopt;
}

Lang LanguageFromEnvironment() {
  for (const char* name : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value != nullptr && *value != '\0') {
      return std::string_view(value).starts_with("ja") ? Lang::Ja : Lang::En;
    }
  }
  return Lang::En;
}

namespace {

template <typename Id>
std::string_view Load(Id id, Lang lang) {
  const Entry* entry = Find(id);
  if (entry == nullptr) return {};
  return lang == Lang::Ja ? entry->ja : entry->en;
}

template <typename Id>
std::string_view Item(Id id, unsigned index, Lang lang) {
  const std::string_view list = Load(id, lang);
  std::size_t start = 0;
  for (unsigned i = 0;; ++i) {
    const std::size_t end = list.find(';', start);
    if (end == std::string_view::npos) return {};
    if (i == index) return list.substr(start, end - start);
    start = end + 1;
  }
}

}  // namespace

std::string_view LoadString(EditorText id, Lang lang) {
  return Load(id, lang);
}
std::string_view LoadString(EditorText id) {
  return Load(id, g_language);
}
std::string_view LoadString(ToolText id, Lang lang) {
  return Load(id, lang);
}
std::string_view LoadString(ToolText id) {
  return Load(id, g_language);
}
std::string_view TextName(EditorText id) {
  const Entry* entry = Find(id);
  return entry == nullptr ? std::string_view() : entry->name;
}
std::string_view TextName(ToolText id) {
  const Entry* entry = Find(id);
  return entry == nullptr ? std::string_view() : entry->name;
}
bool HasString(EditorText id) {
  return Find(id) != nullptr;
}
bool HasString(ToolText id) {
  return Find(id) != nullptr;
}
std::string_view ListItem(EditorText id, unsigned index, Lang lang) {
  return Item(id, index, lang);
}
std::string_view ListItem(ToolText id, unsigned index, Lang lang) {
  return Item(id, index, lang);
}

std::vector<std::string_view> SplitList(std::string_view list) {
  std::vector<std::string_view> items;
  std::size_t start = 0;
  for (std::size_t end; (end = list.find(';', start)) != std::string_view::npos; start = end + 1) {
    items.push_back(list.substr(start, end - start));
  }
  return items;
}

std::string_view Utf8Prefix(std::string_view text, std::size_t limit) {
  if (text.size() <= limit) return text;
  std::size_t length = limit;
  while (length > 0 && (static_cast<unsigned char>(text[length]) & 0xC0) == 0x80) --length;
  return text.substr(0, length);
}

std::string FormatMessage(std::string_view format, const std::vector<std::string>& args) {
  std::string out;
  std::size_t next = 0;
  for (std::size_t i = 0; i < format.size(); ++i) {
    const bool placeholder =
        format[i] == '%' && i + 1 < format.size() && (format[i + 1] == 's' || format[i + 1] == 'd');
    if (placeholder && next < args.size()) {
      out += args[next++];
      ++i;
    } else {
      out += format[i];
    }
  }
  return out;
}

}  // namespace kyr
