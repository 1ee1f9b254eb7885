#pragma once
// The widgets of the window's line tools: the unit chooser in the menu bar, and the window
// that lists what a backup, restore or compare did.
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QStringList>
#include <QTreeWidget>
#include <vector>

namespace kyr::ridgemo {

// The busy cursor for as long as it lives, whichever way the command ends.
class BusyCursor {
 public:
  BusyCursor();
  ~BusyCursor();
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

// A drop-down list that says when it is about to open, so that its entries can be listed
// afresh (a unit plugged in since).
class CUnitChooser : public QComboBox {
  Q_OBJECT

 public:
  using QComboBox::QComboBox;
  void showPopup() override;

 signals:
  void AboutToOpen();
};

// What the last line tool did: a summary line above a list with one row per file or per
// differing setting. It stays open beside the main window until closed or replaced.
class CResultsDlg : public QDialog {
  Q_OBJECT

 public:
  explicit CResultsDlg(QWidget* parent);

  // Replaces what is shown and brings the window up.
  void ShowResult(const QString& title, const QString& summary, const QStringList& columns,
                  const std::vector<QStringList>& rows);

  // Wide enough for every column of the rows shown, as far as the screen allows.
  QSize sizeHint() const override;

  QString Summary() const { return summary_->text(); }
  QTreeWidget* List() const { return list_; }

 private:
  QLabel* summary_ = nullptr;
  QTreeWidget* list_ = nullptr;
};

}  // namespace kyr::ridgemo
