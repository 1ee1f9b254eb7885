#pragma once
// The Generate CSV operation: reads a settings file into an image of its own (the settings
// being edited are never touched) and writes its listing beside it.
#include <functional>
#include <string>
#include <string_view>

#include "settings/settings_file.h"
#include "settings/settings_image.h"
#include "strings/strings.h"

namespace kyr::csv {

enum class [[nodiscard]] ExportResult{
    kDone,
    kDeclined,      // the CSV file exists and the user chose not to replace it
    kOpenFailed,    // the settings file cannot be opened
    kShortFile,     // the settings file has fewer than 512 lines
    kCreateFailed,  // the CSV file could not be written completely
    kDanglingLink,  // the CSV path is a symbolic link to nothing
    kNotRegular,    // the CSV path is a folder, a device or a pipe
};
std::string_view ExportResultName(ExportResult result);

// The message a result is reported with, and its caption; text 0 for none.
struct ExportMessage {
  EditorText text;  // EditorText{} when there is nothing to show
  EditorText caption;
};
ExportMessage MessageFor(ExportResult result);

// Writes the listing of `image` in `lang` to `csv_path` through the atomic writer. When the
// file could not be written completely, a file already there is left as it was. This is the
// editor's Generate CSV writer.
[[nodiscard]] settings::WriteResult WriteCsvListing(const settings::SettingsImage& image,
                                                    const std::string& csv_path, Lang lang);

// The listing's path: a trailing ".kdta" replaced by ".csv", else ".csv" appended.
std::string CsvPathFor(std::string_view settings_path);

// Reads `settings_path`; when `csv_path` exists asks `confirm_overwrite` (kOverwriteQuestion) and
// stops on false; then writes the listing in `lang` through the atomic writer, so that a
// failed write leaves no partial file and keeps the file that was there.
ExportResult ExportCsv(const std::string& settings_path, const std::string& csv_path, Lang lang,
                       const std::function<bool()>& confirm_overwrite);

}  // namespace kyr::csv
