#pragma once
// The folder each kind of file was last chosen in, kept between runs in the program's XDG
// configuration folder, so that a file dialog opens where the user last was for that kind.
#include <QString>
#include <string>
#include <vector>

#include "userport/user_port.h"

class QFileDialog;

namespace kyr::app_common {

// The kind of file a dialog is for: the extension of its first filter ("kdta", "csv", "bmp",
// ...); empty when the first filter names no extension.
[[nodiscard]] std::string FileKind(const std::vector<userport::FileFilter>& filters);

// Where the folders are kept: folders.ini in the application's folder of the XDG config home.
[[nodiscard]] QString FolderMemoryPath();

// The folder last remembered for `kind`, or empty.
[[nodiscard]] QString RememberedFolder(const std::string& kind);
void RememberFolder(const std::string& kind, const QString& chosen_file);

// Starts `dialog` in the folder remembered for `kind`, unless `initial_name` names a folder of
// its own or the remembered one is gone.
void StartInRememberedFolder(QFileDialog& dialog, const std::string& kind,
                             const std::string& initial_name);

}  // namespace kyr::app_common
