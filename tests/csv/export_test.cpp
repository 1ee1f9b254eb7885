#include "csv/export_csv.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "csv/listing.h"
#include "listing_support.h"
#include "settings/initial_values.h"
#include "settings/settings_file.h"
#include "settings/test_support.h"
#include "strings/text_ids.h"

namespace kyr::csv {
namespace {

using settings::testing::ReadAll;
using settings::testing::TempFolder;
using settings::testing::WriteAll;

std::size_t EntriesIn(const std::filesystem::path& folder) {
  std::size_t count = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(folder)) ++count;
  return count;
}

// Writes a settings file of `image` with its comment words as they stand.
void WriteSettings(const std::string& path, const settings::SettingsImage& image) {
  WriteAll(path, settings::FormatSettingsText(image));
}

TEST(ExportCsv, WritesTheListingBesideTheSettingsFileAndAsksBeforeReplacing) {
  TempFolder folder;
  auto image = testing::FreshImage();
  testing::SetDistinctBank(image, 7);
  const std::string settings_path = folder.File("set1.kdta");
  WriteSettings(settings_path, image);
  const std::string csv_path = CsvPathFor(settings_path);
  EXPECT_EQ(csv_path, folder.File("set1.csv"));

  int questions = 0;
  const auto answer = [&questions](bool yes) {
    return [&questions, yes] {
      ++questions;
      return yes;
    };
  };
  ASSERT_EQ(ExportCsv(settings_path, csv_path, Lang::En, answer(false)), ExportResult::kDone);
  EXPECT_EQ(questions, 0);  // nothing there yet: no question
  const std::string written = ReadAll(csv_path);
  EXPECT_EQ(written, FormatCsvListing(image, Lang::En));
  EXPECT_TRUE(written.starts_with("Type,KYR-TC\r\n$$$ COMMON SETTINGS $$$\r\n"));
  EXPECT_NE(written.find("\r\n\r\n*** Bank No. = 7 ***\r\nBank Comment,AB\r\n"), std::string::npos);
  EXPECT_EQ(testing::Count(written, "\n"), testing::Count(written, "\r\n"));
  EXPECT_TRUE(written.ends_with("This is unregistered bank.\r\n"));

  WriteAll(csv_path, "old listing");
  EXPECT_EQ(ExportCsv(settings_path, csv_path, Lang::En, answer(false)), ExportResult::kDeclined);
  EXPECT_EQ(questions, 1);
  EXPECT_EQ(ReadAll(csv_path), "old listing");
  EXPECT_EQ(MessageFor(ExportResult::kDeclined).text, EditorText{});

  EXPECT_EQ(ExportCsv(settings_path, csv_path, Lang::Ja, answer(true)), ExportResult::kDone);
  EXPECT_EQ(questions, 2);
  EXPECT_EQ(ReadAll(csv_path), FormatCsvListing(image, Lang::Ja));
  EXPECT_EQ(EntriesIn(folder.path()), 2u);  // no temporary file left beside them
  EXPECT_EQ(MessageFor(ExportResult::kDone).text, EditorText::kCsvComplete);
  EXPECT_EQ(MessageFor(ExportResult::kDone).caption, EditorText::kCaptionFinish);

  // The file's version and model are listed as they are: no conversion, no model check.
  image[static_cast<std::size_t>(settings::CommonWord(0))] = 0x0105;
  WriteSettings(settings_path, image);
  ASSERT_EQ(ExportCsv(settings_path, csv_path, Lang::En, answer(true)), ExportResult::kDone);
  EXPECT_TRUE(ReadAll(csv_path).starts_with(
      "Type,Undefined Type\r\n$$$ COMMON SETTINGS $$$\r\nSettings Version,1\r\n"));
}

TEST(ExportCsv, ReportsUnreadableShortAndUnwritableFilesLeavingNothingBehind) {
  TempFolder folder;
  const std::string csv_path = folder.File("out.csv");
  const auto never_asked = [] {
    ADD_FAILURE() << "no question expected";
    return true;
  };

  EXPECT_EQ(ExportCsv(folder.File("missing.kdta"), csv_path, Lang::En, never_asked),
            ExportResult::kOpenFailed);
  EXPECT_EQ(MessageFor(ExportResult::kOpenFailed).text, EditorText::kFailToOpenSettings);
  EXPECT_EQ(MessageFor(ExportResult::kOpenFailed).caption, EditorText::kCaptionError);

  // 511 lines: too short, even though every line is well formed.
  const std::string full = settings::FormatSettingsText(testing::FreshImage());
  const std::string short_path = folder.File("short.kdta");
  WriteAll(short_path, full.substr(0, full.size() - 82));
  EXPECT_EQ(ExportCsv(short_path, csv_path, Lang::En, never_asked), ExportResult::kShortFile);
  EXPECT_EQ(MessageFor(ExportResult::kShortFile).text, EditorText::kIllegalContents);
  WriteAll(short_path, "");
  EXPECT_EQ(ExportCsv(short_path, csv_path, Lang::En, never_asked), ExportResult::kShortFile);
  EXPECT_FALSE(std::filesystem::exists(csv_path));

  // A listing that cannot be written is reported, not announced as complete.
  const std::string good_path = folder.File("good.kdta");
  WriteAll(good_path, full);
  EXPECT_EQ(ExportCsv(good_path, folder.File("no/such/folder.csv"), Lang::En, never_asked),
            ExportResult::kCreateFailed);
  EXPECT_EQ(MessageFor(ExportResult::kCreateFailed).text, EditorText::kFailToCreate);
  EXPECT_EQ(WriteCsvListing(testing::FreshImage(), folder.File("no/such.csv"), Lang::En),
            settings::WriteResult::kCannotCreate);
  EXPECT_EQ(WriteCsvListing(testing::FreshImage(), csv_path, Lang::En),
            settings::WriteResult::kWritten);
  EXPECT_EQ(ReadAll(csv_path), FormatCsvListing(testing::FreshImage(), Lang::En));
  std::filesystem::remove(csv_path);
  EXPECT_EQ(MessageFor(ExportResult::kCreateFailed).caption, EditorText::kCaptionError);

  // A folder in the listing's place: asked, then refused as no regular file, and the folder
  // and its contents stay as they were, with no temporary file beside them. A link to nothing
  // is refused with its own message, and nothing appears where it points.
  const std::string folder_path = folder.File("taken.csv");
  std::filesystem::create_directory(folder_path);
  WriteAll(folder_path + "/inside", "kept");
  std::filesystem::create_symlink(folder.File("gone.csv"), folder.File("dangling.csv"));
  const std::size_t entries = EntriesIn(folder.path());
  EXPECT_EQ(ExportCsv(good_path, folder_path, Lang::En, [] { return true; }),
            ExportResult::kNotRegular);
  EXPECT_EQ(MessageFor(ExportResult::kNotRegular).text, EditorText::kNotRegularFile);
  EXPECT_EQ(ExportCsv(good_path, folder.File("dangling.csv"), Lang::En, [] { return true; }),
            ExportResult::kDanglingLink);
  EXPECT_EQ(MessageFor(ExportResult::kDanglingLink).text, EditorText::kDanglingLink);
  EXPECT_FALSE(std::filesystem::exists(folder.File("gone.csv")));
  EXPECT_EQ(ReadAll(folder_path + "/inside"), "kept");
  EXPECT_EQ(EntriesIn(folder.path()), entries);
}

TEST(ExportCsv, ListingPathReplacesOnlyATrailingLowerCaseExtension) {
  EXPECT_EQ(CsvPathFor("set1.kdta"), "set1.csv");
  EXPECT_EQ(CsvPathFor("/data/run 2/set1.kdta"), "/data/run 2/set1.csv");
  EXPECT_EQ(CsvPathFor("set1"), "set1.csv");
  EXPECT_EQ(CsvPathFor("set1.KDTA"), "set1.KDTA.csv");
  EXPECT_EQ(CsvPathFor("set1.kdta.txt"), "set1.kdta.txt.csv");
  EXPECT_EQ(CsvPathFor("a.kdta.kdta"), "a.kdta.csv");
  EXPECT_EQ(CsvPathFor(".kdta"), ".csv");
}

}  // namespace
}  // namespace kyr::csv
