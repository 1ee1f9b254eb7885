#pragma once
// The field table: every setting of the image with its place, the settings versions it
// exists in, its label and choice list, how its value is shown, its range and its initial
// value. The CSV listing, the editor pages, the range checks and the resets all consult it.
//
// A field whose place changed between settings versions has one row per place, each with the
// versions it applies to; FindField picks the row for a version. Different fields may share
// the same bits of one word: which one applies depends on the window's inspection function
// (the thresholds, expansions and contour judgment) or on the program (common word 15's
// window result combination, the window calculation and the unit selector).
#include <cstdint>
#include <span>

#include "settings/settings_image.h"
#include "strings/text_ids.h"

namespace kyr::settings {

enum class Place : std::uint8_t { kCommon, kBank, kWindow };

enum class Kind : std::uint8_t {
  kList,        // stored value = index of an item of the choice list
  kNumber,      // decimal; shown = stored - offset
  kTenths,      // tenths of a percent, shown with one decimal
  kAngle,       // 1/2048 turn, shown in degrees with two decimals (stored * 1125 / 64 hundredths)
  kThreshold,   // 0 to 1000 in the unit chosen by the window's unit selector
  kBankChoice,  // whole word: 0-31 a fixed bank, 32-34 the items of the choice list
  kComment,     // the bank comment words
  kIdentity,    // model code and settings version in common word 0
  kHidden,      // not shown; passed through and written by a reset
};

// Settings versions a row applies to: bit v-1 for version v.
enum Versions : std::uint8_t {
  kV1 = 1,
  kV2 = 2,
  kV3 = 4,
  kV12 = kV1 | kV2,
  kV23 = kV2 | kV3,
  kAllVersions = kV1 | kV2 | kV3,
};

// Inspection functions (window word 2 bits 4-6) a window field is listed for: bit F for
// function F. Functions 6 and 7 have no item and take the labels of COLRAREA and STAIN.
enum Functions : std::uint8_t {
  kFnShape = 0x03,  // CLRSHAPE, CONTOUR
  kFnDiff = 0x0C,   // DIFFERNC, FULLCOLR
  kFnArea = 0xF0,   // COLRAREA, STAIN (and 6, 7)
  kFnColor = 0x11,  // CLRSHAPE, COLRAREA
  kFnColorArea = 0x10,
  kFnStain = 0x20,
  kFnNotArea = 0xCF,  // every function but COLRAREA and STAIN
  kFnAll = 0xFF,
};

enum class FieldId : std::uint8_t {
  // Common block.
  kModelCode,
  kSettingsVersion,
  kCommonWord1,
  kBankInputStart,
  kBankInputWidth,
  kExtTeachIn,
  kForceTriggerIn,
  kCommonWord3,
  kWindowFrame,
  kSaveNgImage,
  kDisplayProcessImage,
  kSearchFrame,
  kLightControl,
  kLightControlPolarity,
  kLanguage,
  kCommonWord5,
  kGreenGain,
  kRedGain,
  kBlueGain,
  kCommonWord7,
  kAutoShutter,
  kAutoThreshold,
  kAutoColorExtraction,
  kAutoContour,
  kForceOutputOff,
  kBankSelection,
  kCommonWord10,
  kCommonWord11,
  kRunOutputStart,
  kRunOutputWidth,
  kXPosStart,
  kXPosWidth,
  kYPosStart,
  kYPosWidth,
  kWindowResultStart,
  kWindowResultWidth,
  kWindowResultCombine,  // the editor's label and list for common word 15 bits 13-15
  kWindowResult2Or,      // the listing's label and list for the same bits
  kTriggerMode,
  kTriggerInput,
  kOneshotOkNg,
  kOffDelayTimer,
  kOnDelayTimer,
  kSelectedBankNo,
  kAngleOutStart,
  kAngleOutWidth,
  kNoOfSaveImages,
  kBusyOutStart,
  kBusyOutEnable,
  kHeadVerify,
  kCommonWord24,
  kCommonWord25,
  kCommonWords26To40,
  // Common or bank block, by version.
  kContinueLight,
  kTargetWindow,
  // Bank block.
  kShutterSpeed,
  kShutterDirect,
  kLight1Bright,
  kLight2Bright,
  kLight3Bright,
  kAngleLimit,
  kColorMode,
  kCheckBrightness,
  kSorting,
  kImageRegistration,
  kContourRegistration,
  kThresholdAccuracy,
  kOutputPolarity,
  kImageDirection,
  kCorrelationLimit,
  kVariableShutter,
  kErrorContour,
  kAngleStep,
  kAngleTargetWindow1,
  kAngleTargetWindow2,
  kContinuousShots,
  kMagnifyRetry,
  kSearchAngle,
  kProcessTimeLimit,
  kXCcdPosition,
  kYCcdPosition,
  kTargetBrightness,  // bank word 13
  kLightOutputs,
  kShutterTargetBrightness,  // bank word 14
  kSaturateLimit,
  kShutterLimit,
  kTriggerDelay,
  kBankWord17,
  kBankComment,
  kSearchFunction,
  kSearchImage,
  kProcessConstant,
  kSearchDiffCut,
  kSearchAccuracy,
  kSearchXRange,
  kSearchYRange,
  kSearchXPos,
  kSearchWidth,
  kSearchYPos,
  kSearchHeight,
  // Window block.
  kInspectXPos,
  kInspectWidth,
  kInspectYPos,
  kInspectHeight,
  kWindowUsing,
  kMaskLogic,
  kNoiseFilter,
  kInspectFunction,
  kJudgmentPolarity,
  kDiffCutoff,
  kColorExtractionAccuracy,
  kFreeMask,
  kBlueLower,
  kBlueUpper,
  kColorSelectionNo,
  kRedLower,
  kRedUpper,
  kEllipseMask,
  kContourExpansion,
  kColorExpansion,
  kGreenLower,
  kGreenUpper,
  kUnitSelector,
  kWindowCalc,
  kStainThreshold,
  kUpperAreaThreshold,
  kDarkCompensation,
  kContourThreshold,
  kDiffThreshold,
  kLowerAreaThreshold,
  kContourJudgment,
  kStainBinarized,
  kBlindBandWidth,
  kCoordLimitX,
  kCoordLimitY,
  kColorAdjust,
  kPositionAdjust,
  kCount
};

constexpr std::int32_t kNoInitial = -1;

struct Field {
  FieldId id;
  Place place;
  std::uint8_t word;  // common, bank or window word index
  std::uint8_t shift;
  std::uint16_t mask;  // the field's bits before shifting
  std::uint8_t versions;
  Kind kind;
  EditorText label;                 // the label; EditorText{} for none
  EditorText list;                  // the choice list; EditorText{} for none
  std::int16_t offset;              // stored = shown + offset
  std::uint16_t max;                // largest stored value the editor accepts (edited kinds)
  std::int32_t initial;             // stored value a reset writes; kNoInitial for older layouts
  std::uint8_t functions = kFnAll;  // window fields: the inspection functions they belong to
  bool page_only = false;           // shown on an editor page, not listed
  std::uint8_t words = 1;           // consecutive words covered (comment, reserved ranges)
};

std::span<const Field> AllFields();

// The row of `id` for a settings version (0 counts as 1, above 3 as 3); null when the field
// does not exist in that version.
const Field* FindField(FieldId id, int settings_version);

// The version bit of a settings version byte, with 0 taken as 1 and anything above 3 as 3.
constexpr std::uint8_t VersionBit(int settings_version) {
  return settings_version <= 1 ? kV1 : settings_version == 2 ? kV2 : kV3;
}
constexpr bool ExistsIn(const Field& field, int settings_version) {
  return (field.versions & VersionBit(settings_version)) != 0;
}

// Image word of the field for the given bank and window (ignored where they do not apply).
int FieldWord(const Field& field, int bank, int window);
std::uint16_t ReadFieldValue(const SettingsImage& image, const Field& field, int bank, int window);
void WriteFieldValue(SettingsImage& image, const Field& field, int bank, int window,
                     unsigned stored);

constexpr int ShownValue(const Field& field, unsigned stored) {
  return static_cast<int>(stored) - field.offset;
}
// An angle field's value in hundredths of a degree (1/2048 turn = 1125/64 hundredths).
constexpr int AngleHundredths(unsigned stored) {
  return static_cast<int>(stored * 1125 / 64);
}
// Lowest and highest value the editor accepts, as shown.
constexpr int ShownMin(const Field& field) {
  return -field.offset;
}
constexpr int ShownMax(const Field& field) {
  return field.max - field.offset;
}

}  // namespace kyr::settings
