#include "csv/listing.h"

#include <array>
#include <charconv>
#include <iterator>
#include <string_view>

#include "csv/value_text.h"
#include "settings/field_table.h"

namespace kyr::csv {
namespace {

using settings::Field;
using settings::FieldId;
using settings::Kind;
using settings::Place;
using settings::SettingsImage;

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kModelName = "KYR-TC";
constexpr std::size_t kListingReserve = 256 * 1024;  // a full file lists about 190 KB

// Common settings after "Bank Selection", in listing order.
constexpr FieldId kCommonLines[] = {
    FieldId::kBankInputStart,
    FieldId::kBankInputWidth,
    FieldId::kTriggerMode,
    FieldId::kTriggerInput,
    FieldId::kForceTriggerIn,
    FieldId::kForceOutputOff,
    FieldId::kExtTeachIn,
    FieldId::kAutoShutter,
    FieldId::kAutoContour,
    FieldId::kAutoThreshold,
    FieldId::kAutoColorExtraction,
    FieldId::kHeadVerify,
    FieldId::kOneshotOkNg,
    FieldId::kOffDelayTimer,
    FieldId::kOnDelayTimer,
    FieldId::kRunOutputStart,
    FieldId::kRunOutputWidth,
    FieldId::kBusyOutStart,
    FieldId::kBusyOutEnable,
    FieldId::kTargetWindow,
    FieldId::kXPosStart,
    FieldId::kXPosWidth,
    FieldId::kYPosStart,
    FieldId::kYPosWidth,
    FieldId::kAngleOutStart,
    FieldId::kAngleOutWidth,
    FieldId::kWindowResultStart,
    FieldId::kWindowResultWidth,
    FieldId::kWindowResult2Or,
    FieldId::kLightControl,
    FieldId::kLightControlPolarity,
    FieldId::kContinueLight,
    FieldId::kDisplayProcessImage,
    FieldId::kSaveNgImage,
    FieldId::kNoOfSaveImages,
    FieldId::kGreenGain,
    FieldId::kRedGain,
    FieldId::kBlueGain,
    FieldId::kWindowFrame,
    FieldId::kSearchFrame,
    FieldId::kLanguage,
    FieldId::kSelectedBankNo,
};

// Bank settings after the comment. The window fields among them show window 1.
constexpr FieldId kBankLines[] = {
    FieldId::kShutterSpeed,       FieldId::kShutterDirect,    FieldId::kTargetBrightness,
    FieldId::kImageDirection,     FieldId::kColorMode,        FieldId::kContourRegistration,
    FieldId::kVariableShutter,    FieldId::kContinuousShots,  FieldId::kCheckBrightness,
    FieldId::kXCcdPosition,       FieldId::kYCcdPosition,     FieldId::kLight1Bright,
    FieldId::kLight2Bright,       FieldId::kLight3Bright,     FieldId::kLightOutputs,
    FieldId::kContinueLight,      FieldId::kTriggerDelay,     FieldId::kTargetWindow,
    FieldId::kSearchFunction,     FieldId::kSearchImage,      FieldId::kSearchAccuracy,
    FieldId::kSearchDiffCut,      FieldId::kCorrelationLimit, FieldId::kSearchAngle,
    FieldId::kAngleStep,          FieldId::kMagnifyRetry,     FieldId::kProcessTimeLimit,
    FieldId::kProcessConstant,    FieldId::kSorting,          FieldId::kWindowCalc,
    FieldId::kCoordLimitX,        FieldId::kCoordLimitY,      FieldId::kAngleTargetWindow1,
    FieldId::kAngleTargetWindow2, FieldId::kAngleLimit,       FieldId::kOutputPolarity,
    FieldId::kThresholdAccuracy,  FieldId::kErrorContour,     FieldId::kShutterTargetBrightness,
    FieldId::kSaturateLimit,      FieldId::kShutterLimit,     FieldId::kSearchXPos,
    FieldId::kSearchWidth,        FieldId::kSearchYPos,       FieldId::kSearchHeight,
    FieldId::kSearchXRange,       FieldId::kSearchYRange,
};

// Window settings after the heading; each is listed for the inspection functions its table
// row names, so that the thresholds take the label of the window's function.
constexpr FieldId kWindowLines[] = {
    FieldId::kInspectFunction,  FieldId::kContourThreshold,
    FieldId::kDiffThreshold,    FieldId::kLowerAreaThreshold,
    FieldId::kDiffCutoff,       FieldId::kNoiseFilter,
    FieldId::kStainThreshold,   FieldId::kUpperAreaThreshold,
    FieldId::kContourExpansion, FieldId::kContourJudgment,
    FieldId::kBlindBandWidth,   FieldId::kColorAdjust,
    FieldId::kDarkCompensation, FieldId::kColorExtractionAccuracy,
    FieldId::kBlueLower,        FieldId::kBlueUpper,
    FieldId::kRedLower,         FieldId::kRedUpper,
    FieldId::kGreenLower,       FieldId::kGreenUpper,
    FieldId::kColorSelectionNo, FieldId::kJudgmentPolarity,
    FieldId::kUnitSelector,     FieldId::kEllipseMask,
    FieldId::kPositionAdjust,   FieldId::kInspectXPos,
    FieldId::kInspectWidth,     FieldId::kInspectYPos,
    FieldId::kInspectHeight,
};

// A decimal number as text, without allocating.
class Number {
 public:
  explicit Number(int value)
      : size_(static_cast<std::size_t>(std::to_chars(digits_, digits_ + sizeof digits_, value).ptr -
                                       digits_)) {}
  operator std::string_view() const { return {digits_, size_}; }

 private:
  char digits_[12];
  std::size_t size_;
};

// The rows of a section's fields for one settings version, resolved once per listing.
template <std::size_t N>
std::array<const Field*, N> ResolveRows(const FieldId (&ids)[N], int version) {
  std::array<const Field*, N> rows{};
  for (std::size_t i = 0; i < N; ++i) rows[i] = settings::FindField(ids[i], version);
  return rows;
}

class Listing {
 public:
  Listing(const SettingsImage& image, Lang lang)
      : image_(image),
        lang_(lang),
        version_(settings::SettingsVersion(image)),
        common_rows_(ResolveRows(kCommonLines, version_)),
        bank_rows_(ResolveRows(kBankLines, version_)),
        window_rows_(ResolveRows(kWindowLines, version_)),
        registration_(Find(FieldId::kImageRegistration)),
        window_using_(Find(FieldId::kWindowUsing)),
        function_(Find(FieldId::kInspectFunction)),
        unit_(Find(FieldId::kUnitSelector)) {
    out_.reserve(kListingReserve);
  }

  std::string Take() { return std::move(out_); }

  void Common() {
    const bool kyr_tc = settings::ModelCode(image_) == settings::kModelKyrTc;
    Line(Text(Find(FieldId::kModelCode)->label),
         kyr_tc ? kModelName : Text(EditorText::kUndefinedType));
    TextLine(EditorText::kCommonHeading);
    Line(Text(Find(FieldId::kSettingsVersion)->label), Number(version_));
    BankSelection();
    // Fields that the file's version keeps in a bank (or not at all) are left out here.
    for (const Field* field : common_rows_) {
      if (field != nullptr && field->place == Place::kCommon) Setting(*field, 0, 0);
    }
  }

  void Bank(int bank) {
    BankHeading(bank);
    if (Read(*registration_, bank, 0) != 0) {
      TextLine(EditorText::kUnregisteredBank);
      return;
    }
    Line(Text(Find(FieldId::kBankComment)->label), BankCommentText(image_, bank));
    for (const Field* field : bank_rows_) {
      if (field != nullptr && field->place != Place::kCommon) Setting(*field, bank, 0);
    }
    for (int window = 0; window < settings::kWindowCount; ++window) {
      if (Read(*window_using_, bank, window) != 0) Window(bank, window);
    }
  }

 private:
  void Window(int bank, int window) {
    WindowHeading(bank, window);
    const unsigned function = Read(*function_, bank, window);
    for (const Field* field : window_rows_) {
      if (field != nullptr && ((field->functions >> function) & 1u) != 0) {
        Setting(*field, bank, window);
      }
    }
  }

  // Fixed banks 0 to 31 are numbers; 32 and up are items of the list, by the low byte.
  void BankSelection() {
    const Field& field = *Find(FieldId::kBankSelection);
    const unsigned stored = Read(field, 0, 0);
    if (stored < settings::kBankCount) {
      Line(Text(field.label), Number(static_cast<int>(stored)));
    } else {
      const unsigned item = ((stored & 0xFFu) - settings::kBankCount) & 0xFFu;
      Line(Text(field.label), ChoiceItem(item, Text(field.list)));
    }
  }

  void Setting(const Field& field, int bank, int window) {
    const unsigned stored = Read(field, bank, window);
    switch (field.kind) {
      case Kind::kList:
        // The shutter speed is a whole-word field; the listing takes its low byte.
        Line(Text(field.label),
             ChoiceItem(field.id == FieldId::kShutterSpeed ? stored & 0xFFu : stored,
                        Text(field.list)));
        return;
      case Kind::kTenths:
        Line(Text(field.label), FormatTenthsPercent(stored));
        return;
      case Kind::kAngle:
        Line(Text(field.label), FormatAngle(stored));
        return;
      case Kind::kThreshold:
        Line(Text(field.label), FormatThreshold(Read(*unit_, bank, window), stored));
        return;
      default:
        Line(Text(field.label), Number(settings::ShownValue(field, stored)));
        return;
    }
  }

  void BankHeading(int bank) {
    out_ += kLineEnd;
    out_ += Text(EditorText::kBankHeading);
    out_ += ' ';
    out_ += Number(bank);
    out_ += ' ';
    TextLine(EditorText::kHeadingEnd);
  }

  // Two blanks stand between the bank number and the window part.
  void WindowHeading(int bank, int window) {
    out_ += kLineEnd;
    out_ += Text(EditorText::kBankHeading);
    out_ += ' ';
    out_ += Number(bank);
    out_ += "  ";
    out_ += Text(EditorText::kWindowHeading);
    out_ += ' ';
    out_ += Number(window + 1);
    out_ += ' ';
    TextLine(EditorText::kHeadingEnd);
  }

  void Line(std::string_view label, std::string_view value) {
    out_ += label;
    out_ += ',';
    out_ += value;
    out_ += kLineEnd;
  }

  // A string resource that ends the current line.
  void TextLine(EditorText id) {
    out_ += Text(id);
    out_ += kLineEnd;
  }

  std::string_view Text(EditorText id) const { return LoadString(id, lang_); }

  const Field* Find(FieldId id) const { return settings::FindField(id, version_); }

  unsigned Read(const Field& field, int bank, int window) const {
    return settings::ReadFieldValue(image_, field, bank, window);
  }

  const SettingsImage& image_;
  Lang lang_;
  int version_;
  std::array<const Field*, std::size(kCommonLines)> common_rows_;
  std::array<const Field*, std::size(kBankLines)> bank_rows_;
  std::array<const Field*, std::size(kWindowLines)> window_rows_;
  const Field* registration_;
  const Field* window_using_;
  const Field* function_;
  const Field* unit_;
  std::string out_;
};

}  // namespace

std::string FormatCsvListing(const SettingsImage& image, Lang lang) {
  Listing listing(image, lang);
  listing.Common();
  for (int bank = 0; bank < settings::kBankCount; ++bank) listing.Bank(bank);
  return listing.Take();
}

}  // namespace kyr::csv
