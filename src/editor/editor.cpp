#include "editor/editor.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "csv/export_csv.h"
#include "files/atomic_file.h"
#include "settings/conversion.h"
#include "settings/initial_values.h"
#include "settings/settings_file.h"
#include "strings/strings.h"
#include "strings/text_ids.h"
#include "userport/file_filters.h"

namespace kyr::editor {
namespace {

using settings::Field;
using settings::FieldId;
using settings::Kind;
using settings::Place;

std::string_view Text(EditorText id) {
  return LoadString(id);
}

char MarkOf(Place place) {
  switch (place) {
    case Place::kBank:
      return '*';
    case Place::kWindow:
      return '#';
    case Place::kCommon:
      break;
  }
  return 0;
}

// The bank numbers "0".."31" that precede the list kBankSelectionItems in "Bank Selection".
const std::array<std::string, settings::kBankCount>& BankNumberItems() {
  static const auto items = [] {
    std::array<std::string, settings::kBankCount> numbers;
    for (int b = 0; b < settings::kBankCount; ++b)
      numbers[static_cast<std::size_t>(b)] = std::to_string(b);
    return numbers;
  }();
  return items;
}

// A path as the user meant it: relative to the folder the program was started in, kept
// absolute so that saving and the file dialogs still find the file later.
std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return path;
  std::error_code error;
  const auto absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

}  // namespace

Editor::Editor(EditorHost& host) : host_(host) {}

// ---- Start-up and state ---------------------------------------------------------------

void Editor::Start() {
  window_.bank_selection = 0;
  window_.window_selection = 0;
  window_.checked_page = kCameraLightingPage;
  current_page_ = kCameraLightingPage;
  settings::InitializeSettings(image_, comments_);
  current_bank_ = kNoBank;
  RefreshMainWindow();
  file_name_.clear();
  MarkSaved({});
  changes_.bank_selector = changes_.window_selector = changes_.page_buttons = true;
}

Changes Editor::TakeChanges() {
  Changes taken = changes_;
  changes_ = Changes{};
  return taken;
}

// ---- User input ----------------------------------------------------------------------

void Editor::TypeEditText(int edit_id, std::string_view text) {
  const auto control = FindRowControl(edit_id);
  if (!control || control->part != RowPart::Edit) return;
  window_.rows[static_cast<std::size_t>(control->row)].edit_text = text;
}

void Editor::TypeComment(std::string_view text) {
  window_.comment = text;
}

void Editor::SelectComboItem(int combo_id, int index) {
  const auto control = FindRowControl(combo_id);
  if (!control || control->part != RowPart::Combo) return;
  RowState& row = window_.rows[static_cast<std::size_t>(control->row)];
  const int count = static_cast<int>(row.items.size());
  row.selection = index >= 0 && index < count ? index : -1;
  const bool rebuilds =
      std::find(kReshowCombos.begin(), kReshowCombos.end(), combo_id) != kReshowCombos.end();
  if (rebuilds && window_.checked_page == kSearchInspectionPage) ShowSearchInspectionPage();
}

void Editor::SelectBank(int bank) {
  window_.bank_selection = std::clamp(bank, 0, settings::kBankCount - 1);
  changes_.bank_selector = true;
  RefreshMainWindow();
}

void Editor::SelectWindow(int window) {
  window_.window_selection = std::clamp(window, 0, settings::kWindowCount - 1);
  changes_.window_selector = true;
  RefreshMainWindow();
}

void Editor::ClickPageButton(int page) {
  if (page < 1 || page > kPageCount) return;
  window_.checked_page = page;
  changes_.page_buttons = true;
  ShowPage(page, true);
}

ButtonResult Editor::ClickButton(int control_id) {
  if (const int page = PageOfButton(control_id); page != 0) {
    ClickPageButton(page);
    return ButtonResult::kHandled;
  }
  switch (control_id) {
    case kBankDown:
      BankDown();
      break;
    case kBankUp:
      BankUp();
      break;
    case kWindowDown:
      WindowDown();
      break;
    case kWindowUp:
      WindowUp();
      break;
    case kReadSettings:
      ReadSettings();
      break;
    case kSaveSettings:
      SaveSettings();
      break;
    case kInitialize:
      Initialize();
      break;
    case kGenerateCsv:
      GenerateCsv();
      break;
    case kExit:
      // With nothing unsaved, closes at once.
      return MayDiscardEdits() ? ButtonResult::kCloseWindow : ButtonResult::kHandled;
    default:
      return ButtonResult::kUnknownControl;
  }
  return ButtonResult::kHandled;
}

void Editor::BankDown() {
  if (current_bank_ == kNoBank || current_bank_ <= 0) return;
  SelectBank(current_bank_ - 1);
}

void Editor::BankUp() {
  if (current_bank_ == kNoBank || current_bank_ >= settings::kBankCount - 1) return;
  SelectBank(current_bank_ + 1);
}

void Editor::WindowDown() {
  if (current_window_ <= 0) return;
  SelectWindow(current_window_ - 1);
}

void Editor::WindowUp() {
  if (current_window_ >= settings::kWindowCount - 1) return;
  SelectWindow(current_window_ + 1);
}

// ---- Refresh and page showing ----------------------------------------------------------

bool Editor::RefreshMainWindow() {
  if (!StorePageValues()) return false;
  // The show operation stores the page once more; storing by the shown layout makes the
  // second pass write the same values.
  ShowPage(window_.checked_page, true);
  SetCommentEdit();
  return true;
}

void Editor::ShowPage(int page, bool store_first) {
  if (store_first && !StorePageValues()) return;
  current_page_ = page;
  ClearRows();
  current_bank_ = window_.bank_selection;
  current_window_ = window_.window_selection;

  const PageDef& def = PageDefinition(page);
  window_.left_caption = Text(def.left_caption);
  window_.right_caption = Text(def.right_caption);
  changes_.captions = true;

  const int version = settings::SettingsVersion(image_);
  const unsigned function = FieldValue(*settings::FindField(FieldId::kInspectFunction, version));
  const bool window_used = FieldValue(*settings::FindField(FieldId::kWindowUsing, version)) != 0;
  shown_unit_ = static_cast<int>(FieldValue(*settings::FindField(FieldId::kUnitSelector, version)));

  store_count_ = 0;
  const bool color_function = IsColorFunction(static_cast<int>(function));
  for (const RowDef& row : def.rows) {
    FillRow(row, version, row.enable == EnableRule::kColorFunction ? color_function : true);
  }
  if (page == kSearchInspectionPage) {
    // The judgment rows of the shown function, then the function itself: storing it last
    // keeps every value typed for the old layout before the new layout is shown.
    for (const RowDef& row : JudgmentRows(static_cast<int>(function))) {
      FillRow(row, version, window_used);
    }
    FillRow(InspectFunctionRow(), version, window_used);
  }
}

void Editor::ClearRows() {
  for (int row = 0; row < kRowCount; ++row) FillBlankRow(row);
}

void Editor::FillBlankRow(int row) {
  RowState& state = window_.rows[static_cast<std::size_t>(row)];
  state.label.clear();
  state.label_enabled = false;
  state.items.clear();
  state.selection = -1;
  state.combo_enabled = false;
  state.edit_text.clear();
  state.edit_enabled = false;
  shown_[static_cast<std::size_t>(row)] = ShownRow{};
  MarkRow(row);
}

void Editor::SetLabel(RowState& row, const RowDef& def, const Field& field) {
  row.label = Text(def.label != EditorText{} ? def.label : field.label);
  const char mark = def.mark != 0 ? def.mark : MarkOf(field.place);
  if (mark != 0) row.label.push_back(mark);
}

void Editor::FillItems(RowState& row, const RowDef& def, const Field& field) {
  if (field.kind == Kind::kBankChoice) {
    for (const std::string& number : BankNumberItems()) row.items.push_back(number);
  }
  const auto items = SplitList(Text(field.list));
  const std::size_t count = def.item_limit > 0
                                ? std::min(items.size(), static_cast<std::size_t>(def.item_limit))
                                : items.size();
  for (std::size_t i = 0; i < count; ++i) row.items.emplace_back(items[i]);
}

// `condition` is what the row's enable rule asks for (window used, colour function).
void Editor::FillRow(const RowDef& def, int version, bool condition) {
  const Field* field = settings::FindField(def.field, version);
  const bool in_version = (def.versions & settings::VersionBit(version)) != 0;
  if (field == nullptr || !in_version) return;  // left blank, and not stored

  RowState& row = window_.rows[static_cast<std::size_t>(def.row)];
  const bool enabled = def.enable == EnableRule::kAlways || condition;
  const unsigned value = FieldValue(*field);
  SetLabel(row, def, *field);

  ShownRow shown{RowKind::kChoice, field};
  switch (field->kind) {
    case Kind::kNumber:
      shown.kind = RowKind::kInteger;
      row.edit_text = IntegerText(value, field->offset);
      break;
    case Kind::kTenths:
      shown.kind = RowKind::kTenths;
      row.edit_text = TenthsText(value);
      break;
    case Kind::kAngle:
      shown.kind = RowKind::kAngle;
      row.edit_text = AngleText(value);
      break;
    case Kind::kThreshold:
      shown.kind = RowKind::kThreshold;
      row.edit_text = ThresholdText(value, shown_unit_);
      break;
    default:
      FillItems(row, def, *field);
      if (value < row.items.size()) row.selection = static_cast<int>(value);
      break;
  }
  if (shown.kind == RowKind::kChoice) {
    row.combo_enabled = enabled;
    row.label_enabled = enabled;
  } else {
    row.edit_enabled = enabled;
    // A judgment row's number label stays enabled; colour rows disable the label as well.
    row.label_enabled = enabled || def.enable == EnableRule::kWindowUsed;
  }
  shown_[static_cast<std::size_t>(def.row)] = shown;
  store_order_[static_cast<std::size_t>(store_count_++)] = def.row;
}

void Editor::SetCommentEdit() {
  const auto& text = comments_[static_cast<std::size_t>(current_bank_)];
  window_.comment.assign(text.data(), std::find(text.begin(), text.end(), '\0'));
  changes_.comment = true;
}

void Editor::CopyCommentEdit() {
  auto& text = comments_[static_cast<std::size_t>(current_bank_)];
  const std::size_t length = Utf8Prefix(window_.comment, settings::kCommentChars).size();
  std::copy_n(window_.comment.begin(), length, text.begin());
  text[length] = '\0';
}

// ---- Storing -------------------------------------------------------------------------

bool Editor::StorePageValues() {
  if (current_bank_ == kNoBank) return true;
  CopyCommentEdit();
  for (int i = 0; i < store_count_; ++i) {
    if (!StoreRow(store_order_[static_cast<std::size_t>(i)])) return false;
  }
  return true;
}

bool Editor::StoreRow(int row) {
  const ShownRow& shown = shown_[static_cast<std::size_t>(row)];
  const Field& f = *shown.field;
  const RowControlIds& ids = kRowControls[static_cast<std::size_t>(row)];
  const int word = FieldWordOf(f);
  switch (shown.kind) {
    case RowKind::kChoice:
      StoreComboIndex(ids.combo, word, f.shift, f.mask);
      return true;
    case RowKind::kInteger:
      return StoreIntegerEdit(ids.edit, word, f.shift, f.mask, f.max, f.offset);
    case RowKind::kTenths:
      return StoreTenthsEdit(ids.edit, word, f.shift, f.mask, f.max, f.offset, 0);
    case RowKind::kThreshold:
      // Read in the unit the thresholds were shown in.
      return StoreTenthsEdit(ids.edit, word, f.shift, f.mask, f.max, f.offset, shown_unit_);
    case RowKind::kAngle:
      return StoreAngleEdit(ids.edit, word, f.shift, f.mask, f.max, f.offset);
    case RowKind::kBlank:
      break;
  }
  return true;
}

void Editor::StoreComboIndex(int combo_id, int word, int shift, std::uint16_t mask) {
  const auto control = FindRowControl(combo_id);
  if (!control) return;
  const int index = window_.rows[static_cast<std::size_t>(control->row)].selection;
  if (index < 0) return;  // nothing selected: the field keeps a value beyond its list
  settings::WriteField(image_, word, shift, mask, static_cast<unsigned>(index) & mask);
}

bool Editor::StoreIntegerEdit(int edit_id, int word, int shift, std::uint16_t mask, int max,
                              int offset) {
  const auto stored = StoredFromInteger(EditText(edit_id), max, offset);
  if (!stored) return Reject(edit_id, NumberFormat::kInteger, max, offset);
  settings::WriteField(image_, word, shift, mask, *stored);
  return true;
}

bool Editor::StoreTenthsEdit(int edit_id, int word, int shift, std::uint16_t mask, int max,
                             int offset, int unit) {
  const auto stored = StoredFromTenths(EditText(edit_id), max, offset, unit);
  if (!stored) return Reject(edit_id, NumberFormat::kTenths, max, offset);
  settings::WriteField(image_, word, shift, mask, *stored);
  return true;
}

bool Editor::StoreAngleEdit(int edit_id, int word, int shift, std::uint16_t mask, int max,
                            int offset) {
  const auto stored = StoredFromAngle(EditText(edit_id), max, offset);
  if (!stored) return Reject(edit_id, NumberFormat::kAngle, max, offset);
  settings::WriteField(image_, word, shift, mask, *stored);
  return true;
}

// The range message, then the user is put back where the store started: selectors and
// page buttons on the shown bank, window and page, the focus on the refused edit.
bool Editor::Reject(int edit_id, NumberFormat format, int max, int offset) {
  if (quiet_store_) return false;
  Message message;
  message.string_id = TextNumber(EditorText::kIllegalValue);
  message.text = std::string(Text(EditorText::kIllegalValue)) + RangeText(format, max, offset);
  message.caption = Text(EditorText::kCaptionError);
  message.icon = Icon::Error;
  host_.ShowMessage(message);

  window_.bank_selection = current_bank_;
  window_.window_selection = current_window_;
  window_.checked_page = current_page_;
  changes_.bank_selector = changes_.window_selector = changes_.page_buttons = true;
  host_.FocusControl(edit_id);
  return false;
}

int Editor::FieldWordOf(const Field& field) const {
  return settings::FieldWord(field, current_bank_, current_window_);
}

unsigned Editor::FieldValue(const Field& field) const {
  return settings::ReadFieldValue(image_, field, current_bank_, current_window_);
}

const std::string& Editor::EditText(int edit_id) const {
  static const std::string kEmpty;
  const auto control = FindRowControl(edit_id);
  if (!control) return kEmpty;
  return window_.rows[static_cast<std::size_t>(control->row)].edit_text;
}

// ---- File commands -------------------------------------------------------------------

Answer Editor::Ask(EditorText message_id, Buttons buttons, Answer default_answer) {
  Message message;
  message.string_id = TextNumber(message_id);
  message.text = Text(message_id);
  message.caption = Text(EditorText::kCaptionWarning);
  message.icon = Icon::Exclamation;
  message.buttons = buttons;
  message.default_answer = default_answer;
  return host_.ShowMessage(message);
}

void Editor::Tell(EditorText message_id, EditorText caption_id, Icon icon,
                  const std::string& second_line) {
  Message message;
  message.string_id = TextNumber(message_id);
  message.text = Text(message_id);
  if (!second_line.empty()) message.text += "\n" + second_line;
  message.caption = Text(caption_id);
  message.icon = icon;
  host_.ShowMessage(message);
}

// Reads a settings file; false after the message of a file that cannot be opened or read.
namespace {

// "PATH: reason" for a file that could not be opened, as the system says it.
std::string WhyNotReadable(const std::string& path) {
  errno = 0;
  std::FILE* file = std::fopen(path.c_str(), "rb");
  const int error = errno;
  if (file != nullptr) std::fclose(file);
  return error != 0 ? path + ": " + std::strerror(error) : path;
}

}  // namespace

bool Editor::ReadFileInto(const std::string& path, settings::SettingsImage& image) {
  switch (settings::ReadSettingsFile(path, image)) {
    case settings::ReadResult::kComplete:
      return true;
    case settings::ReadResult::kOpenFailed:
      Tell(EditorText::kFailToOpenSettings, EditorText::kCaptionError, Icon::Error,
           WhyNotReadable(path));
      return false;
    default:
      Tell(EditorText::kIllegalContents, EditorText::kCaptionError, Icon::Error);
      return false;
  }
}

// A file already at `path` is replaced only when the user says Yes.
bool Editor::MayReplace(const std::string& path) {
  return !files::CanOpenForReading(path) ||
         Ask(EditorText::kOverwriteQuestion, Buttons::YesNo, Answer::Yes) == Answer::Yes;
}

// After the image was replaced: show it without storing the old screen over it.
void Editor::ShowNewImage() {
  current_bank_ = kNoBank;
  RefreshMainWindow();
}

void Editor::MarkSaved(const std::string& path) {
  open_file_ = path;
  saved_image_ = settings::WithComments(image_, comments_);
}

bool Editor::HasUnsavedEdits() {
  // Stores the shown page into copies only: the image and comments are put back after.
  const settings::SettingsImage image = image_;
  const settings::CommentTexts comments = comments_;
  quiet_store_ = true;
  const bool stored = StorePageValues();
  quiet_store_ = false;
  const bool differs = !stored || settings::WithComments(image_, comments_) != saved_image_;
  image_ = image;
  comments_ = comments;
  return differs;
}

bool Editor::MayDiscardEdits() {
  if (!HasUnsavedEdits()) return true;
  switch (Ask(EditorText::kUnsavedEdits, Buttons::SaveDiscardCancel, Answer::Save)) {
    case Answer::Save:
      return SaveSettings();
    case Answer::Discard:
      return true;
    default:
      return false;
  }
}

void Editor::ReadSettings() {
  const auto chosen = host_.AskOpenFile(userport::SettingsFileFilters(), file_name_);
  if (!chosen) return;
  ReadSettingsPath(settings::WithKdtaExtension(*chosen));
}

void Editor::ReadSettingsPath(const std::string& path) {
  file_name_ = AbsolutePath(path);
  // Read and converted aside: the settings being edited are replaced only once the user
  // has let their unsaved edits go, also when a foreign model's file resets everything.
  settings::SettingsImage image{};
  settings::CommentTexts comments = comments_;
  if (!ReadFileInto(file_name_, image)) return;
  const auto outcome = settings::ConvertAfterRead(image, comments, [this] {
    return Ask(EditorText::kConvertToLatest, Buttons::YesNo, Answer::Yes) == Answer::Yes;
  });
  const bool foreign = outcome == settings::AfterRead::kForeignModel;
  if (foreign) Tell(EditorText::kNotKyrTc, EditorText::kCaptionError, Icon::Error);
  if (!MayDiscardEdits()) return;
  image_ = image;
  comments_ = comments;
  // A foreign file's reset shows initial values, not the file.
  MarkSaved(foreign ? std::string() : file_name_);
  ShowNewImage();
}

std::optional<Editor::ComparisonInput> Editor::ChooseComparisonFile() {
  if (!RefreshMainWindow()) return std::nullopt;
  const auto chosen = host_.AskOpenFile(userport::SettingsFileFilters(), file_name_);
  if (!chosen) return std::nullopt;
  ComparisonInput input;
  input.path = AbsolutePath(settings::WithKdtaExtension(*chosen));
  if (!ReadFileInto(input.path, input.file)) return std::nullopt;
  input.open = settings::WithComments(image_, comments_);
  return input;
}

void Editor::ShowPlace(int page, int bank, int window) {
  if (page < 1 || page > kPageCount) page = window_.checked_page;
  window_.bank_selection = std::clamp(bank, 0, settings::kBankCount - 1);
  window_.window_selection = std::clamp(window, 0, settings::kWindowCount - 1);
  window_.checked_page = page;
  changes_.bank_selector = changes_.window_selector = changes_.page_buttons = true;
  RefreshMainWindow();
}

bool Editor::SaveSettings() {
  if (!RefreshMainWindow()) return false;
  const auto chosen = host_.AskSaveFile(userport::SettingsFileFilters(), file_name_);
  if (!chosen) return false;
  file_name_ = AbsolutePath(settings::WithKdtaExtension(*chosen));
  if (!MayReplace(file_name_)) return false;
  const auto written = settings::WriteSettingsFile(file_name_, image_, comments_);
  if (written != settings::WriteResult::kWritten) {
    Tell(settings::WriteProblemText(written), EditorText::kCaptionError, Icon::Error);
    return false;
  }
  MarkSaved(file_name_);
  return true;
}

void Editor::Initialize() {
  if (!RefreshMainWindow()) return;
  // Each question is asked whatever the earlier answers; Cancel ends the sequence and
  // keeps the resets already done.
  Answer answer = Ask(EditorText::kResetBank, Buttons::YesNoCancel, Answer::Cancel);
  if (answer == Answer::Yes) {
    settings::ResetBank(image_, comments_, current_bank_ == kNoBank ? 0 : current_bank_);
  }
  if (answer != Answer::Cancel) {
    answer = Ask(EditorText::kResetAllBanks, Buttons::YesNoCancel, Answer::Cancel);
    if (answer == Answer::Yes) {
      for (int bank = 0; bank < settings::kBankCount; ++bank) {
        settings::ResetBank(image_, comments_, bank);
      }
    }
  }
  if (answer != Answer::Cancel &&
      Ask(EditorText::kResetCommon, Buttons::YesNoCancel, Answer::Cancel) == Answer::Yes) {
    settings::ResetCommon(image_);
  }
  ShowNewImage();
}

void Editor::GenerateCsv() {
  // The open file is offered first: the usual wish is a listing of the settings on screen.
  const auto chosen = host_.AskOpenFile(userport::SettingsFileFilters(),
                                        open_file_.empty() ? file_name_ : open_file_);
  if (!chosen) return;
  const std::string kdta_path = AbsolutePath(settings::WithKdtaExtension(*chosen));
  file_name_ = kdta_path;
  // The listing reads the file into an image of its own: the settings being edited stay
  // as they are.
  settings::SettingsImage listed{};
  if (!ReadFileInto(kdta_path, listed)) return;
  file_name_ = csv::CsvPathFor(kdta_path);
  if (!MayReplace(file_name_)) return;
  if (const auto written = csv::WriteCsvListing(listed, file_name_, CurrentLanguage());
      written != settings::WriteResult::kWritten) {
    Tell(settings::WriteProblemText(written), EditorText::kCaptionError, Icon::Error);
    return;
  }
  Tell(EditorText::kCsvComplete, EditorText::kCaptionFinish, Icon::Information, file_name_);
}

}  // namespace kyr::editor
