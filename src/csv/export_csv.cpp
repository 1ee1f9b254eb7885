#include "csv/export_csv.h"

#include "csv/listing.h"
#include "files/atomic_file.h"
#include "settings/settings_file.h"
#include "strings/text_ids.h"

namespace kyr::csv {

ExportMessage MessageFor(ExportResult result) {
  switch (result) {
    case ExportResult::kDone:
      return {EditorText::kCsvComplete, EditorText::kCaptionFinish};
    case ExportResult::kOpenFailed:
      return {EditorText::kFailToOpenSettings, EditorText::kCaptionError};
    case ExportResult::kShortFile:
      return {EditorText::kIllegalContents, EditorText::kCaptionError};
    case ExportResult::kCreateFailed:
      return {EditorText::kFailToCreate, EditorText::kCaptionError};
    case ExportResult::kDanglingLink:
      return {EditorText::kDanglingLink, EditorText::kCaptionError};
    case ExportResult::kNotRegular:
      return {EditorText::kNotRegularFile, EditorText::kCaptionError};
    case ExportResult::kDeclined:
      break;
  }
  return {};
}

std::string_view ExportResultName(ExportResult result) {
  switch (result) {
    case ExportResult::kDone:
      return "done";
    case ExportResult::kDeclined:
      return "declined";
    case ExportResult::kOpenFailed:
      return "open failed";
    case ExportResult::kShortFile:
      return "short file";
    case ExportResult::kCreateFailed:
      return "create failed";
    case ExportResult::kDanglingLink:
      return "dangling link";
    case ExportResult::kNotRegular:
      return "not a regular file";
  }
  return "?";
}

settings::WriteResult WriteCsvListing(const settings::SettingsImage& image,
                                      const std::string& csv_path, Lang lang) {
  return settings::WriteCheckedFile(csv_path, FormatCsvListing(image, lang));
}

std::string CsvPathFor(std::string_view settings_path) {
  constexpr std::string_view kSettingsExtension = ".kdta";
  if (settings_path.ends_with(kSettingsExtension)) {
    settings_path.remove_suffix(kSettingsExtension.size());
  }
  return std::string(settings_path) + ".csv";
}

ExportResult ExportCsv(const std::string& settings_path, const std::string& csv_path, Lang lang,
                       const std::function<bool()>& confirm_overwrite) {
  // The listing's own image: the settings being edited stay as they are.
  settings::SettingsImage image{};
  switch (settings::ReadSettingsFile(settings_path, image)) {
    case settings::ReadResult::kComplete:
      break;
    case settings::ReadResult::kShortFile:
      return ExportResult::kShortFile;
    default:
      return ExportResult::kOpenFailed;
  }
  if (files::PathExists(csv_path) && !confirm_overwrite()) return ExportResult::kDeclined;
  switch (WriteCsvListing(image, csv_path, lang)) {
    case settings::WriteResult::kWritten:
      return ExportResult::kDone;
    case settings::WriteResult::kDanglingLink:
      return ExportResult::kDanglingLink;
    case settings::WriteResult::kNotRegular:
      return ExportResult::kNotRegular;
    case settings::WriteResult::kCannotCreate:
      break;
  }
  return ExportResult::kCreateFailed;
}

}  // namespace kyr::csv
