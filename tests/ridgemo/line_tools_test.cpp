// The window's line tools on a simulated line of two units: backup of one, compare and
// restore onto the other, the questions and refusals before a folder is touched, and the
// unit chooser.
#include <gtest/gtest.h>

#include <QTreeWidget>
#include <filesystem>
#include <fstream>

#include "ridgemo/window_support.h"

namespace kyr::ridgemo::testing {
namespace {

namespace fs = std::filesystem;

QString Cell(const CResultsDlg& results, int row, int column) {
  return results.List()->topLevelItem(row)->text(column);
}

QString Header(const CResultsDlg& results, int column) {
  return results.List()->headerItem()->text(column);
}

void Trigger(LineRig& rig, int id) {
  rig.window->LineAction(id)->trigger();
}

void ChooseUnit(LineRig& rig, const QString& serial) {
  auto* chooser = rig.window->UnitChooser();
  chooser->setCurrentIndex(chooser->findText(serial));
}

// Backup of unit 1 into a new folder, then on unit 2 (whose bank 2 and bank image 1 differ):
// a compare with the backup names both differences, the restore writes the backup in, and
// both compares then find nothing.
TEST(LineTools, BackupOfOneUnitRestoredOntoAnotherThenComparedEqual) {
  LineRig rig(2);
  rig.Unit(1).Head(0).settings[2 * 192] ^= 0x0001;
  rig.Unit(1).Head(0).WriteImageWord({headsim::ImageKind::kBank, 1, 100}, 0x1234);
  auto* chooser = rig.window->UnitChooser();
  ASSERT_EQ(chooser->count(), 2);
  EXPECT_EQ(chooser->itemText(1), "KYRD0002");
  EXPECT_TRUE(rig.window->windowTitle().endsWith("KYRD0001"));

  const std::string dir = rig.folder.File("unit1");
  fs::create_directory(dir);  // made in the dialog, as its New Folder button does
  rig.watcher.Then(ChooseFile(dir));
  Trigger(rig, kIdBackup);
  const CResultsDlg* results = rig.window->Results();
  ASSERT_NE(results, nullptr);
  EXPECT_TRUE(results->Summary().contains("KYRD0001")) << results->Summary().toStdString();
  // Settings, two bank and one memory image, each with its bitmap.
  ASSERT_EQ(results->List()->topLevelItemCount(), 7);
  EXPECT_EQ(Cell(*results, 0, 1), "head1/settings.kdta");
  EXPECT_TRUE(fs::exists(dir + "/head1/bank.01.kimg"));
  EXPECT_TRUE(rig.watcher.boxes.empty());

  ChooseUnit(rig, "KYRD0002");
  EXPECT_TRUE(rig.window->windowTitle().endsWith("KYRD0002"));
  rig.watcher.Then(ChooseFile(dir));
  Trigger(rig, kIdCompareBackup);
  ASSERT_EQ(results->List()->topLevelItemCount(), 2);
  EXPECT_EQ(Header(*results, 3), "Backup unit1");
  EXPECT_EQ(Header(*results, 4), "Unit KYRD0002");
  for (const int row : {0, 1}) {
    EXPECT_EQ(Cell(*results, row, 0), "1");
    EXPECT_NE(Cell(*results, row, 3), Cell(*results, row, 4));  // the values; the checksums
  }

  rig.watcher.Then(ChooseFile(dir));
  rig.watcher.Then(Answer(QMessageBox::Yes));
  Trigger(rig, kIdRestore);
  ASSERT_EQ(rig.watcher.boxes.size(), 1u);  // the question only
  EXPECT_EQ(results->windowTitle(), "Restore");
  EXPECT_EQ(rig.Unit(1).Head(0).settings, rig.Unit(0).Head(0).settings);
  EXPECT_TRUE(rig.Unit(1).Head(0).IsImageStored(headsim::ImageKind::kBank, 1));

  struct Compare {
    int action;
    std::string chosen;
  };
  for (const Compare& c :
       {Compare{kIdCompareBackup, dir}, Compare{kIdCompareFile, dir + "/head1/settings.kdta"}}) {
    rig.watcher.Then(ChooseFile(c.chosen));
    Trigger(rig, c.action);
    EXPECT_EQ(results->List()->topLevelItemCount(), 0) << c.chosen;
    EXPECT_TRUE(results->Summary().endsWith(LoadString(EditorText::kSettingsEqual).data()))
        << results->Summary().toStdString();
  }
  EXPECT_EQ(rig.watcher.boxes.size(), 1u);
}

// In a line backup, Compare with backup finds the chosen unit by its serial number and
// leaves the other units out.
TEST(LineTools, CompareWithALineBackupFindsTheChosenUnit) {
  LineRig rig(2, 0);
  const std::string line = rig.folder.File("line");
  for (const char* serial : {"KYRD0001", "KYRD0002"}) {
    fs::create_directories(line + "/" + serial);
    ChooseUnit(rig, serial);
    rig.watcher.Then(ChooseFile(line + "/" + serial));
    Trigger(rig, kIdBackup);
  }
  rig.Unit(1).Head(0).settings[2 * 192] ^= 0x0001;
  rig.watcher.Then(ChooseFile(line));
  Trigger(rig, kIdCompareBackup);
  const CResultsDlg* results = rig.window->Results();
  ASSERT_NE(results, nullptr);
  EXPECT_EQ(results->List()->topLevelItemCount(), 1);
  EXPECT_EQ(Header(*results, 4), "Unit KYRD0002");
  EXPECT_TRUE(rig.watcher.boxes.empty());
}

// A folder that holds something else is refused before the link opens; an earlier backup is
// replaced only after Yes. Either way the folder is as it was until then.
TEST(LineTools, BackupTouchesAnExistingFolderOnlyWhenItIsABackupAndTheUserSaysYes) {
  LineRig rig(1, 0);
  const std::string stranger = rig.folder.File("photos");
  fs::create_directory(stranger);
  std::ofstream(stranger + "/holiday.jpg") << "jpeg";
  rig.watcher.Then(ChooseFile(stranger));
  Trigger(rig, kIdBackup);
  ASSERT_EQ(rig.watcher.boxes.size(), 1u);
  EXPECT_EQ(rig.watcher.boxes[0].string_id, TextNumber(ToolText::kNotABackup));
  EXPECT_EQ(fs::file_size(stranger + "/holiday.jpg"), 4u);
  EXPECT_EQ(rig.window->Results(), nullptr);

  const std::string dir = rig.folder.File("unit");
  fs::create_directory(dir);
  rig.watcher.Then(ChooseFile(dir));
  Trigger(rig, kIdBackup);
  const auto first = fs::last_write_time(dir + "/manifest.json");
  for (const auto answer : {QMessageBox::No, QMessageBox::Yes}) {
    rig.watcher.Then(ChooseFile(dir));
    rig.watcher.Then(Answer(answer));
    Trigger(rig, kIdBackup);
    EXPECT_EQ(rig.watcher.boxes.back().string_id, TextNumber(ToolText::kReplaceQuestion));
    EXPECT_EQ(fs::last_write_time(dir + "/manifest.json") != first, answer == QMessageBox::Yes);
  }
}

// Abort, clicked once the backup has begun, stops it with its failure said, and the chosen
// folder holds nothing of it.
TEST(LineTools, AbortedBackupLeavesTheFolderAsItWas) {
  LineRig rig(1);
  const std::string dir = rig.folder.File("unit");
  fs::create_directory(dir);
  rig.watcher.Then([&](QWidget* modal) {
    ChooseFile(dir)(modal);
    QTimer::singleShot(0, [&] { rig.Click(kIdAbort); });
  });
  Trigger(rig, kIdBackup);
  ASSERT_FALSE(rig.watcher.boxes.empty());
  EXPECT_EQ(rig.watcher.boxes.back().string_id, TextNumber(ToolText::kBackupFailed))
      << rig.watcher.boxes.front().text.toStdString();
  EXPECT_TRUE(rig.watcher.boxes.back().text.endsWith(LoadString(ToolText::kJobInterrupted).data()));
  EXPECT_TRUE(fs::is_empty(dir));
  EXPECT_EQ(rig.window->Results(), nullptr);
  EXPECT_FALSE(rig.Control(kIdAbort)->isEnabled());
}

// While the monitor holds the link, the chooser and the line tools are disabled, and a
// switch that gets through anyway is undone and said why.
TEST(LineTools, UnitCannotBeSwitchedWhileTheMonitorRuns) {
  LineRig rig(2, 0);
  rig.window->OnImageMonitor();
  EXPECT_FALSE(rig.window->UnitChooser()->isEnabled());
  EXPECT_FALSE(rig.window->LineAction(kIdBackup)->isEnabled());
  ChooseUnit(rig, "KYRD0002");
  EXPECT_EQ(rig.window->UnitChooser()->currentText(), "KYRD0001");
  EXPECT_TRUE(rig.window->windowTitle().endsWith("KYRD0001"));
  EXPECT_EQ(rig.window->MessageLine()->text(), LoadString(ToolText::kUnitSwitchRefused).data());
  rig.window->OnStop();
  ASSERT_TRUE(QTest::qWaitFor([&] { return rig.window->UnitChooser()->isEnabled(); }, 5000));
  ChooseUnit(rig, "KYRD0002");
  EXPECT_TRUE(rig.window->windowTitle().endsWith("KYRD0002"));
}

}  // namespace
}  // namespace kyr::ridgemo::testing
