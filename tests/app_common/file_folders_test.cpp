#include "common/file_folders.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdlib>

namespace kyr::app_common {
namespace {

TEST(FileFolders, KindIsTheFirstFiltersExtension) {
  struct Case {
    std::vector<userport::FileFilter> filters;
    std::string kind;
  };
  const Case cases[] = {
      {{{"KYR data file ( *.kdta )", "*.kdta"}, {"All files ( *.* )", "*.*"}}, "kdta"},
      {{{"All image files ( *.kimg, *.bmp )", "*.kimg;*.bmp"}}, "kimg"},
      {{{"Bitmap", "*.BMP"}}, "bmp"},
      {{{"All files ( *.* )", "*.*"}}, ""},
      {{{"Anything", "*"}}, ""},
      {{}, ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FileKind(c.filters), c.kind) << (c.filters.empty() ? "" : c.filters[0].pattern);
  }
}

// Each kind of file starts in its own last folder, in a later run too (the memory is a file
// in the configuration home); a named folder and a vanished one win over the memory.
TEST(FileFolders, EachKindStartsWhereItWasLastChosen) {
  QTemporaryDir config;
  QTemporaryDir settings_folder;
  QTemporaryDir csv_folder;
  ASSERT_TRUE(config.isValid() && settings_folder.isValid() && csv_folder.isValid());
  ::setenv("XDG_CONFIG_HOME", config.path().toUtf8().constData(), 1);
  ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
  static int argc = 1;
  static char name[] = "app_common_tests";
  static char* argv[] = {name, nullptr};
  if (QApplication::instance() == nullptr) new QApplication(argc, argv);

  RememberFolder("kdta", settings_folder.filePath("a.kdta"));
  RememberFolder("csv", csv_folder.filePath("list.csv"));
  EXPECT_TRUE(QFileInfo::exists(FolderMemoryPath()));
  EXPECT_TRUE(FolderMemoryPath().startsWith(config.path()));

  auto start_folder = [](const std::string& kind, const std::string& initial_name) {
    QFileDialog dialog;
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setDirectory(QDir::rootPath());
    StartInRememberedFolder(dialog, kind, initial_name);
    return dialog.directory().absolutePath();
  };
  EXPECT_EQ(start_folder("kdta", "a.kdta"), settings_folder.path());
  EXPECT_EQ(start_folder("csv", ""), csv_folder.path());
  EXPECT_EQ(start_folder("bmp", ""), QDir::rootPath());            // never chosen
  EXPECT_EQ(start_folder("kdta", "/x/a.kdta"), QDir::rootPath());  // the name has its folder
  const QString gone = csv_folder.path();
  csv_folder.remove();
  EXPECT_EQ(start_folder("csv", ""), QDir::rootPath());
  EXPECT_EQ(RememberedFolder("csv"), gone);
}

}  // namespace
}  // namespace kyr::app_common
