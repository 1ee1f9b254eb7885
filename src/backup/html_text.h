#pragma once
// Text put into the pages a backup and an audit write (index.html, audit.html).
#include <string>
#include <string_view>

namespace kyr::backup {

// `text` with the characters HTML gives a meaning (& < > " ') written as references, so that
// file names, ports and setting labels show as they are in any element or attribute.
std::string HtmlEscaped(std::string_view text);

}  // namespace kyr::backup
