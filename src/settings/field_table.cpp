#include "settings/field_table.h"

#include <array>

namespace kyr::settings {
namespace {

using enum FieldId;
using enum Kind;
using T = EditorText;
constexpr Place C = Place::kCommon;
constexpr Place B = Place::kBank;
constexpr Place W = Place::kWindow;

// One row from a bit range first..last (inclusive), as the word map gives fields.
constexpr Field Row(FieldId id, Place place, int word, int first, int last, std::uint8_t versions,
                    Kind kind, EditorText label, EditorText list, int offset, int max,
                    std::int32_t initial, std::uint8_t functions = kFnAll, bool page_only = false,
                    int words = 1) {
  return Field{id,
               place,
               static_cast<std::uint8_t>(word),
               static_cast<std::uint8_t>(first),
               static_cast<std::uint16_t>((1u << (last - first + 1)) - 1),
               versions,
               kind,
               label,
               list,
               static_cast<std::int16_t>(offset),
               static_cast<std::uint16_t>(max),
               initial,
               functions,
               page_only,
               static_cast<std::uint8_t>(words)};
}

constexpr auto V = kAllVersions;
constexpr auto N = kNoInitial;

// clang-format off
constexpr std::array kFields = {
  //  id                         place word bits    versions kind  label list offset max initial
  // Common block.
  Row(kModelCode,                C,  0,  0,  7, V,    kIdentity, T::kModelCode, T{}, 0,     0, 1),
  Row(kSettingsVersion,          C,  0,  8, 15, V,    kIdentity, T::kSettingsVersion, T{}, 0,     0, 3),
  Row(kCommonWord1,              C,  1,  0, 15, V,    kHidden,     T{}, T{}, 0,     0, 3),
  Row(kBankInputStart,           C,  2,  0,  3, V,    kList,     T::kBankInputStart, T::kBankInputStartItems, 0,     0, 0),
  Row(kBankInputWidth,           C,  2,  4,  6, V,    kList,     T::kBankInputWidth, T::kBankInputWidthItems, 0,     0, 0),
  Row(kExtTeachIn,               C,  2,  8, 11, V,    kList,     T::kExtTeachIn, T::kNoneOrInputItems, 0,     0, 0),
  Row(kForceTriggerIn,           C,  2, 12, 15, V,    kList,     T::kForceTriggerIn, T::kNoneOrInputItems, 0,     0, 0),
  Row(kCommonWord3,              C,  3,  0, 15, V,    kHidden,     T{}, T{}, 0,     0, 0),
  Row(kWindowFrame,              C,  4,  0,  0, V,    kList,     T::kWindowFrame, T::kOffOnItems, 0,     0, 1),
  Row(kSaveNgImage,              C,  4,  1,  2, V,    kList,     T::kSaveNgImage, T::kSaveNgImageItems, 0,     0, 0),
  Row(kDisplayProcessImage,      C,  4,  3,  4, V,    kList,     T::kDisplayProcessImage, T::kDisplayProcessImageItems, 0,     0, 2),
  Row(kSearchFrame,              C,  4,  5,  5, V,    kList,     T::kSearchFrame, T::kSearchFrameItems, 0,     0, 0),
  Row(kLightControl,             C,  4,  8, 10, V,    kList,     T::kLightControl, T::kLightControlItems, 0,     0, 0),
  Row(kLightControlPolarity,     C,  4, 11, 11, V,    kList,     T::kLightControlPolarity, T::kNormalInverseItems, 0,     0, 0),
  Row(kLanguage,                 C,  4, 12, 15, V,    kList,     T::kLanguage, T::kLanguageItems, 0,     0, 15),
  Row(kCommonWord5,              C,  5,  0, 15, V,    kHidden,     T{}, T{}, 0,     0, 0),
  Row(kGreenGain,                C,  6,  0,  3, V,    kNumber,   T::kGreenGain, T{}, 3,     7, 3),
  Row(kRedGain,                  C,  6,  4,  7, V,    kNumber,   T::kRedGain, T{}, 3,     7, 2),
  Row(kBlueGain,                 C,  6,  8, 11, V,    kNumber,   T::kBlueGain, T{}, 3,     7, 3),
  Row(kCommonWord7,              C,  7,  0, 15, V,    kHidden,     T{}, T{}, 0,     0, 0),
  Row(kAutoShutter,              C,  8,  0,  0, V,    kList,     T::kAutoShutter, T::kOffOnItems, 0,     0, 0),
  Row(kAutoThreshold,            C,  8,  1,  1, V,    kList,     T::kAutoThreshold, T::kOffOnItems, 0,     0, 1),
  Row(kAutoColorExtraction,      C,  8,  2,  3, V,    kList,     T::kAutoColorExtraction, T::kAutoColorExtractionItems, 0,     0, 0),
  Row(kAutoContour,              C,  8,  4,  4, V,    kList,     T::kAutoContour, T::kOffOnItems, 0,     0, 0),
  Row(kForceOutputOff,           C,  8,  8, 11, V,    kList,     T::kForceOutputOff, T::kNoneOrInputItems, 0,     0, 0),
  Row(kBankSelection,            C,  9,  0, 15, V,    kBankChoice, T::kBankSelection, T::kBankSelectionItems, 0, 34, 33),
  Row(kCommonWord10,             C, 10,  0, 15, V,    kHidden,     T{}, T{}, 0,     0, 0xFFFF),
  Row(kCommonWord11,             C, 11,  0, 15, V,    kHidden,     T{}, T{}, 0,     0, 0xFFFF),
  Row(kRunOutputStart,           C, 12,  0,  5, V,    kList,     T::kRunOutputStart, T::kOutputBitItems, 0,     0, 0),
  Row(kRunOutputWidth,           C, 12,  6,  7, V,    kList,     T::kRunOutputWidth, T::kBitWidthItems, 0,     0, 0),
  Row(kXPosStart,                C, 13,  0,  5, V,    kList,     T::kXPosStart, T::kOutputBitItems, 0,     0, 0),
  Row(kXPosWidth,                C, 13,  6,  9, V,    kList,     T::kXPosWidth, T::kBitWidthItems, 0,     0, 0),
  Row(kTargetWindow,             C, 13, 12, 15, kV12, kNumber,   T::kTargetWindow, T{}, -1,   15, N),
  Row(kYPosStart,                C, 14,  0,  5, V,    kList,     T::kYPosStart, T::kOutputBitItems, 0,     0, 0),
  Row(kYPosWidth,                C, 14,  6,  9, V,    kList,     T::kYPosWidth, T::kBitWidthItems, 0,     0, 0),
  Row(kWindowResultStart,        C, 15,  0,  5, V,    kList,     T::kWindowResultStart, T::kOutputBitItems, 0,     0, 0),
  Row(kWindowResultWidth,        C, 15,  6, 10, V,    kList,     T::kWindowResultWidth, T::kBitWidthItems, 0,     0, 0),
  Row(kWindowResultCombine,      C, 15, 13, 15, kV3,  kList,     T::kWindowResultCombine, T::kWindowResultCombineItems, 0,     0, 0, kFnAll, true),
  Row(kWindowResult2Or,          C, 15, 13, 15, kV3,  kList,     T::kWindowResult2Or, T::kOffOnItems, 0,     0, 0),
  Row(kTriggerMode,              C, 16,  0,  2, V,    kList,     T::kTriggerMode, T::kTriggerModeItems, 0,     0, 4),
  Row(kTriggerInput,             C, 16,  3,  4, V,    kList,     T::kTriggerInput, T::kTriggerInputItems, 0,     0, 3),
  Row(kOneshotOkNg,              C, 16,  5,  6, V,    kList,     T::kOneshotOkNg, T::kOffOnShiftItems, 0,     0, 0),
  Row(kContinueLight,            C, 16, 12, 12, kV23, kList,     T::kContinueLight, T::kOffOnItems, 0,     0, 0),
  Row(kOffDelayTimer,            C, 17,  0, 15, V,    kNumber,   T::kOffDelayTimer, T{}, 0,  5000, 0),
  Row(kOnDelayTimer,             C, 18,  0, 15, V,    kNumber,   T::kOnDelayTimer, T{}, 0,  5000, 0),
  Row(kSelectedBankNo,           C, 19,  0, 15, V,    kNumber,   T::kSelectedBankNo, T{}, 0,    31, 0),
  Row(kAngleOutStart,            C, 20,  0,  5, kV3,  kList,     T::kAngleOutStart, T::kOutputBitItems, 0,     0, 0),
  Row(kAngleOutWidth,            C, 20,  6,  9, kV3,  kList,     T::kAngleOutWidth, T::kBitWidthItems, 0,     0, 0),
  Row(kNoOfSaveImages,           C, 21,  0, 15, V,    kNumber,   T::kNoOfSaveImages, T{}, 0,    63, 10),
  Row(kBusyOutStart,             C, 22,  0,  5, V,    kList,     T::kBusyOutStart, T::kOutputBitItems, 0,     0, 0),
  Row(kBusyOutEnable,            C, 22,  6,  6, V,    kList,     T::kBusyOutEnable, T::kOffOnItems, 0,     0, 0),
  Row(kHeadVerify,               C, 23,  0,  3, V,    kList,     T::kHeadVerify, T::kNoneOrInputItems, 0,     0, 0),
  Row(kCommonWord24,             C, 24,  0, 15, V,    kHidden,     T{}, T{}, 0,     0, 1),
  Row(kCommonWord25,             C, 25,  0, 15, V,    kHidden,     T{}, T{}, 0,     0, 0x8000),
  Row(kCommonWords26To40,        C, 26,  0, 15, V,    kHidden,     T{}, T{}, 0,     0, 0, kFnAll, false, 15),
  // Bank block.
  Row(kShutterSpeed,             B,  0,  0, 15, V,    kList,     T::kShutterSpeed, T::kShutterSpeedItems, 0,     0, 9),
  Row(kShutterDirect,            B,  1,  0, 15, V,    kNumber,   T::kShutterDirect, T{}, 0,  4095, 228),
  Row(kLight1Bright,             B,  2,  0,  7, V,    kNumber,   T::kLight1Bright, T{}, 0,   255, 128),
  Row(kLight2Bright,             B,  3,  0,  7, V,    kNumber,   T::kLight2Bright, T{}, 0,   255, 128),
  Row(kContinueLight,            B,  3, 12, 12, kV1,  kList,     T::kContinueLight, T::kOffOnItems, 0,     0, N),
  Row(kLight3Bright,             B,  4,  0,  7, V,    kNumber,   T::kLight3Bright, T{}, 0,   255, 128),
  Row(kAngleLimit,               B,  4,  8, 15, kV3,  kAngle,    T::kAngleLimit, T{}, 0,   255, 0),
  Row(kColorMode,                B,  5,  0,  0, V,    kList,     T::kColorMode, T::kColorModeItems, 0,     0, 1),
  Row(kCheckBrightness,          B,  5,  3,  4, V,    kList,     T::kCheckBrightness, T::kCheckBrightnessItems, 0,     0, 0),
  Row(kSorting,                  B,  5, 12, 14, V,    kList,     T::kSorting, T::kSortingItems, 0,     0, 0),
  Row(kImageRegistration,        B,  5, 15, 15, V,    kList,     T::kImageRegistration, T::kImageRegistrationItems, 0,     0, 1),
  Row(kContourRegistration,      B,  6,  1,  6, V,    kNumber,   T::kContourRegistration, T{}, 0,    63, 20),
  Row(kThresholdAccuracy,        B,  6, 11, 12, V,    kList,     T::kThresholdAccuracy, T::kThresholdAccuracyItems, 0,     0, 1),
  Row(kOutputPolarity,           B,  7,  0,  0, kV12, kList,     T::kOutputPolarity, T::kOutputPolarityItems, 0,     0, N),
  Row(kOutputPolarity,           B,  7,  4,  5, kV3,  kList,     T::kOutputPolarity, T::kOutputPolarityItems, 0,     0, 0),
  Row(kImageDirection,           B,  7,  1,  3, V,    kList,     T::kImageDirection, T::kImageDirectionItems, 0,     0, 0),
  Row(kCorrelationLimit,         B,  7,  6, 15, V,    kTenths,   T::kCorrelationLimit, T{}, 0,  1000, 0),
  Row(kVariableShutter,          B,  8,  0,  1, V,    kList,     T::kVariableShutter, T::kVariableShutterItems, 0,     0, 0),
  Row(kErrorContour,             B,  8,  7, 11, V,    kList,     T::kErrorContour, T::kErrorContourItems, 0,     0, 0),
  Row(kAngleStep,                B,  9,  0,  2, V,    kList,     T::kAngleStep, T::kAngleStepItems, 0,     0, 0),
  Row(kAngleTargetWindow1,       B,  9,  6, 10, kV3,  kList,     T::kAngleTargetWindow1, T::kAngleTargetWindow1Items, 0,     0, 0),
  Row(kAngleTargetWindow2,       B,  9, 11, 15, kV3,  kList,     T::kAngleTargetWindow2, T::kAngleTargetWindow1Items, 0,     0, 0),
  Row(kContinuousShots,          B, 10,  0,  2, V,    kList,     T::kContinuousShots, T::kContinuousShotsItems, 0,     0, 0),
  Row(kMagnifyRetry,             B, 10,  3,  4, V,    kList,     T::kMagnifyRetry, T::kMagnifyRetryItems, 0,     0, 0),
  Row(kSearchAngle,              B, 10,  8, 11, V,    kList,     T::kSearchAngle, T::kSearchAngleItems, 0,     0, 0),
  Row(kProcessTimeLimit,         B, 11,  0, 15, V,    kNumber,   T::kProcessTimeLimit, T{}, 0,    60, 20),
  Row(kXCcdPosition,             B, 12,  0,  7, V,    kNumber,   T::kXCcdPosition, T{}, 0,    59, 30),
  Row(kYCcdPosition,             B, 12,  8, 15, V,    kNumber,   T::kYCcdPosition, T{}, 0,    17, 9),
  Row(kTargetBrightness,         B, 13,  0,  5, V,    kNumber,   T::kTargetBrightness, T{}, 0,    40, 16),
  Row(kLightOutputs,             B, 13,  8, 11, V,    kList,     T::kLightOutputs, T::kLightOutputsItems, 0,     0, 1),
  Row(kTargetWindow,             B, 13, 12, 15, kV3,  kNumber,   T::kTargetWindow, T{}, -1,   15, 0),
  Row(kShutterTargetBrightness,  B, 14,  0,  6, V,    kNumber,   T::kShutterTargetBrightness, T{}, 0,   100, 50),
  Row(kSaturateLimit,            B, 14,  8, 14, V,    kNumber,   T::kSaturateLimit, T{}, 0,   100, 3),
  Row(kShutterLimit,             B, 15,  0, 15, V,    kNumber,   T::kShutterLimit, T{}, 0,  4095, 4095),
  Row(kTriggerDelay,             B, 16,  0, 15, V,    kNumber,   T::kTriggerDelay, T{}, 0, 20000, 0),
  Row(kBankWord17,               B, 17,  0, 15, V,    kHidden,     T{}, T{}, 0,     0, 0),
  Row(kBankComment,              B, 18,  0, 15, V,    kComment,  T::kBankComment, T{}, 0,     0, N, kFnAll, false, 10),
  Row(kSearchFunction,           B, 28,  1,  1, V,    kList,     T::kSearchFunction, T::kOffOnItems, 0,     0, 1),
  Row(kSearchImage,              B, 28,  2,  2, V,    kList,     T::kSearchImage, T::kSearchImageItems, 0,     0, 0),
  Row(kProcessConstant,          B, 28,  6,  7, kV3,  kList,     T::kProcessConstant, T::kProcessConstantItems, 0,     0, 0),
  Row(kSearchDiffCut,            B, 28,  8, 11, kV3,  kNumber,   T::kSearchDiffCut, T{}, 0,    15, 5),
  Row(kSearchAccuracy,           B, 28, 12, 13, kV12, kList,     T::kSearchAccuracy, T::kSearchAccuracyItems, 0,     0, N),
  Row(kSearchAccuracy,           B, 28, 12, 14, kV3,  kList,     T::kSearchAccuracy, T::kSearchAccuracyItems, 0,     0, 4),
  Row(kSearchXRange,             B, 29,  0,  7, V,    kNumber,   T::kSearchXRange, T{}, 0,   255, 30),
  Row(kSearchYRange,             B, 29,  8, 15, V,    kNumber,   T::kSearchYRange, T{}, 0,   255, 30),
  Row(kSearchXPos,               B, 30,  0,  7, V,    kNumber,   T::kSearchXPos, T{}, 0,   255, 50),
  Row(kSearchWidth,              B, 30,  8, 15, V,    kNumber,   T::kSearchWidth, T{}, 0,   255, 40),
  Row(kSearchYPos,               B, 31,  0,  7, V,    kNumber,   T::kSearchYPos, T{}, 0,   255, 100),
  Row(kSearchHeight,             B, 31,  8, 15, V,    kNumber,   T::kSearchHeight, T{}, 0,   255, 40),
  // Window block.
  Row(kInspectXPos,              W,  0,  0,  7, V,    kNumber,   T::kInspectXPos, T{}, 0,   255, 50),
  Row(kInspectWidth,             W,  0,  8, 15, V,    kNumber,   T::kInspectWidth, T{}, 0,   255, 100),
  Row(kInspectYPos,              W,  1,  0,  7, V,    kNumber,   T::kInspectYPos, T{}, 0,   255, 100),
  Row(kInspectHeight,            W,  1,  8, 15, V,    kNumber,   T::kInspectHeight, T{}, 0,   255, 50),
  Row(kWindowUsing,              W,  2,  0,  0, V,    kList,     T::kWindowUsing, T::kWindowUsingItems, 0,     0, 0, kFnAll, true),
  Row(kMaskLogic,                W,  2,  1,  1, V,    kList,     T::kMaskLogic, T::kNormalInverseItems, 0,     0, 0, kFnAll, true),
  Row(kNoiseFilter,              W,  2,  2,  3, V,    kList,     T::kNoiseFilter, T::kNoiseFilterItems, 0,     0, 1, kFnDiff),
  Row(kInspectFunction,          W,  2,  4,  6, V,    kList,     T::kInspectFunction, T::kInspectFunctionItems, 0,     0, 5),
  Row(kJudgmentPolarity,         W,  2,  7,  7, V,    kList,     T::kJudgmentPolarity, T::kNormalInverseItems, 0,     0, 0),
  Row(kDiffCutoff,               W,  2,  8, 11, V,    kNumber,   T::kDiffCutoff, T{}, 0,    15, 5, kFnDiff),
  Row(kColorExtractionAccuracy,  W,  2, 12, 14, V,    kList,     T::kColorExtractionAccuracy, T::kColorExtractionAccuracyItems, 0,     0, 2, kFnColor),
  Row(kFreeMask,                 W,  2, 15, 15, V,    kList,     T::kFreeMask, T::kOffOnItems, 0,     0, 0, kFnAll, true),
  Row(kBlueLower,                W,  3,  0,  5, V,    kNumber,   T::kBlueLower, T{}, 0,    63, 0, kFnColor),
  Row(kBlueUpper,                W,  3,  6, 11, V,    kNumber,   T::kBlueUpper, T{}, 0,    63, 30, kFnColor),
  Row(kColorSelectionNo,         W,  3, 12, 15, V,    kNumber,   T::kColorSelectionNo, T{}, 0,    15, 0, kFnColor),
  Row(kRedLower,                 W,  4,  0,  5, V,    kNumber,   T::kRedLower, T{}, 0,    63, 0, kFnColor),
  Row(kRedUpper,                 W,  4,  6, 11, V,    kNumber,   T::kRedUpper, T{}, 0,    63, 30, kFnColor),
  Row(kEllipseMask,              W,  4, 12, 15, kV12, kList,     T::kEllipseMask, T::kEllipseMaskItems, 0,     0, N),
  Row(kContourExpansion,         W,  4, 12, 15, kV3,  kNumber,   T::kContourExpansion, T{}, 0,     8, 3, kFnShape),
  Row(kColorExpansion,           W,  4, 12, 15, kV3,  kNumber,   T::kColorExpansion, T{}, 0,     8, 3, kFnColorArea, true),
  Row(kGreenLower,               W,  5,  0,  5, V,    kNumber,   T::kGreenLower, T{}, 0,    63, 0, kFnColor),
  Row(kGreenUpper,               W,  5,  6, 11, V,    kNumber,   T::kGreenUpper, T{}, 0,    63, 30, kFnColor),
  Row(kUnitSelector,             W,  5, 12, 13, V,    kList,     T::kUnitSelector, T::kUnitSelectorItems, 0,     0, 0),
  Row(kWindowCalc,               W,  5, 12, 13, kV3,  kList,     T::kWindowCalc, T::kWindowCalcItems, 0,     0, 0),
  Row(kStainThreshold,           W,  6,  0,  9, V,    kThreshold, T::kStainThreshold, T{}, 0,  1000, 1000, kFnShape),
  Row(kUpperAreaThreshold,       W,  6,  0,  9, V,    kThreshold, T::kUpperAreaThreshold, T{}, 0,  1000, 1000, kFnArea),
  Row(kDarkCompensation,         W,  6, 11, 15, V,    kNumber,   T::kDarkCompensation, T{}, 0,    31, 27, kFnColor),
  Row(kContourThreshold,         W,  7,  0,  9, V,    kThreshold, T::kContourThreshold, T{}, 0,  1000, 20, kFnShape),
  Row(kDiffThreshold,            W,  7,  0,  9, V,    kThreshold, T::kDiffThreshold, T{}, 0,  1000, 20, kFnDiff),
  Row(kLowerAreaThreshold,       W,  7,  0,  9, V,    kThreshold, T::kLowerAreaThreshold, T{}, 0,  1000, 20, kFnArea),
  Row(kContourJudgment,          W,  7, 10, 15, V,    kNumber,   T::kContourJudgment, T{}, 0,    63, 20, kFnShape),
  Row(kStainBinarized,           W,  7, 10, 15, V,    kNumber,   T::kStainBinarized, T{}, 0,    63, 20, kFnStain, true),
  Row(kBlindBandWidth,           W,  8,  0,  2, V,    kNumber,   T::kBlindBandWidth, T{}, 0,     7, 2, kFnShape),
  Row(kContourExpansion,         W,  8,  4,  7, kV12, kNumber,   T::kContourExpansion, T{}, 0,     8, N, kFnShape),
  Row(kColorExpansion,           W,  8,  4,  7, kV12, kNumber,   T::kColorExpansion, T{}, 0,     8, N, kFnColorArea, true),
  Row(kCoordLimitX,              W,  8,  3,  9, kV3,  kNumber,   T::kCoordLimitX, T{}, 0,   127, 0),
  Row(kCoordLimitY,              W,  8, 10, 15, kV3,  kNumber,   T::kCoordLimitY, T{}, 0,    63, 0),
  Row(kColorAdjust,              W,  9,  0,  4, V,    kNumber,   T::kColorAdjust, T{}, 10,   20, 10, kFnColor),
  Row(kPositionAdjust,           W,  9,  5,  7, kV1,  kNumber,   T::kPositionAdjust, T{}, 0,     7, N, kFnNotArea),
  Row(kPositionAdjust,           W,  9,  5,  8, kV23, kNumber,   T::kPositionAdjust, T{}, 0,    15, 2, kFnNotArea),
  Row(kEllipseMask,              W,  9,  9, 15, kV3,  kNumber,   T::kEllipseMask, T{}, 0,   100, 0),
};
// clang-format on

}  // namespace

std::span<const Field> AllFields() {
  return kFields;
}

const Field* FindField(FieldId id, int settings_version) {
  for (const Field& field : kFields) {
    if (field.id == id && ExistsIn(field, settings_version)) return &field;
  }
  return nullptr;
}

int FieldWord(const Field& field, int bank, int window) {
  switch (field.place) {
    case Place::kCommon:
      return CommonWord(field.word);
    case Place::kBank:
      return BankWord(bank, field.word);
    case Place::kWindow:
      return WindowWord(bank, window, field.word);
  }
  return 0;
}

std::uint16_t ReadFieldValue(const SettingsImage& image, const Field& field, int bank, int window) {
  return ReadField(image, FieldWord(field, bank, window), field.shift, field.mask);
}

void WriteFieldValue(SettingsImage& image, const Field& field, int bank, int window,
                     unsigned stored) {
  WriteField(image, FieldWord(field, bank, window), field.shift, field.mask, stored);
}

}  // namespace kyr::settings
