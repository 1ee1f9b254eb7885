#include "window/line_widgets.h"

#include <QApplication>
#include <QDialogButtonBox>
#include <QHeaderView>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>
#include <algorithm>

#include "window/window_text.h"

namespace kyr::ridgemo {
namespace {

constexpr int kResultsWidth = 720;
constexpr int kResultsHeight = 420;
constexpr int kColumnSlack = 24;

}  // namespace

BusyCursor::BusyCursor() {
  QApplication::setOverrideCursor(Qt::WaitCursor);
}

BusyCursor::~BusyCursor() {
  QApplication::restoreOverrideCursor();
}

void CUnitChooser::showPopup() {
  emit AboutToOpen();
  QComboBox::showPopup();
}

CResultsDlg::CResultsDlg(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("LineResults"));
  setModal(false);
  summary_ = new QLabel(this);
  summary_->setObjectName(QStringLiteral("summary"));
  summary_->setWordWrap(true);
  summary_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  list_ = new QTreeWidget(this);
  list_->setObjectName(QStringLiteral("rows"));
  list_->setRootIsDecorated(false);
  list_->setUniformRowHeights(true);
  list_->setAlternatingRowColors(true);
  list_->setSelectionMode(QAbstractItemView::ExtendedSelection);
  list_->header()->setStretchLastSection(true);
  auto* buttons = new QDialogButtonBox(this);
  QPushButton* close =
      buttons->addButton(ToolString(ToolText::kCloseResults), QDialogButtonBox::RejectRole);
  close->setAutoDefault(false);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  auto* column = new QVBoxLayout(this);
  column->addWidget(summary_);
  column->addWidget(list_, 1);
  column->addWidget(buttons);
  resize(sizeHint());
}

QSize CResultsDlg::sizeHint() const {
  int columns = 0;
  for (int c = 0; c < list_->columnCount(); ++c) {
    columns += list_->columnWidth(c);
  }
  // The frame, a vertical scroll bar and a little room after the last column.
  const int frame =
      2 * list_->frameWidth() + list_->verticalScrollBar()->sizeHint().width() + kColumnSlack;
  const int margins = layout() != nullptr
                          ? layout()->contentsMargins().left() + layout()->contentsMargins().right()
                          : 0;
  int width = std::max(kResultsWidth, columns + frame + margins);
  if (const QScreen* shown_on = screen()) {
    width = std::min(width, shown_on->availableGeometry().width() * 9 / 10);
  }
  return {width, kResultsHeight};
}

void CResultsDlg::ShowResult(const QString& title, const QString& summary,
                             const QStringList& columns, const std::vector<QStringList>& rows) {
  setWindowTitle(title);
  summary_->setText(summary);
  list_->clear();
  list_->setColumnCount(static_cast<int>(columns.size()));
  list_->setHeaderLabels(columns);
  QList<QTreeWidgetItem*> items;
  for (const QStringList& row : rows) items.append(new QTreeWidgetItem(row));
  list_->addTopLevelItems(items);
  list_->setHidden(rows.empty());
  // Every column as wide as its widest text; the last one takes what room is left.
  for (int c = 0; c < list_->columnCount(); ++c) list_->resizeColumnToContents(c);
  resize(sizeHint().expandedTo(size()));
  show();
  raise();
  activateWindow();
}

}  // namespace kyr::ridgemo
