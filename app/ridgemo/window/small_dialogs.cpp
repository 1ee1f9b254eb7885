#include "window/small_dialogs.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>
#include <algorithm>

#include "common/window_placement.h"
#include "window/window_text.h"

namespace kyr::ridgemo {
namespace {

constexpr int kGoId = 1045;
constexpr int kCancelId = 1046;
constexpr int kClearId = 1090;
constexpr int kWriteSelGoId = 1045;
constexpr int kWriteSelListId = 1046;
constexpr int kWriteSelCancelId = 1047;
constexpr int kOkId = 1;         // WRITE
constexpr int kCancelDlgId = 2;  // CANCEL
constexpr int kBoxesPerColumn = 10;
constexpr int kMaskWordBits = 16;

// Control id of check box k: "No.0" to "No.19" are 1025 to 1044, the rest from 1047.
int CheckBoxId(int k) {
  return k < 20 ? 1025 + k : 1047 + (k - 20);
}

QPushButton* AddButton(QBoxLayout* row, ToolText text_id, int control_id, QDialog* dialog) {
  auto* button = new QPushButton(ToolString(text_id), dialog);
  SetControlId(button, control_id);
  button->setAutoDefault(false);
  row->addWidget(button);
  return button;
}

// Small dialogs are narrower than their titles: the window manager would cut the title short
// ("Memory I…Selection").
void LeaveRoomForTitle(QDialog* dialog) {
  dialog->setMinimumWidth(app_common::TitleRoomWidth(*dialog));
}

}  // namespace

CPrmWriteDlg::CPrmWriteDlg(const tool::WriteChoices& remembered, QWidget* parent)
    : QDialog(parent), model_(remembered) {
  setWindowTitle(ToolString(ToolText::kPrmWriteTitle));
  auto* grid = new QGridLayout;
  start_ = AddBankCombo("startBank", remembered.start_bank);
  end_ = AddBankCombo("endBank", remembered.end_bank);
  target_ = AddBankCombo("targetBank", remembered.target_bank);
  grid->addWidget(new QLabel(ToolString(ToolText::kStartBank), this), 0, 0);
  grid->addWidget(start_, 0, 1);
  grid->addWidget(new QLabel(ToolString(ToolText::kEndBank), this), 1, 0);
  grid->addWidget(end_, 1, 1);
  grid->addWidget(new QLabel(ToolString(ToolText::kTargetBank), this), 2, 0);
  grid->addWidget(target_, 2, 1);

  common_ = new QCheckBox(ToolString(ToolText::kCommon), this);
  alphabet_ = new QCheckBox(ToolString(ToolText::kAlphabet), this);
  dictionary_ = new QCheckBox(ToolString(ToolText::kDictionary), this);
  common_->setObjectName("common");
  alphabet_->setObjectName("alphabet");
  dictionary_->setObjectName("dictionary");
  auto* parts = new QVBoxLayout;
  parts->addWidget(common_);
  parts->addWidget(alphabet_);
  parts->addWidget(dictionary_);

  auto* buttons = new QVBoxLayout;
  auto* write = new QPushButton(ToolString(ToolText::kWrite), this);
  auto* cancel = new QPushButton(ToolString(ToolText::kCancelWrite), this);
  SetControlId(write, kOkId);
  SetControlId(cancel, kCancelDlgId);
  write->setDefault(true);
  buttons->addWidget(write);
  buttons->addWidget(cancel);
  buttons->addStretch();

  auto* columns = new QHBoxLayout(this);
  columns->addLayout(grid);
  columns->addLayout(parts);
  columns->addLayout(buttons);
  ShowChoices();

  connect(start_, &QComboBox::activated, this, [this](int bank) {
    model_.ChooseStartBank(bank);
    ShowChoices();
  });
  connect(end_, &QComboBox::activated, this, [this](int bank) { model_.ChooseEndBank(bank); });
  connect(target_, &QComboBox::activated, this,
          [this](int bank) { model_.ChooseTargetBank(bank); });
  connect(common_, &QCheckBox::toggled, this, [this](bool on) { model_.SetCommon(on); });
  connect(alphabet_, &QCheckBox::toggled, this, [this](bool on) { model_.SetAlphabet(on); });
  connect(dictionary_, &QCheckBox::toggled, this, [this](bool on) { model_.SetDictionary(on); });
  connect(write, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
}

QComboBox* CPrmWriteDlg::AddBankCombo(const char* name, int selected) {
  auto* combo = new QComboBox(this);
  combo->setObjectName(name);
  for (int bank = 0; bank <= tool::kLastBank; ++bank) combo->addItem(QString::number(bank));
  combo->setCurrentIndex(selected);
  return combo;
}

void CPrmWriteDlg::ShowChoices() {
  const tool::WriteChoices& shown = model_.Shown();
  start_->setCurrentIndex(shown.start_bank);
  end_->setCurrentIndex(shown.end_bank);
  target_->setCurrentIndex(shown.target_bank);
  common_->setChecked(shown.common);
  alphabet_->setChecked(shown.alphabet);
  dictionary_->setChecked(shown.dictionary);
}

CImageSelDlg::CImageSelDlg(const QString& title, int boxes, std::uint64_t mask, QWidget* parent)
    : QDialog(parent), mask_in_(mask) {
  setWindowTitle(title);
  auto* grid = new QGridLayout;
  for (int k = 0; k < boxes; ++k) {
    auto* box = new QCheckBox(QStringLiteral("No.%1").arg(k), this);
    SetControlId(box, CheckBoxId(k));
    box->setChecked(((mask >> k) & 1U) != 0);
    grid->addWidget(box, k % kBoxesPerColumn, k / kBoxesPerColumn);
    boxes_.push_back(box);
  }
  auto* buttons = new QVBoxLayout;
  QPushButton* go = AddButton(buttons, ToolText::kGo, kGoId, this);
  QPushButton* cancel = AddButton(buttons, ToolText::kCancel, kCancelId, this);
  QPushButton* clear = AddButton(buttons, ToolText::kClear, kClearId, this);
  go->setDefault(true);
  buttons->addStretch();
  auto* columns = new QHBoxLayout(this);
  columns->addLayout(grid);
  columns->addSpacing(12);
  columns->addLayout(buttons);

  connect(go, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  connect(clear, &QPushButton::clicked, this, [this] {
    for (QCheckBox* box : boxes_) box->setChecked(false);
  });
  LeaveRoomForTitle(this);
}

std::uint64_t CImageSelDlg::Mask() const {
  // The mask words the boxes reach are rewritten whole: bits past the last box but in the
  // same word come out clear.
  const int words = (BoxCount() + kMaskWordBits - 1) / kMaskWordBits;
  const std::uint64_t covered =
      words >= 4 ? ~std::uint64_t{0} : (std::uint64_t{1} << (words * kMaskWordBits)) - 1;
  std::uint64_t mask = mask_in_ & ~covered;
  for (int k = 0; k < BoxCount(); ++k) {
    if (boxes_[static_cast<std::size_t>(k)]->isChecked()) mask |= std::uint64_t{1} << k;
  }
  return mask;
}

CBankSelDlg::CBankSelDlg(std::uint64_t mask, QWidget* parent)
    : CImageSelDlg(ToolString(ToolText::kBankSelTitle), 32, mask, parent) {}
CMemSelDlg::CMemSelDlg(std::uint64_t mask, QWidget* parent)
    : CImageSelDlg(ToolString(ToolText::kMemSelTitle), 20, mask, parent) {}
CNgSelDlg::CNgSelDlg(std::uint64_t mask, QWidget* parent)
    : CImageSelDlg(ToolString(ToolText::kNgSelTitle), 63, mask, parent) {}
CShtSelDlg::CShtSelDlg(std::uint64_t mask, QWidget* parent)
    : CImageSelDlg(ToolString(ToolText::kShtSelTitle), 6, mask, parent) {}

bool RunImageSelection(int dialog_id, const QString& title, int boxes, std::uint64_t& mask,
                       QWidget* parent) {
  CImageSelDlg dialog(title, std::clamp(boxes, 0, 64), mask, parent);
  SetControlId(&dialog, dialog_id);
  if (dialog.exec() != QDialog::Accepted) return false;
  mask = dialog.Mask();
  return true;
}

CWriteSelDlg::CWriteSelDlg(int count, int number, QWidget* parent) : QDialog(parent) {
  setWindowTitle(ToolString(ToolText::kWriteSelTitle));
  list_ = new QComboBox(this);
  SetControlId(list_, kWriteSelListId);
  for (int k = 0; k < count; ++k) list_->addItem(QString::number(k));
  // A remembered number past this type's images is brought into range: something valid is
  // always selected.
  list_->setCurrentIndex(count > 0 ? std::clamp(number, 0, count - 1) : -1);
  auto* row = new QHBoxLayout;
  row->addWidget(new QLabel(ToolString(ToolText::kWriteSelLabel), this));
  row->addWidget(list_, 1);
  auto* buttons = new QHBoxLayout;
  QPushButton* go = AddButton(buttons, ToolText::kWriteSelGo, kWriteSelGoId, this);
  QPushButton* cancel = AddButton(buttons, ToolText::kWriteSelCancel, kWriteSelCancelId, this);
  go->setDefault(true);
  auto* column = new QVBoxLayout(this);
  column->addLayout(row);
  column->addLayout(buttons);
  connect(go, &QPushButton::clicked, this, &QDialog::accept);
  connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
  LeaveRoomForTitle(this);
}

int CWriteSelDlg::Number() const {
  return std::max(0, list_->currentIndex());
}

}  // namespace kyr::ridgemo
