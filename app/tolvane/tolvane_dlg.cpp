#include "tolvane_dlg.h"

#include <QButtonGroup>
#include <QCloseEvent>
#include <QComboBox>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QFontMetrics>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QShortcut>
#include <QSignalBlocker>
#include <QSpacerItem>
#include <QVBoxLayout>
#include <QValidator>

#include "common/recent_files.h"
#include "editor/page_table.h"
#include "settings/field_table.h"
#include "settings/settings_file.h"
#include "settings/settings_image.h"
#include "strings/strings.h"
#include "strings/text_ids.h"

namespace kyr::tolvane {
namespace {

using editor::kRowControls;

// The bank comment holds 20 bytes in the settings file; longer text would be cut there.
constexpr int kCommentBytes = settings::kCommentChars;

QString Text(EditorText id) {
  const std::string_view text = LoadString(id);
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString FromModel(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString IdName(int control_id) {
  return QString::number(control_id);
}

// Accepts a comment only while it fits the file's 20 bytes, so that what is typed is what
// gets saved.
class CommentValidator : public QValidator {
 public:
  using QValidator::QValidator;
  State validate(QString& input, int& /*pos*/) const override {
    return input.toUtf8().size() <= kCommentBytes ? Acceptable : Invalid;
  }
};

// Widths of the row controls, wide enough for the longest list item and number text.
int ComboWidth(const QFontMetrics& metrics) {
  return metrics.horizontalAdvance(QStringLiteral("UNREGISTERED")) + 36;
}
int EditWidth(const QFontMetrics& metrics) {
  return metrics.horizontalAdvance(QStringLiteral("000000.00")) + 12;
}
int LabelWidth(const QFontMetrics& metrics) {
  return metrics.horizontalAdvance(QStringLiteral("Color Selection No.#")) + 8;
}

// The one local .kdta file a drag carries, or empty (several files, other kinds, remote ones).
QString DroppedSettingsFile(const QMimeData* data) {
  if (data == nullptr || !data->hasUrls() || data->urls().size() != 1) return {};
  const QUrl& url = data->urls().front();
  if (!url.isLocalFile()) return {};
  const QString path = url.toLocalFile();
  return QFileInfo(path).suffix().compare(QLatin1String("kdta"), Qt::CaseInsensitive) == 0
             ? path
             : QString();
}

}  // namespace

CTolvaneDlg::CTolvaneDlg(editor::Editor& editor, QWidget* parent)
    : QDialog(parent), editor_(editor) {
  setObjectName("CTolvaneDlg");
  ApplyTitle();
  setWindowIcon(QIcon(QStringLiteral(":/icons/tolvane.svg")));
  // The window has one size (its layout's), so it offers no maximise button. Without
  // CustomizeWindowHint Qt asks the window manager for every frame function, maximise too.
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                 Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowCloseButtonHint);

  // Built in reading order, which is also the Tab order: page buttons, selectors and
  // comment, the left rows, the right rows, the command buttons.
  QLayout* pages = BuildPageButtons();
  QLayout* selectors = BuildSelectors();
  left_group_ = BuildColumn(editor::kLeftGroupBox, 0, editor::kLeftRows);
  right_group_ = BuildColumn(editor::kRightGroupBox, editor::kLeftRows, editor::kRightRows);
  QLayout* commands = BuildCommandButtons();

  auto* columns = new QHBoxLayout;
  columns->setSpacing(10);
  columns->addWidget(left_group_);
  columns->addWidget(right_group_);
  // Both columns end on the same line; the right one's spare rows leave space at its foot.
  right_group_->setMinimumHeight(left_group_->sizeHint().height());

  auto* main_column = new QVBoxLayout;
  main_column->setSpacing(8);
  main_column->addLayout(pages);
  main_column->addLayout(selectors);
  main_column->addLayout(columns);

  auto* outer = new QHBoxLayout(this);
  outer->setContentsMargins(12, 10, 12, 12);
  outer->setSpacing(14);
  outer->addLayout(main_column);
  outer->addLayout(commands);
  outer->setSizeConstraint(QLayout::SetFixedSize);

  // The desktop's keys for saving and opening are the Save Settings and Read Settings buttons.
  connect(new QShortcut(QKeySequence::Save, this), &QShortcut::activated, this,
          [this] { OnButton(editor::kSaveSettings); });
  connect(new QShortcut(QKeySequence::Open, this), &QShortcut::activated, this,
          [this] { OnButton(editor::kReadSettings); });
  setAcceptDrops(true);
}

CTolvaneDlg::~CTolvaneDlg() = default;

// ---- Building ---------------------------------------------------------------------------

QLayout* CTolvaneDlg::BuildPageButtons() {
  auto* line = new QHBoxLayout;
  line->setSpacing(16);
  page_group_ = new QButtonGroup(this);
  page_group_->setExclusive(true);
  for (int page = 1; page <= editor::kPageCount; ++page) {
    const int id = editor::kPageButtons[static_cast<std::size_t>(page - 1)];
    // The texts keep "&&" for a shown "&", as button texts do.
    auto* button =
        new QRadioButton(Text(editor::kPageButtonTexts[static_cast<std::size_t>(page - 1)]));
    button->setObjectName(IdName(id));
    page_group_->addButton(button, page);
    page_buttons_[static_cast<std::size_t>(page - 1)] = button;
    line->addWidget(button);
    connect(button, &QRadioButton::clicked, this, [this, id] { OnButton(id); });
  }
  line->addStretch(1);
  return line;
}

QComboBox* CTolvaneDlg::MakeSelector(int control_id, int first_number) {
  auto* selector = new QComboBox;
  selector->setObjectName(IdName(control_id));
  const int count =
      control_id == editor::kBankSelector ? settings::kBankCount : settings::kWindowCount;
  for (int i = 0; i < count; ++i) selector->addItem(QString::number(first_number + i));
  selector->setMaxVisibleItems(16);
  selector->setMinimumWidth(fontMetrics().horizontalAdvance(QStringLiteral("00")) + 40);
  return selector;
}

QPushButton* CTolvaneDlg::MakeButton(int control_id, EditorText text_id) {
  auto* button = new QPushButton(Text(text_id));
  button->setObjectName(IdName(control_id));
  // Enter is the window's business: a button never takes it as the default action.
  button->setAutoDefault(false);
  button->setDefault(false);
  connect(button, &QPushButton::clicked, this, [this, control_id] { OnButton(control_id); });
  return button;
}

QLayout* CTolvaneDlg::BuildSelectors() {
  auto* line = new QHBoxLayout;
  line->setSpacing(4);

  auto arrow = [this](int id, const char* text) {
    QPushButton* button = MakeButton(id, EditorText{});
    button->setText(QString::fromLatin1(text));
    button->setFixedWidth(fontMetrics().horizontalAdvance(QStringLiteral("<")) + 22);
    return button;
  };

  bank_selector_ = MakeSelector(editor::kBankSelector, 0);
  connect(bank_selector_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index < 0) return;
    editor_.SelectBank(index);
    ApplyModel();
  });
  window_selector_ = MakeSelector(editor::kWindowSelector, 1);
  connect(window_selector_, &QComboBox::currentIndexChanged, this, [this](int index) {
    if (index < 0) return;
    editor_.SelectWindow(index);
    ApplyModel();
  });

  line->addWidget(new QLabel(Text(EditorText::kBankNo)));
  line->addWidget(bank_selector_);
  line->addWidget(arrow(editor::kBankDown, "<"));
  line->addWidget(arrow(editor::kBankUp, ">"));
  line->addSpacing(18);
  line->addWidget(new QLabel(Text(EditorText::kWindowNo)));
  line->addWidget(window_selector_);
  line->addWidget(arrow(editor::kWindowDown, "<"));
  line->addWidget(arrow(editor::kWindowUp, ">"));
  line->addSpacing(18);

  comment_ = new QLineEdit;
  comment_->setObjectName(IdName(editor::kBankComment));
  comment_->setMaxLength(kCommentBytes);
  comment_->setValidator(new CommentValidator(comment_));
  comment_->setMinimumWidth(fontMetrics().horizontalAdvance(QString(kCommentBytes, QChar('M'))) +
                            12);
  connect(comment_, &QLineEdit::textChanged, this, [this](const QString& text) {
    editor_.TypeComment(text.toStdString());
    ApplyModifiedMark();
  });
  line->addWidget(new QLabel(Text(EditorText::kBankComment)));
  line->addWidget(comment_, 1);
  return line;
}

QLayout* CTolvaneDlg::BuildCommandButtons() {
  auto* column = new QVBoxLayout;
  column->setSpacing(8);
  const int width = fontMetrics().horizontalAdvance(QStringLiteral("Initialize")) + 40;
  const int height = fontMetrics().lineSpacing() * 2 + 16;
  auto add = [&](int id, EditorText text_id) {
    QPushButton* button = MakeButton(id, text_id);
    button->setMinimumSize(width, height);
    column->addWidget(button);
  };
  add(editor::kReadSettings, EditorText::kReadSettings);
  // Recent Files opens its menu (on a click, Enter or Space) instead of a command.
  recent_button_ = new QPushButton(Text(EditorText::kRecentFiles));
  recent_button_->setObjectName(IdName(editor::kRecentFiles));
  recent_button_->setAutoDefault(false);
  recent_button_->setMinimumSize(width, height);
  recent_menu_ = new QMenu(recent_button_);
  recent_menu_->setObjectName(QStringLiteral("RecentMenu"));
  connect(recent_menu_, &QMenu::aboutToShow, this, &CTolvaneDlg::FillRecentMenu);
  recent_button_->setMenu(recent_menu_);
  column->addWidget(recent_button_);
  ApplyRecentButton();
  add(editor::kSaveSettings, EditorText::kSaveSettings);
  add(editor::kGenerateCsv, EditorText::kGenerateCsv);
  column->addSpacing(16);
  add(editor::kInitialize, EditorText::kInitialize);
  column->addStretch(1);
  add(editor::kCompareFile, EditorText::kCompareFile);
  column->addSpacing(16);
  add(editor::kExit, EditorText::kExit);
  return column;
}

QGroupBox* CTolvaneDlg::BuildColumn(int control_id, int first_row, int row_count) {
  auto* group = new QGroupBox;
  group->setObjectName(IdName(control_id));
  auto* grid = new QGridLayout(group);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(3);
  grid->setContentsMargins(10, 8, 10, 8);
  const QFontMetrics metrics = fontMetrics();
  grid->setColumnMinimumWidth(0, LabelWidth(metrics));
  grid->setColumnStretch(0, 1);

  for (int i = 0; i < row_count; ++i) {
    const int row = first_row + i;
    const editor::RowControlIds& ids = kRowControls[static_cast<std::size_t>(row)];
    RowWidgets& widgets = rows_[static_cast<std::size_t>(row)];

    widgets.label = new QLabel;
    widgets.label->setObjectName(IdName(ids.label));
    widgets.label->setTextFormat(Qt::PlainText);

    widgets.combo = new QComboBox;
    widgets.combo->setObjectName(IdName(ids.combo));
    widgets.combo->setFixedWidth(ComboWidth(metrics));
    widgets.combo->setMaxVisibleItems(18);
    connect(widgets.combo, &QComboBox::currentIndexChanged, this,
            [this, id = ids.combo](int index) {
              editor_.SelectComboItem(id, index);
              ApplyModel();
            });

    widgets.edit = new QLineEdit;
    widgets.edit->setObjectName(IdName(ids.edit));
    widgets.edit->setFixedWidth(EditWidth(metrics));
    widgets.edit->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    connect(widgets.edit, &QLineEdit::textChanged, this,
            [this, id = ids.edit](const QString& text) {
              editor_.TypeEditText(id, text.toStdString());
              ApplyModifiedMark();
            });

    grid->addWidget(widgets.label, i, 0);
    grid->addWidget(widgets.combo, i, 1);
    grid->addWidget(widgets.edit, i, 2);
  }
  // The right column has fewer rows: the space below them takes the difference in height,
  // so both columns keep the same row pitch.
  grid->addItem(new QSpacerItem(0, 0, QSizePolicy::Minimum, QSizePolicy::Expanding), row_count, 0);
  grid->setRowStretch(row_count, 1);
  return group;
}

// ---- Model to widgets -----------------------------------------------------------------------

void CTolvaneDlg::StartUp() {
  editor_.Start();
  ApplyModel();
}

void CTolvaneDlg::ReadFile(const std::string& path) {
  editor_.ReadSettingsPath(path);
  ApplyModel();
}

void CTolvaneDlg::ApplyModel() {
  const editor::Changes changes = editor_.TakeChanges();
  const editor::WindowState& state = editor_.Window();
  for (int row = 0; row < editor::kRowCount; ++row) {
    if (changes.rows.test(static_cast<std::size_t>(row))) {
      ApplyRow(row, state.rows[static_cast<std::size_t>(row)]);
    }
  }
  if (changes.captions) {
    left_group_->setTitle(FromModel(state.left_caption));
    right_group_->setTitle(FromModel(state.right_caption));
  }
  if (changes.bank_selector || changes.window_selector) ApplySelectors();
  if (changes.page_buttons) ApplyPageButtons();
  if (changes.comment) ApplyComment();
  if (editor_.OpenFile() != titled_file_) ApplyTitle();
  ApplyModifiedMark();
  // Later, not inside the handler that stored the edit: that may be a click on the list.
  if (comparison_window_ != nullptr &&
      (compared_.image != editor_.Image() || compared_.comments != editor_.Comments())) {
    QMetaObject::invokeMethod(this, &CTolvaneDlg::RefreshComparison, Qt::QueuedConnection);
  }
}

// "a.kdta[*] - KYR-TC Parameter Editor V2.01Beta"; Qt shows the mark as '*' while the
// window is marked modified.
void CTolvaneDlg::ApplyTitle() {
  titled_file_ = editor_.OpenFile();
  const QString program = Text(EditorText::kTitle);
  if (titled_file_.empty()) {
    setWindowTitle(program + QStringLiteral("[*]"));
    return;
  }
  const QString path = QString::fromStdString(titled_file_);
  setWindowTitle(QFileInfo(path).fileName() + QStringLiteral("[*] - ") + program);
  // A file just read or saved under a new name heads the recent files.
  if (remembers_files_) app_common::AddRecentFile(path);
  ApplyRecentButton();
}

void CTolvaneDlg::ApplyRecentButton() {
  if (recent_button_ != nullptr) recent_button_->setEnabled(!app_common::RecentFiles().isEmpty());
}

// "&1 a.kdta  (/home/user/work)": the number is the entry's key, and the folder tells files
// of the same name apart.
void CTolvaneDlg::FillRecentMenu() {
  recent_menu_->clear();
  const QStringList files = app_common::RecentFiles();
  for (qsizetype i = 0; i < files.size(); ++i) {
    const QFileInfo file(files[i]);
    QString name = file.fileName();
    name.replace(QLatin1Char('&'), QStringLiteral("&&"));
    QAction* entry = recent_menu_->addAction(
        QStringLiteral("&%1 %2  (%3)").arg(i + 1).arg(name, file.absolutePath()));
    entry->setData(files[i]);
    // After the menu has closed: reading may ask questions of its own.
    connect(entry, &QAction::triggered, this, [this, path = files[i]] {
      QMetaObject::invokeMethod(
          this, [this, path] { ReadFile(path.toStdString()); }, Qt::QueuedConnection);
    });
  }
  if (files.isEmpty()) {
    recent_menu_->addAction(Text(EditorText::kNoRecentFiles))->setEnabled(false);
  } else {
    recent_menu_->addSeparator();
    connect(recent_menu_->addAction(Text(EditorText::kClearRecentFiles)), &QAction::triggered, this,
            [this] {
              app_common::ClearRecentFiles();
              ApplyRecentButton();
            });
  }
}

void CTolvaneDlg::ApplyModifiedMark() {
  setWindowModified(editor_.HasUnsavedEdits());
}

void CTolvaneDlg::ApplyRow(int row, const editor::RowState& state) {
  RowWidgets& widgets = rows_[static_cast<std::size_t>(row)];
  widgets.label->setText(FromModel(state.label));
  widgets.label->setEnabled(state.label_enabled);

  {
    const QSignalBlocker blocker(widgets.combo);
    if (widgets.items != state.items) {
      widgets.combo->clear();
      QStringList items;
      items.reserve(static_cast<qsizetype>(state.items.size()));
      for (const std::string& item : state.items) items << FromModel(item);
      widgets.combo->addItems(items);
      widgets.items = state.items;
    }
    widgets.combo->setCurrentIndex(state.selection);
    widgets.combo->setEnabled(state.combo_enabled);
  }
  {
    const QSignalBlocker blocker(widgets.edit);
    const QString text = FromModel(state.edit_text);
    if (widgets.edit->text() != text) widgets.edit->setText(text);
    widgets.edit->setEnabled(state.edit_enabled);
  }
}

void CTolvaneDlg::ApplySelectors() {
  const editor::WindowState& state = editor_.Window();
  const QSignalBlocker bank_blocker(bank_selector_);
  const QSignalBlocker window_blocker(window_selector_);
  bank_selector_->setCurrentIndex(state.bank_selection);
  window_selector_->setCurrentIndex(state.window_selection);
}

void CTolvaneDlg::ApplyPageButtons() {
  const int page = editor_.Window().checked_page;
  if (page < 1 || page > editor::kPageCount) return;
  const QSignalBlocker blocker(page_group_);
  page_buttons_[static_cast<std::size_t>(page - 1)]->setChecked(true);
}

void CTolvaneDlg::ApplyComment() {
  const QSignalBlocker blocker(comment_);
  comment_->setText(FromModel(editor_.Window().comment));
}

QWidget* CTolvaneDlg::Control(int control_id) const {
  return findChild<QWidget*>(IdName(control_id));
}

// ---- Widgets to model ---------------------------------------------------------------------

void CTolvaneDlg::CompareWithFile(const std::string& path) {
  std::optional<editor::Editor::ComparisonInput> input;
  if (path.empty()) {
    input = editor_.ChooseComparisonFile();
  } else if (editor_.RefreshMainWindow()) {
    // A file named on the command line: read as the dialog's choice would be.
    input.emplace();
    input->path = path;
    if (settings::ReadSettingsFile(path, input->file) != settings::ReadResult::kComplete)
      input.reset();
    if (input) input->open = settings::WithComments(editor_.Image(), editor_.Comments());
  }
  ApplyModel();
  if (!input) return;
  compared_.file = input->file;
  compared_.path = input->path;
  ShowComparison(input->open);
  comparison_window_->show();
}

// Compares again with the open settings as Save Settings would write them (bank comments in
// their words), when they changed since the list was made.
void CTolvaneDlg::RefreshComparison() {
  if (comparison_window_ == nullptr) return;
  if (compared_.image == editor_.Image() && compared_.comments == editor_.Comments()) return;
  ShowComparison(settings::WithComments(editor_.Image(), editor_.Comments()));
}

void CTolvaneDlg::ShowComparison(const settings::SettingsImage& open) {
  compared_.image = editor_.Image();
  compared_.comments = editor_.Comments();
  const Lang lang = CurrentLanguage();
  const compare::Comparison comparison = compare::CompareSettings(open, compared_.file, lang);
  differences_ = comparison.differences;
  if (comparison_window_ == nullptr) {
    comparison_window_ = new QDialog(this);
    comparison_window_->setObjectName(QStringLiteral("ComparisonWindow"));
    comparison_window_->setWindowFlag(Qt::WindowContextHelpButtonHint, false);
    comparison_window_->setWindowTitle(Text(EditorText::kCompareTitle));
    auto* layout = new QVBoxLayout(comparison_window_);
    auto* summary = new QLabel;
    summary->setObjectName(QStringLiteral("ComparisonSummary"));
    summary->setWordWrap(true);
    layout->addWidget(summary);
    comparison_list_ = new QListWidget;
    comparison_list_->setObjectName(QStringLiteral("ComparisonList"));
    comparison_list_->setMinimumSize(fontMetrics().horizontalAdvance(QString(64, QChar('M'))),
                                     fontMetrics().lineSpacing() * 18);
    connect(comparison_list_, &QListWidget::itemClicked, this,
            [this](QListWidgetItem* item) { ShowDifference(comparison_list_->row(item)); });
    layout->addWidget(comparison_list_);
    auto* hint = new QLabel(Text(EditorText::kCompareHint));
    layout->addWidget(hint);
    PlaceComparisonWindow();
  }
  const std::string open_name(LoadString(EditorText::kOpenSettings, lang));
  QString summary = QString::fromStdString(compared_.path);
  const std::string note = compare::ConversionNote(comparison, open_name, compared_.path, lang);
  if (!note.empty()) summary += QLatin1Char('\n') + QString::fromStdString(note);
  const std::string count = comparison.Equal()
                                ? std::string(LoadString(EditorText::kSettingsEqual, lang))
                                : FormatMessage(LoadString(EditorText::kSettingsDiffer, lang),
                                                {std::to_string(differences_.size())});
  summary += QLatin1Char('\n') + QString::fromStdString(count);
  comparison_window_->findChild<QLabel*>(QStringLiteral("ComparisonSummary"))->setText(summary);
  comparison_list_->clear();
  for (const compare::Difference& difference : differences_)
    comparison_list_->addItem(QString::fromStdString(compare::DifferenceLine(difference, lang)));
}

// Beside the editor, where it leaves the fields a click jumps to in sight: right of the
// editor, else left of it, else at the screen's right edge.
void CTolvaneDlg::PlaceComparisonWindow() {
  comparison_window_->adjustSize();
  const QRect editor = frameGeometry();
  const QRect screen_area = screen() != nullptr ? screen()->availableGeometry() : QRect();
  const int width = comparison_window_->frameGeometry().width();
  int x = editor.right() + 1;
  if (screen_area.isValid() && x + width > screen_area.right() + 1) {
    x = editor.left() - width >= screen_area.left() ? editor.left() - width
                                                    : screen_area.right() + 1 - width;
  }
  comparison_window_->move(x, editor.top());
}

void CTolvaneDlg::ShowDifference(int row) {
  if (row < 0 || row >= static_cast<int>(differences_.size())) return;
  const compare::Difference& d = differences_[static_cast<std::size_t>(row)];
  int bank = editor_.CurrentBank() == 255 ? 0 : editor_.CurrentBank();
  int window = editor_.CurrentWindow();
  if (d.where == compare::Where::kBank || d.where == compare::Where::kWindow) bank = d.bank;
  if (d.where == compare::Where::kWindow) window = d.window;
  constexpr int kBankArea = settings::kBankCount * settings::kBankWords;
  if (d.where == compare::Where::kWord && d.word < kBankArea) {
    bank = d.word / settings::kBankWords;
    const int k = d.word % settings::kBankWords - settings::kFirstWindowWord;
    if (k >= 0) window = k / settings::kWindowWords;
  }
  const settings::Field* function = settings::FindField(settings::FieldId::kInspectFunction,
                                                        settings::SettingsVersion(editor_.Image()));
  const int inspection =
      function != nullptr ? settings::ReadFieldValue(editor_.Image(), *function, bank, window) : 0;
  const int page = d.where == compare::Where::kWord ? 0 : editor::PageOfField(d.field, inspection);
  editor_.ShowPlace(page, bank, window);
  ApplyModel();
}

void CTolvaneDlg::OnButton(int control_id) {
  if (control_id == editor::kCompareFile) {
    CompareWithFile();
    return;
  }
  if (editor_.ClickButton(control_id) == editor::ButtonResult::kCloseWindow) {
    done(QDialog::Accepted);
    return;
  }
  ApplyModel();
}

void CTolvaneDlg::closeEvent(QCloseEvent* event) {
  const bool may_close = editor_.MayDiscardEdits();
  ApplyModel();
  if (!may_close) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void CTolvaneDlg::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedSettingsFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CTolvaneDlg::dropEvent(QDropEvent* event) {
  const QString path = DroppedSettingsFile(event->mimeData());
  if (path.isEmpty()) return;
  event->acceptProposedAction();
  // Read after the drop has ended: the messages of reading must not run inside it.
  QMetaObject::invokeMethod(
      this, [this, path] { ReadFile(path.toStdString()); }, Qt::QueuedConnection);
}

void CTolvaneDlg::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter: {
      QWidget* focused = focusWidget();
      auto* button = qobject_cast<QAbstractButton*>(focused);
      bool has_id = false;
      if (button != nullptr) button->objectName().toInt(&has_id);
      if (has_id && button->isEnabled()) button->click();
      event->accept();
      return;
    }
    case Qt::Key_Escape:
      event->accept();
      return;
    default:
      QDialog::keyPressEvent(event);
  }
}

}  // namespace kyr::tolvane
