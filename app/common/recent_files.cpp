#include "common/recent_files.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace kyr::app_common {
namespace {

const QString kKey = QStringLiteral("recent/files");

QStringList Stored() {
  return QSettings(RecentFilesPath(), QSettings::IniFormat).value(kKey).toStringList();
}

// Writes only when the list changed: an unchanged list leaves the file as it is.
void Store(const QStringList& files) {
  if (files == Stored()) return;
  QSettings memory(RecentFilesPath(), QSettings::IniFormat);
  if (files.isEmpty()) {
    memory.remove(kKey);
  } else {
    memory.setValue(kKey, files);
  }
}

}  // namespace

QString RecentFilesPath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + '/' +
         QCoreApplication::applicationName() + QStringLiteral("/recent.ini");
}

QStringList RecentFiles() {
  QStringList files = Stored();
  files.removeIf([](const QString& path) { return !QFileInfo(path).isFile(); });
  Store(files);
  return files;
}

void AddRecentFile(const QString& path) {
  if (path.isEmpty()) return;
  const QString absolute = QFileInfo(path).absoluteFilePath();
  QStringList files = Stored();
  files.removeAll(absolute);
  files.prepend(absolute);
  while (files.size() > kRecentFileCount) files.removeLast();
  Store(files);
}

void ForgetRecentFile(const QString& path) {
  QStringList files = Stored();
  files.removeAll(QFileInfo(path).absoluteFilePath());
  Store(files);
}

void ClearRecentFiles() {
  Store({});
}

}  // namespace kyr::app_common
