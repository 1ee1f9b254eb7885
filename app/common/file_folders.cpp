#include "common/file_folders.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

namespace kyr::app_common {

std::string FileKind(const std::vector<userport::FileFilter>& filters) {
  if (filters.empty()) return {};
  // The first pattern of the filter: "*.kdta" or "*.bmp;*.BMP".
  std::string pattern = filters.front().pattern;
  pattern = pattern.substr(0, pattern.find_first_of("; "));
  const auto dot = pattern.rfind('.');
  if (dot == std::string::npos || pattern.find('*', dot) != std::string::npos) return {};
  std::string kind = pattern.substr(dot + 1);
  for (char& c : kind) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return kind;
}

QString FolderMemoryPath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + '/' +
         QCoreApplication::applicationName() + QStringLiteral("/folders.ini");
}

QString RememberedFolder(const std::string& kind) {
  if (kind.empty()) return {};
  QSettings memory(FolderMemoryPath(), QSettings::IniFormat);
  return memory.value(QStringLiteral("folders/") + QString::fromStdString(kind)).toString();
}

void RememberFolder(const std::string& kind, const QString& chosen_file) {
  if (kind.empty() || chosen_file.isEmpty()) return;
  const QString folder = QFileInfo(chosen_file).absolutePath();
  if (folder == RememberedFolder(kind)) return;
  QSettings memory(FolderMemoryPath(), QSettings::IniFormat);
  memory.setValue(QStringLiteral("folders/") + QString::fromStdString(kind), folder);
}

void StartInRememberedFolder(QFileDialog& dialog, const std::string& kind,
                             const std::string& initial_name) {
  if (initial_name.find('/') != std::string::npos) return;
  const QString folder = RememberedFolder(kind);
  if (!folder.isEmpty() && QDir(folder).exists()) dialog.setDirectory(folder);
}

}  // namespace kyr::app_common
