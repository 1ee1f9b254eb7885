#pragma once
// The files a program last opened or saved, newest first, kept between runs in the program's
// XDG configuration folder (recent.ini beside folders.ini), so that a later run can offer them
// again. A file that has gone from its place is dropped when the list is read.
#include <QString>
#include <QStringList>

namespace kyr::app_common {

// How many files the list keeps.
inline constexpr int kRecentFileCount = 8;

// Where the list is kept: recent.ini in the application's folder of the XDG config home.
[[nodiscard]] QString RecentFilesPath();

// The files of the list that still exist, newest first; the missing ones are dropped from the
// stored list too.
[[nodiscard]] QStringList RecentFiles();
// Puts `path` (made absolute) at the head of the list, once, keeping the newest eight.
void AddRecentFile(const QString& path);
// Takes `path` out of the list (a file that could not be read from it).
void ForgetRecentFile(const QString& path);
void ClearRecentFiles();

}  // namespace kyr::app_common
