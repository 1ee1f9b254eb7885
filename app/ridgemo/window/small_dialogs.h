#pragma once
// The tool's small modal dialogs: the settings write choices (CPrmWriteDlg), the image
// selections of an image read (CBankSelDlg, CMemSelDlg, CNgSelDlg, CShtSelDlg) and the
// image number of an image write (CWriteSelDlg).
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QPushButton>
#include <cstdint>
#include <vector>

#include "tool/write_choices.h"

namespace kyr::ridgemo {

// "Writes setting value": start, end and destination bank, and the three parts to write.
// WRITE (the default button) accepts; CANCEL or closing the dialog does not.
class CPrmWriteDlg : public QDialog {
  Q_OBJECT

 public:
  CPrmWriteDlg(const tool::WriteChoices& remembered, QWidget* parent);
  // The choices as shown (after WRITE: the ones to remember).
  const tool::WriteChoices& Choices() const { return model_.Shown(); }

 private:
  QComboBox* AddBankCombo(const char* name, int selected);
  void ShowChoices();

  tool::WriteDialogModel model_;
  QComboBox* start_ = nullptr;
  QComboBox* end_ = nullptr;
  QComboBox* target_ = nullptr;
  QCheckBox* common_ = nullptr;
  QCheckBox* alphabet_ = nullptr;
  QCheckBox* dictionary_ = nullptr;
};

// One check box "No.k" per image, and GO, Cancel and Clear. GO accepts with the boxes'
// states in Mask(); Clear unchecks every box and leaves the dialog open.
class CImageSelDlg : public QDialog {
  Q_OBJECT

 public:
  // `boxes` check boxes, box k checked when bit k of `mask` is set.
  CImageSelDlg(const QString& title, int boxes, std::uint64_t mask, QWidget* parent);
  // `mask` with bit k replaced by box k for every box of the dialog (the bits of the
  // 16-bit mask words the boxes cover are rewritten, the others kept).
  std::uint64_t Mask() const;
  QCheckBox* Box(int k) const { return boxes_[static_cast<std::size_t>(k)]; }
  int BoxCount() const { return static_cast<int>(boxes_.size()); }

 private:
  std::vector<QCheckBox*> boxes_;
  std::uint64_t mask_in_;
};

// Bank images "No.0" to "No.31".
class CBankSelDlg : public CImageSelDlg {
  Q_OBJECT
 public:
  CBankSelDlg(std::uint64_t mask, QWidget* parent);
};
// Memory images "No.0" to "No.19".
class CMemSelDlg : public CImageSelDlg {
  Q_OBJECT
 public:
  CMemSelDlg(std::uint64_t mask, QWidget* parent);
};
// NG images "No.0" (the newest) to "No.62".
class CNgSelDlg : public CImageSelDlg {
  Q_OBJECT
 public:
  CNgSelDlg(std::uint64_t mask, QWidget* parent);
};
// Taken images "No.0" to "No.5".
class CShtSelDlg : public CImageSelDlg {
  Q_OBJECT
 public:
  CShtSelDlg(std::uint64_t mask, QWidget* parent);
};

// Opens the selection dialog `dialog_id` (136 bank, 135 memory, 137 NG, 138 taken) with
// `title` and `boxes` check boxes, as the image transfer asks for it. True on GO, with
// `mask` updated; false on Cancel or close, `mask` untouched.
bool RunImageSelection(int dialog_id, const QString& title, int boxes, std::uint64_t& mask,
                       QWidget* parent);

// The image number to write: a list "0" to count - 1, "実行" and "中止" (these texts are
// the same in both languages).
class CWriteSelDlg : public QDialog {
  Q_OBJECT

 public:
  CWriteSelDlg(int count, int number, QWidget* parent);
  int Number() const;

 private:
  QComboBox* list_ = nullptr;
};

}  // namespace kyr::ridgemo
