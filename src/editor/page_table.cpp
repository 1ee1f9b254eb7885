#include "editor/page_table.h"

#include <algorithm>

#include <array>

#include "editor/control_ids.h"

namespace kyr::editor {
namespace {

using enum settings::FieldId;
using T = EditorText;
using settings::kAllVersions;
using settings::kV3;
constexpr auto V = kAllVersions;
constexpr auto kUsed = EnableRule::kWindowUsed;
constexpr auto kColor = EnableRule::kColorFunction;
constexpr auto kAlways = EnableRule::kAlways;

constexpr int L(int n) {
  return LeftRow(n);
}
constexpr int R(int n) {
  return RightRow(n);
}

// clang-format off
constexpr std::array kCameraLighting = {
    RowDef{L(1), kShutterSpeed},
    RowDef{L(2), kShutterDirect},
    RowDef{L(3), kTargetBrightness},
    RowDef{L(4), kImageDirection},
    RowDef{L(5), kColorMode},
    RowDef{L(6), kContourRegistration, V, T::kContourJudgment},  // the camera page's own label
    RowDef{L(7), kVariableShutter},
    RowDef{L(8), kContinuousShots},
    RowDef{L(9), kCheckBrightness},
    RowDef{L(10), kGreenGain},
    RowDef{L(11), kRedGain},
    RowDef{L(12), kBlueGain},
    RowDef{L(13), kXCcdPosition},
    RowDef{L(14), kYCcdPosition},
    RowDef{R(1), kLight1Bright},
    RowDef{R(2), kLight2Bright},
    RowDef{R(3), kLight3Bright},
    RowDef{R(4), kLightOutputs},
    RowDef{R(5), kLightControl},
    RowDef{R(6), kLightControlPolarity},
    RowDef{R(7), kContinueLight},  // a bank setting in version 1 only, marked accordingly
};

constexpr std::array kInput = {
    RowDef{L(1), kBankSelection},
    RowDef{L(2), kBankInputStart},
    RowDef{L(3), kBankInputWidth},
    RowDef{L(4), kTriggerMode},
    RowDef{L(5), kTriggerInput},
    RowDef{L(6), kTriggerDelay},
    RowDef{L(7), kForceTriggerIn},
    RowDef{L(8), kForceOutputOff},
    RowDef{L(9), kHeadVerify},
    RowDef{R(1), kExtTeachIn},
    RowDef{R(2), kAutoShutter},
    RowDef{R(3), kAutoContour},
    RowDef{R(4), kShutterTargetBrightness},
    RowDef{R(5), kSaturateLimit},
    RowDef{R(6), kShutterLimit},
    RowDef{R(7), kErrorContour},
    RowDef{R(8), kAutoThreshold},
    RowDef{R(9), kThresholdAccuracy},
    RowDef{R(10), kAutoColorExtraction},
};

constexpr std::array kOutputOther = {
    RowDef{L(1), kOutputPolarity},
    RowDef{L(2), kOneshotOkNg},
    RowDef{L(3), kOffDelayTimer},
    RowDef{L(4), kOnDelayTimer},
    RowDef{L(5), kRunOutputStart},
    RowDef{L(6), kRunOutputWidth, V, T{}, 0, 3},
    RowDef{L(7), kBusyOutStart},
    RowDef{L(8), kBusyOutEnable},
    // Edited per bank from version 3 on, for all banks before; marked as a bank setting
    // in every version.
    RowDef{L(9), kTargetWindow, V, T{}, '*'},
    RowDef{L(10), kXPosStart},
    RowDef{L(11), kXPosWidth, V, T{}, 0, 12},
    RowDef{L(12), kYPosStart},
    RowDef{L(13), kYPosWidth, V, T{}, 0, 11},
    RowDef{L(14), kAngleOutStart, kV3},
    RowDef{L(15), kAngleOutWidth, kV3, T{}, 0, 12},
    RowDef{L(16), kWindowResultStart},
    RowDef{L(17), kWindowResultWidth},
    RowDef{L(18), kWindowResultCombine, kV3},
    RowDef{R(1), kDisplayProcessImage},
    RowDef{R(2), kSaveNgImage},
    RowDef{R(3), kNoOfSaveImages},
    RowDef{R(4), kWindowFrame},
    RowDef{R(5), kSearchFrame},
    RowDef{R(6), kLanguage},
    RowDef{R(7), kSelectedBankNo},
};

// Left column and "Window Using"; the store runs L1..L18 (version 3 rows only from
// version 3 on), then R1, then the judgment rows, then "Inspect Functn".
constexpr std::array kSearchInspection = {
    RowDef{L(1), kSearchFunction},
    RowDef{L(2), kSearchImage},
    RowDef{L(3), kSearchAccuracy},
    RowDef{L(4), kSearchDiffCut, kV3},
    RowDef{L(5), kCorrelationLimit},
    RowDef{L(6), kSearchAngle},
    RowDef{L(7), kAngleStep},
    RowDef{L(8), kMagnifyRetry},
    RowDef{L(9), kProcessTimeLimit},
    RowDef{L(10), kProcessConstant, kV3},
    RowDef{L(11), kSorting},
    // Shares its bits with the unit selector, which is stored after it.
    RowDef{L(12), kWindowCalc, kV3},
    RowDef{L(13), kCoordLimitX, kV3},
    RowDef{L(14), kCoordLimitY, kV3},
    RowDef{L(15), kAngleTargetWindow1, kV3},
    RowDef{L(16), kAngleTargetWindow2, kV3},
    RowDef{L(17), kAngleLimit, kV3},
    RowDef{L(18), kImageRegistration},
    RowDef{R(1), kWindowUsing},
};

constexpr RowDef kInspectFunctionRow{R(2), settings::FieldId::kInspectFunction, V, T{}, 0, 0, kUsed};

constexpr std::array kShapeJudgment = {  // CLRSHAPE, CONTOUR
    RowDef{R(3), kContourThreshold, V, T{}, 0, 0, kUsed},
    RowDef{R(4), kStainThreshold, V, T{}, 0, 0, kUsed},
    RowDef{R(5), kContourExpansion, V, T{}, 0, 0, kUsed},
    RowDef{R(6), kContourJudgment, V, T{}, 0, 0, kUsed},
    RowDef{R(7), kBlindBandWidth, V, T{}, 0, 0, kUsed},
    RowDef{R(8), kJudgmentPolarity, V, T{}, 0, 0, kUsed},
    RowDef{R(9), kUnitSelector, V, T{}, 0, 0, kUsed},
    RowDef{R(10), kPositionAdjust, V, T{}, 0, 0, kUsed},
};

constexpr std::array kDifferenceJudgment = {  // DIFFERNC, FULLCOLR
    RowDef{R(3), kDiffThreshold, V, T{}, 0, 0, kUsed},
    RowDef{R(4), kDiffCutoff, V, T{}, 0, 0, kUsed},
    RowDef{R(5), kNoiseFilter, V, T{}, 0, 0, kUsed},
    RowDef{R(6), kJudgmentPolarity, V, T{}, 0, 0, kUsed},
    RowDef{R(7), kUnitSelector, V, T{}, 0, 0, kUsed},
    RowDef{R(8), kPositionAdjust, V, T{}, 0, 0, kUsed},
};

constexpr std::array kColorAreaJudgment = {  // COLRAREA
    RowDef{R(3), kLowerAreaThreshold, V, T{}, 0, 0, kUsed},
    RowDef{R(4), kUpperAreaThreshold, V, T{}, 0, 0, kUsed},
    RowDef{R(5), kColorExpansion, V, T{}, 0, 0, kUsed},
    RowDef{R(6), kJudgmentPolarity, V, T{}, 0, 0, kUsed},
    RowDef{R(7), kUnitSelector, V, T{}, 0, 0, kUsed},
};

constexpr std::array kStainJudgment = {  // STAIN
    RowDef{R(3), kLowerAreaThreshold, V, T{}, 0, 0, kUsed},
    RowDef{R(4), kUpperAreaThreshold, V, T{}, 0, 0, kUsed},
    RowDef{R(5), kStainBinarized, V, T{}, 0, 0, kUsed},
    RowDef{R(6), kJudgmentPolarity, V, T{}, 0, 0, kUsed},
    RowDef{R(7), kUnitSelector, V, T{}, 0, 0, kUsed},
};

constexpr std::array kWindowColorPosition = {
    RowDef{L(1), kColorAdjust, V, T{}, 0, 0, kColor},
    RowDef{L(2), kDarkCompensation, V, T{}, 0, 0, kColor},
    RowDef{L(3), kColorExtractionAccuracy, V, T{}, 0, 0, kColor},
    RowDef{L(4), kBlueLower, V, T{}, 0, 0, kColor},
    RowDef{L(5), kBlueUpper, V, T{}, 0, 0, kColor},
    RowDef{L(6), kRedLower, V, T{}, 0, 0, kColor},
    RowDef{L(7), kRedUpper, V, T{}, 0, 0, kColor},
    RowDef{L(8), kGreenLower, V, T{}, 0, 0, kColor},
    RowDef{L(9), kGreenUpper, V, T{}, 0, 0, kColor},
    RowDef{L(10), kColorSelectionNo, V, T{}, 0, 0, kColor},
    RowDef{R(1), kFreeMask},
    RowDef{R(2), kEllipseMask},  // a list before version 3, a percentage from version 3 on
    RowDef{R(3), kMaskLogic},
    RowDef{R(4), kSearchXPos},
    RowDef{R(5), kSearchWidth},
    RowDef{R(6), kSearchYPos},
    RowDef{R(7), kSearchHeight},
    RowDef{R(8), kSearchXRange},
    RowDef{R(9), kSearchYRange},
    RowDef{R(10), kInspectXPos},
    RowDef{R(11), kInspectWidth},
    RowDef{R(12), kInspectYPos},
    RowDef{R(13), kInspectHeight},
};
// clang-format on

constexpr std::array<PageDef, kPageCount> kPages = {{
    {T::kCameraSettings, T::kLightSettings, kCameraLighting},
    {T::kInputGeneral, T::kInputTeaching, kInput},
    {T::kOutputSettings, T::kOtherSettings, kOutputOther},
    {T::kSearchWindowCoordinates, T::kWindowJudgment, kSearchInspection},
    {T::kWindowColor, T::kWindowPosition, kWindowColorPosition},
}};

}  // namespace

const PageDef& PageDefinition(int page) {
  return kPages[static_cast<std::size_t>(page - 1)];
}

const RowDef& InspectFunctionRow() {
  return kInspectFunctionRow;
}

std::span<const RowDef> JudgmentRows(int inspection_function) {
  switch (inspection_function) {
    case 0:
    case 1:
      return kShapeJudgment;
    case 2:
    case 3:
      return kDifferenceJudgment;
    case 4:
      return kColorAreaJudgment;
    case 5:
      return kStainJudgment;
    default:
      return {};
  }
}

int PageOfField(settings::FieldId field, int inspection_function) {
  const auto shows = [field](std::span<const RowDef> rows) {
    return std::any_of(rows.begin(), rows.end(),
                       [field](const RowDef& row) { return row.field == field; });
  };
  for (int page = 1; page <= kPageCount; ++page) {
    if (shows(PageDefinition(page).rows)) return page;
  }
  if (InspectFunctionRow().field == field || shows(JudgmentRows(inspection_function)))
    return kSearchInspectionPage;
  // A field of another inspection function still lives on the judgment page.
  for (int function = 0; function < 8; ++function) {
    if (shows(JudgmentRows(function))) return kSearchInspectionPage;
  }
  return 0;
}

}  // namespace kyr::editor
