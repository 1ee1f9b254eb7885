#pragma once
// The tool's main window: tool bar, the three selection boxes, progress, image number and
// the picture area. It is the tool's host for every operation and the monitor's window.
#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "backup/progress.h"
#include "images/canvas.h"
#include "images/ops/image_ops.h"
#include "link/link.h"
#include "link/sysfs/sysfs_devices.h"
#include "link/trace.h"
#include "monitor/monitor.h"
#include "settings/settings_image.h"
#include "tool/tool_host.h"
#include "tool/tool_state.h"
#include "window/line_widgets.h"

namespace kyr::ridgemo {

class ImageArea;

// Control ids of the main window.
enum ControlIdOfWindow : int {
  kIdImageMonitor = 1000,
  kIdPicture = 1001,
  kIdExit = 1002,
  kIdSaveBmp = 1003,
  kIdStop = 1004,
  kIdReadImage = 1006,
  kIdWriteImage = 1009,
  kIdReadSettings = 1011,
  kIdWriteSettings = 1012,
  kIdTargetHead = 1013,
  kIdImageType = 1014,
  kIdProgress = 1018,
  kIdImageNumber = 1048,
  kIdPort = 1050,
  kIdAbort = 1051,
  kIdHelp = 9,  // the system's help command number
  // The line tools in the menu bar, and its unit chooser.
  kIdBackup = 1100,
  kIdRestore = 1101,
  kIdCompareFile = 1102,
  kIdCompareBackup = 1103,
  kIdUnit = 1104,
};

// Whose selections the window shows: the remembered ones of a real session, or those that
// reach the built-in simulated head (USB, head 1), which leave the remembered ones alone.
enum class SelectionsUse { kRemembered, kSimulatedHead };

class CRidgemoDlg : public QDialog, public tool::ToolHost, public monitor::MonitorWindow {
  Q_OBJECT

 public:
  // `environment` is where the link opens its channels (the system's, or the simulated
  // head's); `selections_path` the selections file (empty: the user's configuration folder).
  CRidgemoDlg(link::LinkEnvironment environment, std::string selections_path = {},
              SelectionsUse use = SelectionsUse::kRemembered, QWidget* parent = nullptr);
  ~CRidgemoDlg() override;

  // tool::ToolHost
  userport::Answer ShowMessage(const userport::Message& message) override;
  std::optional<std::string> AskSaveFile(const std::vector<userport::FileFilter>& filters,
                                         const std::string& initial_name) override;
  std::optional<std::string> AskOpenFile(const std::vector<userport::FileFilter>& filters,
                                         const std::string& initial_name) override;
  std::vector<std::string> AskOpenFiles(const std::vector<userport::FileFilter>& filters) override;
  void SetProgressRange(int low, int high) override;
  void SetProgressPosition(int position) override;
  void ProcessPendingEvents(int count) override;
  bool AskWriteChoices(tool::WriteChoices& choices) override;
  bool AskImageSelection(const tool::ImageSelectionDialog& dialog, std::uint64_t& mask) override;
  bool AskImageNumber(int count, int& number) override;
  void ShowImageNumber(int number) override;
  bool AbortRequested() override { return abort_requested_; }
  void ClearAbortRequest() override { abort_requested_ = false; }
  void EnableAbort(bool enabled) override;
  void EnableCommands(bool enabled) override;

  // monitor::MonitorWindow (PaintCanvas also serves the image operations)
  std::string PortText() override;
  void ShowMonitorRunning(bool running) override;
  void StartFrameTimer(int milliseconds) override;
  void KillFrameTimer() override;
  void PaintCanvas() override;

  // The console key code and pointer values the next monitor request carries.
  monitor::MonitorState& Monitor() { return *monitor_; }
  images::Canvas& Canvas() { return image_state_->canvas; }
  images::ImageState& Images() { return *image_state_; }
  link::Link& Link() { return link_; }
  const std::string& SelectionsPath() const { return selections_path_; }

  // Where the unit chooser's entries come from: the units `ridgemo devices` lists. Until
  // set, the units on the USB bus of the window's link environment. Listed when the window
  // is first shown and whenever the chooser opens.
  using UnitSource = std::function<std::vector<link::HeadUnit>()>;
  void SetUnitSource(UnitSource source);
  // Lists the units afresh, keeping the chosen one.
  void ListUnits();
  CUnitChooser* UnitChooser() const { return unit_chooser_; }
  QAction* LineAction(int control_id) const;
  // What the last line tool did; null before the first.
  CResultsDlg* Results() const { return results_; }

  // A key of the console key table was pressed in this window.
  void ConsoleKeyPressed(int code);

  // Button handlers (public so that the screenshot and test drivers can run them).
  void OnImageMonitor();
  void OnStop();
  void OnSaveBmp();
  void OnReadImage();
  void OnWriteImage();
  void OnReadSettings();
  void OnWriteSettings();
  void OnExit();
  void OnHelp();
  void OnAbort();
  void OnMonitorTick();
  void OnPictureClicked(QPoint window_position);
  // The line tools (line_tools.cpp): the chosen unit's backup and restore, and its
  // settings against a settings file or a backup.
  void OnBackup();
  void OnRestore();
  void OnCompareWithFile();
  void OnCompareWithBackup();
  // The same with the folder or file already chosen (the screenshot driver's way in).
  void BackupInto(const std::string& dir);
  void RestoreFrom(const std::string& dir);
  void CompareWithFile(const std::string& path);
  void CompareWithBackup(const std::string& dir);

  // The line under the picture, hidden until something must be said outside a message box
  // (a box would stop the command that is running).
  void ShowMessageLine(const QString& text);
  QLabel* MessageLine() const { return message_line_; }
  // `text` goes to stderr and to the message line once, when a line of `trace` cannot be
  // written; the command goes on.
  void ReportTraceFailures(link::TraceLog& trace, const std::string& text);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void showEvent(QShowEvent* event) override;
  void reject() override;

 private:
  void BuildControls();
  QMenuBar* BuildMenuBar();
  void OnUnitChosen(int index);
  // The title, naming the chosen unit while the port is USB.
  void ShowTitle();
  // A folder chosen in the window's file dialog, remembered as `kind`'s folder.
  std::optional<std::string> AskFolder(ToolText title, const std::string& kind);
  // Runs a line tool's job with the window busy, its progress on the bar and Abort enabled.
  template <typename Job>
  void RunLineJob(Job&& job);
  backup::ProgressSink JobProgress();
  // The chosen unit's settings of head `head` (0 to 2) read into `image`; false, with the
  // failure shown, when they could not be read.
  bool ReadHeadSettings(int head, settings::SettingsImage& image);
  // The chosen unit as the results name it: its serial number, or the port.
  std::string UnitName() const;
  void ShowResults(ToolText title, const std::string& summary, const QStringList& columns,
                   const std::vector<QStringList>& rows);
  QPushButton* AddToolButton(ToolText text_id, int control_id, void (CRidgemoDlg::*handler)());
  void FillPortBox();
  void LoadSelections();
  bool Busy() const;
  // Enables the commands as commands_enabled_ says, less those the port box or the image
  // type rules out: Image Monitor needs USB, Write Image a Bank or Memory type.
  void ShowCommandState();
  // A settings transfer handles no window events: the window shows it busy beforehand.
  template <typename Transfer>
  void RunSettingsTransfer(Transfer&& transfer);
  // Runs `operation` as the one command in progress; nothing when another one runs.
  template <typename Operation>
  void RunCommand(Operation&& operation) {
    if (Busy()) return;  // a click let through while another command runs
    command_running_ = true;
    operation();
    command_running_ = false;
  }
  monitor::MonitorContext MonitorContext();
  images::ImageOpsContext ImageOpsContext();

  std::string device_;         // the head unit chosen by serial number; empty: the first
  std::string device_folder_;  // where the port box looks for serial ports
  link::LinkEnvironment link_environment_copy_;  // what the unit chooser lists by default
  link::Link link_;
  tool::ToolState tool_state_;
  std::unique_ptr<images::ImageState> image_state_;  // holds the canvas the window paints
  std::unique_ptr<monitor::MonitorState> monitor_;
  std::string selections_path_;
  SelectionsUse selections_use_;
  bool abort_requested_ = false;
  bool command_running_ = false;
  bool commands_enabled_ = true;
  bool closing_ = false;

  QTimer frame_timer_;
  QPushButton* image_monitor_ = nullptr;
  QPushButton* stop_ = nullptr;
  QPushButton* save_bmp_ = nullptr;
  QPushButton* read_image_ = nullptr;
  QPushButton* write_image_ = nullptr;
  QPushButton* read_settings_ = nullptr;
  QPushButton* write_settings_ = nullptr;
  QComboBox* target_head_ = nullptr;
  QComboBox* image_type_ = nullptr;
  QComboBox* port_ = nullptr;
  QProgressBar* progress_ = nullptr;
  QLabel* image_number_ = nullptr;
  QPushButton* exit_ = nullptr;
  QPushButton* help_ = nullptr;
  QPushButton* abort_ = nullptr;
  ImageArea* image_area_ = nullptr;
  QLabel* message_line_ = nullptr;
  QWidget* client_ = nullptr;  // the client area: everything below the menu bar
  QMenuBar* menu_bar_ = nullptr;
  std::vector<QAction*> line_actions_;
  CUnitChooser* unit_chooser_ = nullptr;
  int shown_unit_ = -1;  // the chooser's entry in use
  UnitSource unit_source_;
  bool units_listed_ = false;
  CResultsDlg* results_ = nullptr;
};

}  // namespace kyr::ridgemo
