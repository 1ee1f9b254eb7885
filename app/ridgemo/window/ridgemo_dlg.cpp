#include "window/ridgemo_dlg.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <iostream>

#include "common/file_folders.h"
#include "common/message_box.h"
#include "images/ops/image_types.h"
#include "images/ops/save_bitmap.h"
#include "tool/messages.h"
#include "tool/selections_file.h"
#include "transfer/transfer.h"
#include "window/console_key_filter.h"
#include "window/help_page.h"
#include "window/image_area.h"
#include "window/serial_ports.h"
#include "window/small_dialogs.h"
#include "window/window_text.h"

namespace kyr::ridgemo {
namespace {

constexpr int kPaintReductionEnglish = 78;  // painted height: client height less this
constexpr int kPaintReductionJapanese = 63;
constexpr int kDefaultCanvasScale = 2;
constexpr int kHeadEntries = 3;
constexpr int kImageTypeEntries = 4;

QString PlainText(const std::string& text) {
  return QString::fromStdString(text);
}

// Long single-line captions are broken at the space nearest their middle, as a multi-line
// button shows them.
QString ButtonCaption(const QString& text) {
  if (text.contains('\n') || text.size() <= 12) return text;
  const qsizetype middle = text.size() / 2;
  qsizetype best = -1;
  for (qsizetype at = text.indexOf(' '); at >= 0; at = text.indexOf(' ', at + 1)) {
    if (best < 0 || std::abs(at - middle) < std::abs(best - middle)) best = at;
  }
  if (best < 0) return text;
  QString wrapped = text;
  wrapped[best] = '\n';
  return wrapped;
}

// "Label (patterns)": Qt reads the patterns from the last parentheses and, with the
// details hidden, shows the label exactly.
QStringList NameFilters(const std::vector<userport::FileFilter>& filters) {
  QStringList list;
  for (const userport::FileFilter& filter : filters) {
    QString patterns = PlainText(filter.pattern);
    patterns.replace(';', ' ');
    list << PlainText(filter.label) + " (" + patterns + ")";
  }
  return list;
}

// While a question is open during a busy command, the pointer is the normal one again.
class NormalCursorWhileAsking {
 public:
  NormalCursorWhileAsking() : pushed_(QApplication::overrideCursor() != nullptr) {
    if (pushed_) QApplication::setOverrideCursor(Qt::ArrowCursor);
  }
  ~NormalCursorWhileAsking() {
    if (pushed_) QApplication::restoreOverrideCursor();
  }
  NormalCursorWhileAsking(const NormalCursorWhileAsking&) = delete;
  NormalCursorWhileAsking& operator=(const NormalCursorWhileAsking&) = delete;

 private:
  bool pushed_;
};

// The busy cursor for as long as it lives, whichever way the command ends.
class BusyCursor {
 public:
  BusyCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }
  ~BusyCursor() { QApplication::restoreOverrideCursor(); }
  BusyCursor(const BusyCursor&) = delete;
  BusyCursor& operator=(const BusyCursor&) = delete;
};

}  // namespace

CRidgemoDlg::CRidgemoDlg(link::LinkEnvironment environment, std::string selections_path,
                         SelectionsUse use, QWidget* parent)
    : QDialog(parent),
      device_(environment.device_serial),
      device_folder_(environment.device_folder),
      link_(std::move(environment)),
      image_state_(std::make_unique<images::ImageState>()),
      monitor_(std::make_unique<monitor::MonitorState>()),
      selections_path_(selections_path.empty() ? tool::SelectionsFilePath()
                                               : std::move(selections_path)),
      selections_use_(use) {
  // A unit chosen with --device is named in the title, so that with several heads plugged
  // in the user sees which one the buttons talk to.
  setWindowTitle(device_.empty() ? ToolString(ToolText::kTitle)
                                 : ToolString(ToolText::kTitle) + QStringLiteral(" \u2014 ") +
                                       QString::fromStdString(device_));
  setWindowFlags(Qt::Window | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint);
  frame_timer_.setSingleShot(true);
  frame_timer_.setTimerType(Qt::PreciseTimer);
  connect(&frame_timer_, &QTimer::timeout, this, &CRidgemoDlg::OnMonitorTick);
  BuildControls();
  LoadSelections();
  qApp->installEventFilter(new ConsoleKeyFilter(*this));
  resize(images::kCanvasWidth * kDefaultCanvasScale,
         images::kCanvasHeight * kDefaultCanvasScale +
             (JapaneseLayout() ? kPaintReductionJapanese : kPaintReductionEnglish));
}

CRidgemoDlg::~CRidgemoDlg() {
  frame_timer_.stop();
  link_.CloseLink(false);
}

QPushButton* CRidgemoDlg::AddToolButton(ToolText text_id, int control_id,
                                        void (CRidgemoDlg::*handler)()) {
  auto* button = new QPushButton(ButtonCaption(ToolString(text_id)), this);
  SetControlId(button, control_id);
  button->setAutoDefault(false);
  // As wide as the longest caption line: the tool bar has to leave room for the boxes.
  int text_width = 0;
  for (const QString& line : button->text().split('\n')) {
    text_width = std::max(text_width, button->fontMetrics().horizontalAdvance(line));
  }
  button->setFixedWidth(std::max(text_width + 14, 52));
  button->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
  connect(button, &QPushButton::clicked, this, handler);
  return button;
}

void CRidgemoDlg::BuildControls() {
  image_monitor_ =
      AddToolButton(ToolText::kImageMonitor, kIdImageMonitor, &CRidgemoDlg::OnImageMonitor);
  stop_ = AddToolButton(ToolText::kStop, kIdStop, &CRidgemoDlg::OnStop);
  save_bmp_ = AddToolButton(ToolText::kSaveBmp, kIdSaveBmp, &CRidgemoDlg::OnSaveBmp);
  read_image_ = AddToolButton(ToolText::kReadImage, kIdReadImage, &CRidgemoDlg::OnReadImage);
  write_image_ = AddToolButton(ToolText::kWriteImage, kIdWriteImage, &CRidgemoDlg::OnWriteImage);
  read_settings_ =
      AddToolButton(ToolText::kReadSettings, kIdReadSettings, &CRidgemoDlg::OnReadSettings);
  write_settings_ =
      AddToolButton(ToolText::kWriteSettings, kIdWriteSettings, &CRidgemoDlg::OnWriteSettings);
  exit_ = AddToolButton(ToolText::kExit, kIdExit, &CRidgemoDlg::OnExit);
  help_ = AddToolButton(ToolText::kHelp, kIdHelp, &CRidgemoDlg::OnHelp);
  abort_ = AddToolButton(ToolText::kAbort, kIdAbort, &CRidgemoDlg::OnAbort);
  stop_->setEnabled(false);
  abort_->setEnabled(false);

  target_head_ = new QComboBox(this);
  SetControlId(target_head_, kIdTargetHead);
  for (int head = 1; head <= kHeadEntries; ++head) target_head_->addItem(QString::number(head));
  image_type_ = new QComboBox(this);
  SetControlId(image_type_, kIdImageType);
  for (unsigned type = 0; type < kImageTypeEntries; ++type) {
    image_type_->addItem(ToolListItem(ToolText::kImageTypeList, type));
  }
  port_ = new QComboBox(this);
  SetControlId(port_, kIdPort);
  port_->setEditable(true);
  port_->setInsertPolicy(QComboBox::NoInsert);
  port_->setMinimumContentsLength(9);
  target_head_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  image_type_->setSizeAdjustPolicy(QComboBox::AdjustToContents);
  FillPortBox();
  connect(port_, &QComboBox::currentTextChanged, this, &CRidgemoDlg::ShowCommandState);
  connect(image_type_, &QComboBox::currentIndexChanged, this, &CRidgemoDlg::ShowCommandState);

  progress_ = new QProgressBar(this);
  SetControlId(progress_, kIdProgress);
  progress_->setTextVisible(false);
  progress_->setRange(0, 100);
  progress_->setValue(0);
  image_number_ = new QLabel(this);
  SetControlId(image_number_, kIdImageNumber);
  image_number_->setFrameShape(QFrame::StyledPanel);
  image_number_->setMinimumWidth(32);
  image_number_->setAlignment(Qt::AlignCenter);

  auto* head_label = new QLabel(ToolString(ToolText::kTargetHead), this);
  auto* type_label = new QLabel(ToolString(ToolText::kImageType), this);
  auto* number_label = new QLabel(ToolString(ToolText::kImageNumber), this);
  head_label->setBuddy(target_head_);
  type_label->setBuddy(image_type_);

  // Right of the tool bar: the boxes above, progress and the small buttons below.
  auto* boxes = new QHBoxLayout;
  boxes->setSpacing(4);
  boxes->addWidget(head_label);
  boxes->addWidget(target_head_);
  boxes->addSpacing(6);
  boxes->addWidget(type_label);
  boxes->addWidget(image_type_);
  boxes->addSpacing(6);
  boxes->addWidget(port_, 1);
  auto* status = new QHBoxLayout;
  status->setSpacing(4);
  status->addWidget(progress_, 1);
  status->addWidget(number_label);
  status->addWidget(image_number_);
  for (QPushButton* small : {exit_, help_, abort_}) {
    small->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Preferred);
    status->addWidget(small);
  }
  auto* right = new QVBoxLayout;
  right->setSpacing(2);
  right->addLayout(boxes);
  right->addLayout(status);

  // The tool bar ends where the monitor's pointer mapping takes the picture to start.
  const int header_height = monitor::PictureTop(JapaneseLayout());
  auto* header = new QWidget(this);
  header->setFixedHeight(header_height);
  auto* bar = new QHBoxLayout(header);
  bar->setContentsMargins(3, 3, 3, 3);
  bar->setSpacing(3);
  for (QPushButton* button : {image_monitor_, stop_, save_bmp_, read_image_, write_image_,
                              read_settings_, write_settings_}) {
    button->setParent(header);
    bar->addWidget(button);
  }
  bar->addSpacing(6);
  bar->addLayout(right, 1);
  for (QWidget* widget : std::initializer_list<QWidget*>{
           target_head_, image_type_, port_, progress_, image_number_, exit_, help_, abort_,
           head_label, type_label, number_label}) {
    widget->setParent(header);
  }

  image_area_ = new ImageArea(image_state_->canvas, this);
  SetControlId(image_area_, kIdPicture);
  image_area_->SetHeightReduction(JapaneseLayout() ? kPaintReductionJapanese
                                                   : kPaintReductionEnglish);
  image_area_->setToolTip(ToolString(ToolText::kPictureTip));
  connect(image_area_, &ImageArea::Clicked, this, &CRidgemoDlg::OnPictureClicked);

  auto* column = new QVBoxLayout(this);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(0);
  column->addWidget(header);
  column->addWidget(image_area_, 1);
  message_line_ = new QLabel(this);
  message_line_->setObjectName(QStringLiteral("MessageLine"));
  message_line_->setWordWrap(true);
  message_line_->setContentsMargins(6, 3, 6, 3);
  message_line_->hide();
  column->addWidget(message_line_);
  // No smaller than the tool bar's controls need side by side, nor than a quarter-size picture.
  setMinimumSize(column->minimumSize().expandedTo(
      QSize(images::kCanvasWidth / 2, header_height + images::kCanvasHeight / 2)));
}

void CRidgemoDlg::ShowMessageLine(const QString& text) {
  message_line_->setText(text);
  message_line_->show();
}

void CRidgemoDlg::ReportTraceFailures(link::TraceLog& trace, const std::string& text) {
  trace.OnWriteFailure([this, text] {
    std::cerr << text << '\n' << std::flush;
    ShowMessageLine(QString::fromStdString(text));
  });
}

void CRidgemoDlg::FillPortBox() {
  port_->addItem(QStringLiteral("USB"));
  for (int com = 1; com <= 9; ++com) port_->addItem(QStringLiteral("COM%1").arg(com));
  for (const std::string& device : FindSerialDevices(device_folder_)) {
    port_->addItem(QString::fromStdString(device));
  }
  // Paths such as /dev/serial/by-id/usb-..., wider than the box: the list opens as wide as
  // its longest entry, and the tool tip shows the whole chosen path, so the box itself keeps
  // its place and size among the other controls.
  port_->view()->setTextElideMode(Qt::ElideNone);
  port_->view()->setMinimumWidth(port_->view()->sizeHintForColumn(0) +
                                 2 * port_->view()->frameWidth() + 8);
  port_->setToolTip(port_->currentText());
  connect(port_, &QComboBox::currentTextChanged, port_, &QComboBox::setToolTip);
}

void CRidgemoDlg::LoadSelections() {
  tool::Selections selections = tool::ReadSelectionsFile(selections_path_);
  if (selections_use_ == SelectionsUse::kSimulatedHead) {
    selections = tool::SelectionsForSimulatedHead(selections);
  }
  target_head_->setCurrentIndex(selections.head);
  image_type_->setCurrentIndex(selections.image_type);
  port_->setCurrentIndex(0);
  if (selections.port) port_->setEditText(QString::fromStdString(*selections.port));
}

bool CRidgemoDlg::Busy() const {
  return command_running_ || monitor_->running;
}

template <typename Operation>
void CRidgemoDlg::RunCommand(Operation&& operation) {
  if (Busy()) return;  // a click let through while another command runs
  command_running_ = true;
  operation();
  command_running_ = false;
}

images::ImageOpsContext CRidgemoDlg::ImageOpsContext() {
  return {*this,
          link_,
          *image_state_,
          PortText(),
          target_head_->currentIndex(),
          image_type_->currentIndex()};
}

monitor::MonitorContext CRidgemoDlg::MonitorContext() {
  return {*this, *this, link_, *monitor_, image_state_->canvas};
}

// ---- tool::ToolHost ----

userport::Answer CRidgemoDlg::ShowMessage(const userport::Message& message) {
  NormalCursorWhileAsking normal_cursor;
  return app_common::ShowMessageBox(tool::WithFailureNote(message, link_.LastFailure()),
                                    ToolString(ToolText::kTitle), this);
}

namespace {

std::vector<std::string> RunFileDialog(QWidget* parent,
                                       const std::vector<userport::FileFilter>& filters,
                                       const std::string& initial_name,
                                       QFileDialog::AcceptMode accept, QFileDialog::FileMode mode) {
  NormalCursorWhileAsking normal_cursor;
  QFileDialog dialog(parent);
  dialog.setOption(QFileDialog::DontUseNativeDialog);
  dialog.setOption(QFileDialog::HideNameFilterDetails);
  // The commands ask their own overwrite question.
  dialog.setOption(QFileDialog::DontConfirmOverwrite);
  dialog.setAcceptMode(accept);
  dialog.setFileMode(mode);
  dialog.setNameFilters(NameFilters(filters));
  const std::string kind = app_common::FileKind(filters);
  app_common::StartInRememberedFolder(dialog, kind, initial_name);
  if (!initial_name.empty()) dialog.selectFile(QString::fromStdString(initial_name));
  std::vector<std::string> chosen;
  if (dialog.exec() == QDialog::Accepted) {
    for (const QString& file : dialog.selectedFiles()) chosen.push_back(file.toStdString());
    if (!dialog.selectedFiles().isEmpty()) {
      app_common::RememberFolder(kind, dialog.selectedFiles().front());
    }
  }
  if (parent != nullptr) parent->activateWindow();
  return chosen;
}

}  // namespace

std::optional<std::string> CRidgemoDlg::AskSaveFile(
    const std::vector<userport::FileFilter>& filters, const std::string& initial_name) {
  auto chosen =
      RunFileDialog(this, filters, initial_name, QFileDialog::AcceptSave, QFileDialog::AnyFile);
  if (chosen.empty()) return std::nullopt;
  return chosen.front();
}

std::optional<std::string> CRidgemoDlg::AskOpenFile(
    const std::vector<userport::FileFilter>& filters, const std::string& initial_name) {
  auto chosen = RunFileDialog(this, filters, initial_name, QFileDialog::AcceptOpen,
                              QFileDialog::ExistingFile);
  if (chosen.empty()) return std::nullopt;
  return chosen.front();
}

std::vector<std::string> CRidgemoDlg::AskOpenFiles(
    const std::vector<userport::FileFilter>& filters) {
  return RunFileDialog(this, filters, {}, QFileDialog::AcceptOpen, QFileDialog::ExistingFiles);
}

void CRidgemoDlg::SetProgressRange(int low, int high) {
  progress_->setRange(low, high);
}

void CRidgemoDlg::SetProgressPosition(int position) {
  progress_->setValue(position);
  // The settings transfers let no events run: show the bar now.
  progress_->repaint();
}

void CRidgemoDlg::ProcessPendingEvents(int /*count*/) {
  // Qt has no "one message": let what is queued now run once.
  QCoreApplication::processEvents(QEventLoop::AllEvents);
}

bool CRidgemoDlg::AskWriteChoices(tool::WriteChoices& choices) {
  NormalCursorWhileAsking normal_cursor;
  CPrmWriteDlg dialog(choices, this);
  if (dialog.exec() != QDialog::Accepted) return false;
  choices = dialog.Choices();
  return true;
}

bool CRidgemoDlg::AskImageSelection(const tool::ImageSelectionDialog& dialog, std::uint64_t& mask) {
  return RunImageSelection(dialog.dialog_id, QString::fromStdString(dialog.title), dialog.boxes,
                           mask, this);
}

bool CRidgemoDlg::AskImageNumber(int count, int& number) {
  NormalCursorWhileAsking normal_cursor;
  CWriteSelDlg dialog(count, number, this);
  if (dialog.exec() != QDialog::Accepted) return false;
  number = dialog.Number();
  return true;
}

void CRidgemoDlg::ShowImageNumber(int number) {
  image_number_->setText(QString::number(number));
  image_number_->repaint();
}

void CRidgemoDlg::EnableAbort(bool enabled) {
  abort_->setEnabled(enabled);
}

void CRidgemoDlg::EnableCommands(bool enabled) {
  commands_enabled_ = enabled;
  ShowCommandState();
}

void CRidgemoDlg::ShowCommandState() {
  for (QWidget* widget :
       std::initializer_list<QWidget*>{save_bmp_, exit_, read_settings_, write_settings_,
                                       read_image_, target_head_, image_type_}) {
    widget->setEnabled(commands_enabled_);
  }
  image_monitor_->setEnabled(commands_enabled_ &&
                             link::TransportForPort(PortText()) == link::LinkMode::Usb);
  const images::ImageType type = images::ImageTypeOf(image_type_->currentIndex()).type;
  write_image_->setEnabled(commands_enabled_ &&
                           (type == images::ImageType::Bank || type == images::ImageType::Memory));
}

template <typename Transfer>
void CRidgemoDlg::RunSettingsTransfer(Transfer&& transfer) {
  RunCommand([this, &transfer] {
    EnableCommands(false);
    BusyCursor busy;
    // Shown now: from here until the transfer's messages no window events are handled.
    repaint();
    transfer();
    EnableCommands(true);
  });
}

// ---- monitor::MonitorWindow ----

std::string CRidgemoDlg::PortText() {
  return port_->currentText().toStdString();
}

void CRidgemoDlg::ShowMonitorRunning(bool running) {
  EnableCommands(!running);
  stop_->setEnabled(running);
  if (running) image_area_->setFocus(Qt::OtherFocusReason);
}

void CRidgemoDlg::StartFrameTimer(int milliseconds) {
  frame_timer_.start(milliseconds);
}

void CRidgemoDlg::KillFrameTimer() {
  frame_timer_.stop();
}

void CRidgemoDlg::PaintCanvas() {
  image_area_->repaint();
}

void CRidgemoDlg::ConsoleKeyPressed(int code) {
  monitor::PressConsoleKey(*monitor_, code);
}

// ---- handlers ----

void CRidgemoDlg::OnImageMonitor() {
  // The USB open lets events run: no other command may start meanwhile.
  RunCommand([this] {
    monitor::MonitorContext ctx = MonitorContext();
    static_cast<void>(monitor::StartMonitor(ctx, monitor::StartedBy::kButton));
  });
}

void CRidgemoDlg::OnStop() {
  monitor::StopMonitor(*monitor_);
}

void CRidgemoDlg::OnMonitorTick() {
  monitor::MonitorContext ctx = MonitorContext();
  monitor::MonitorTick(ctx);
}

void CRidgemoDlg::OnPictureClicked(QPoint window_position) {
  monitor::PictureClicked(*monitor_, window_position.x(), window_position.y(), width(), height(),
                          JapaneseLayout());
}

void CRidgemoDlg::OnSaveBmp() {
  RunCommand([this] { static_cast<void>(images::SaveCanvasBitmap(*this, image_state_->canvas)); });
}

void CRidgemoDlg::OnReadImage() {
  RunCommand([this] {
    images::ImageOpsContext ctx = ImageOpsContext();
    static_cast<void>(images::ReadImages(ctx));
  });
}

void CRidgemoDlg::OnWriteImage() {
  RunCommand([this] {
    images::ImageOpsContext ctx = ImageOpsContext();
    static_cast<void>(images::WriteImages(ctx));
  });
}

void CRidgemoDlg::OnReadSettings() {
  RunSettingsTransfer([this] {
    transfer::TransferContext ctx{*this, link_, tool_state_, PortText(),
                                  target_head_->currentIndex()};
    static_cast<void>(transfer::ReadAllSettings(ctx));
  });
}

void CRidgemoDlg::OnWriteSettings() {
  RunSettingsTransfer([this] {
    transfer::TransferContext ctx{*this, link_, tool_state_, PortText(),
                                  target_head_->currentIndex()};
    static_cast<void>(transfer::WriteSettings(ctx));
  });
}

void CRidgemoDlg::OnExit() {
  if (Busy()) return;
  tool::Selections selections;
  selections.head = target_head_->currentIndex();
  selections.image_type = image_type_->currentIndex();
  selections.port = PortText();
  // A session on the simulated head keeps the real session's port and head as they were.
  if (selections_use_ == SelectionsUse::kRemembered &&
      !tool::WriteSelectionsFile(selections_path_, selections)) {
    ShowMessage(tool::ErrorBox(ToolText::kSelectionsNotWritten));
  }
  closing_ = true;
  done(QDialog::Accepted);
}

void CRidgemoDlg::OnHelp() {
  ShowHelp(this);
}

void CRidgemoDlg::OnAbort() {
  abort_requested_ = true;
}

void CRidgemoDlg::closeEvent(QCloseEvent* event) {
  if (closing_) {
    event->accept();
    return;
  }
  // The window's close box acts as Exit, and like Exit is refused while a command or the
  // monitor runs (it would end the program inside the command).
  event->ignore();
  OnExit();
}

void CRidgemoDlg::reject() {
  // Escape: the window is closed by Exit or its close box (closeEvent), never by Escape,
  // which the console key table takes while the monitor runs and which is ignored otherwise.
}

}  // namespace kyr::ridgemo
