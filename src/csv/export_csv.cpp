#include "csv/export_csv.h"

#include "csv/listing.h"
#include "files/atomic_file.h"
#include "settings/message_ids.h"
#include "settings/settings_file.h"

namespace kyr::csv {

ExportMessage MessageFor(ExportResult result) {
  switch (result) {
    case kExportDone:
      return {EditorText::kCsvComplete, EditorText::kCaptionFinish};
    case kExportOpenFailed:
      return {EditorText::kFailToOpenSettings, EditorText::kCaptionError};
    case kExportShortFile:
      return {EditorText::kIllegalContents, EditorText::kCaptionError};
    case kExportCreateFailed:
      return {EditorText::kFailToCreate, EditorText::kCaptionError};
    case kExportDanglingLink:
      return {EditorText::kDanglingLink, EditorText::kCaptionError};
    case kExportNotRegular:
      return {EditorText::kNotRegularFile, EditorText::kCaptionError};
    case kExportDeclined:
      break;
  }
  return {};
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
    case settings::kReadComplete:
      break;
    case settings::kReadShortFile:
      return kExportShortFile;
    default:
      return kExportOpenFailed;
  }
  if (files::PathExists(csv_path) && !confirm_overwrite()) return kExportDeclined;
  switch (WriteCsvListing(image, csv_path, lang)) {
    case settings::WriteResult::kWritten:
      return kExportDone;
    case settings::WriteResult::kDanglingLink:
      return kExportDanglingLink;
    case settings::WriteResult::kNotRegular:
      return kExportNotRegular;
    case settings::WriteResult::kCannotCreate:
      break;
  }
  return kExportCreateFailed;
}

}  // namespace kyr::csv
