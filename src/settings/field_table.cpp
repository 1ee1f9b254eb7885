#include "settings/field_table.h"

#include <array>

namespace kyr::settings {
namespace {

using enum FieldId;
using enum Kind;
constexpr Place C = Place::kCommon;
constexpr Place B = Place::kBank;
constexpr Place W = Place::kWindow;

// One row from a bit range first..last (inclusive), as the word map gives fields.
constexpr Field Row(FieldId id, Place place, int word, int first, int last, std::uint8_t versions,
                    Kind kind, int label, int list, int offset, int max, std::int32_t initial,
                    std::uint8_t functions = kFnAll, bool page_only = false, int words = 1) {
  return Field{id,
               place,
               static_cast<std::uint8_t>(word),
               static_cast<std::uint8_t>(first),
               static_cast<std::uint16_t>((1u << (last - first + 1)) - 1),
               versions,
               kind,
               static_cast<std::int16_t>(label),
               static_cast<std::int16_t>(list),
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
  Row(kModelCode,                C,  0,  0,  7, V,    kIdentity, 134,   0, 0,     0, 1),
  Row(kSettingsVersion,          C,  0,  8, 15, V,    kIdentity, 137,   0, 0,     0, 3),
  Row(kCommonWord1,              C,  1,  0, 15, V,    kHidden,     0,   0, 0,     0, 3),
  Row(kBankInputStart,           C,  2,  0,  3, V,    kList,     138, 139, 0,     0, 0),
  Row(kBankInputWidth,           C,  2,  4,  6, V,    kList,     140, 141, 0,     0, 0),
  Row(kExtTeachIn,               C,  2,  8, 11, V,    kList,     142, 143, 0,     0, 0),
  Row(kForceTriggerIn,           C,  2, 12, 15, V,    kList,     144, 143, 0,     0, 0),
  Row(kCommonWord3,              C,  3,  0, 15, V,    kHidden,     0,   0, 0,     0, 0),
  Row(kWindowFrame,              C,  4,  0,  0, V,    kList,     145, 146, 0,     0, 1),
  Row(kSaveNgImage,              C,  4,  1,  2, V,    kList,     147, 148, 0,     0, 0),
  Row(kDisplayProcessImage,      C,  4,  3,  4, V,    kList,     149, 150, 0,     0, 2),
  Row(kSearchFrame,              C,  4,  5,  5, V,    kList,     151, 152, 0,     0, 0),
  Row(kLightControl,             C,  4,  8, 10, V,    kList,     153, 154, 0,     0, 0),
  Row(kLightControlPolarity,     C,  4, 11, 11, V,    kList,     155, 156, 0,     0, 0),
  Row(kLanguage,                 C,  4, 12, 15, V,    kList,     157, 158, 0,     0, 15),
  Row(kCommonWord5,              C,  5,  0, 15, V,    kHidden,     0,   0, 0,     0, 0),
  Row(kGreenGain,                C,  6,  0,  3, V,    kNumber,   159,   0, 3,     7, 3),
  Row(kRedGain,                  C,  6,  4,  7, V,    kNumber,   160,   0, 3,     7, 2),
  Row(kBlueGain,                 C,  6,  8, 11, V,    kNumber,   161,   0, 3,     7, 3),
  Row(kCommonWord7,              C,  7,  0, 15, V,    kHidden,     0,   0, 0,     0, 0),
  Row(kAutoShutter,              C,  8,  0,  0, V,    kList,     162, 146, 0,     0, 0),
  Row(kAutoThreshold,            C,  8,  1,  1, V,    kList,     163, 146, 0,     0, 1),
  Row(kAutoColorExtraction,      C,  8,  2,  3, V,    kList,     164, 165, 0,     0, 0),
  Row(kAutoContour,              C,  8,  4,  4, V,    kList,     168, 146, 0,     0, 0),
  Row(kForceOutputOff,           C,  8,  8, 11, V,    kList,     283, 143, 0,     0, 0),
  Row(kBankSelection,            C,  9,  0, 15, V,    kBankChoice, 166, 167, 0, 34, 33),
  Row(kCommonWord10,             C, 10,  0, 15, V,    kHidden,     0,   0, 0,     0, 0xFFFF),
  Row(kCommonWord11,             C, 11,  0, 15, V,    kHidden,     0,   0, 0,     0, 0xFFFF),
  Row(kRunOutputStart,           C, 12,  0,  5, V,    kList,     169, 170, 0,     0, 0),
  Row(kRunOutputWidth,           C, 12,  6,  7, V,    kList,     171, 172, 0,     0, 0),
  Row(kXPosStart,                C, 13,  0,  5, V,    kList,     173, 170, 0,     0, 0),
  Row(kXPosWidth,                C, 13,  6,  9, V,    kList,     174, 172, 0,     0, 0),
  Row(kTargetWindow,             C, 13, 12, 15, kV12, kNumber,   175,   0, -1,   15, N),
  Row(kYPosStart,                C, 14,  0,  5, V,    kList,     176, 170, 0,     0, 0),
  Row(kYPosWidth,                C, 14,  6,  9, V,    kList,     177, 172, 0,     0, 0),
  Row(kWindowResultStart,        C, 15,  0,  5, V,    kList,     178, 170, 0,     0, 0),
  Row(kWindowResultWidth,        C, 15,  6, 10, V,    kList,     179, 172, 0,     0, 0),
  Row(kWindowResultCombine,      C, 15, 13, 15, kV3,  kList,     326, 325, 0,     0, 0, kFnAll, true),
  Row(kWindowResult2Or,          C, 15, 13, 15, kV3,  kList,     308, 146, 0,     0, 0),
  Row(kTriggerMode,              C, 16,  0,  2, V,    kList,     180, 181, 0,     0, 4),
  Row(kTriggerInput,             C, 16,  3,  4, V,    kList,     182, 183, 0,     0, 3),
  Row(kOneshotOkNg,              C, 16,  5,  6, V,    kList,     184, 320, 0,     0, 0),
  Row(kContinueLight,            C, 16, 12, 12, kV23, kList,     228, 146, 0,     0, 0),
  Row(kOffDelayTimer,            C, 17,  0, 15, V,    kNumber,   185,   0, 0,  5000, 0),
  Row(kOnDelayTimer,             C, 18,  0, 15, V,    kNumber,   186,   0, 0,  5000, 0),
  Row(kSelectedBankNo,           C, 19,  0, 15, V,    kNumber,   187,   0, 0,    31, 0),
  Row(kAngleOutStart,            C, 20,  0,  5, kV3,  kList,     306, 170, 0,     0, 0),
  Row(kAngleOutWidth,            C, 20,  6,  9, kV3,  kList,     307, 172, 0,     0, 0),
  Row(kNoOfSaveImages,           C, 21,  0, 15, V,    kNumber,   188,   0, 0,    63, 10),
  Row(kBusyOutStart,             C, 22,  0,  5, V,    kList,     279, 170, 0,     0, 0),
  Row(kBusyOutEnable,            C, 22,  6,  6, V,    kList,     280, 146, 0,     0, 0),
  Row(kHeadVerify,               C, 23,  0,  3, V,    kList,     189, 143, 0,     0, 0),
  Row(kCommonWord24,             C, 24,  0, 15, V,    kHidden,     0,   0, 0,     0, 1),
  Row(kCommonWord25,             C, 25,  0, 15, V,    kHidden,     0,   0, 0,     0, 0x8000),
  Row(kCommonWords26To40,        C, 26,  0, 15, V,    kHidden,     0,   0, 0,     0, 0, kFnAll, false, 15),
  // Bank block.
  Row(kShutterSpeed,             B,  0,  0, 15, V,    kList,     194, 195, 0,     0, 9),
  Row(kShutterDirect,            B,  1,  0, 15, V,    kNumber,   196,   0, 0,  4095, 228),
  Row(kLight1Bright,             B,  2,  0,  7, V,    kNumber,   197,   0, 0,   255, 128),
  Row(kLight2Bright,             B,  3,  0,  7, V,    kNumber,   198,   0, 0,   255, 128),
  Row(kContinueLight,            B,  3, 12, 12, kV1,  kList,     228, 146, 0,     0, N),
  Row(kLight3Bright,             B,  4,  0,  7, V,    kNumber,   199,   0, 0,   255, 128),
  Row(kAngleLimit,               B,  4,  8, 15, kV3,  kAngle,    318,   0, 0,   255, 0),
  Row(kColorMode,                B,  5,  0,  0, V,    kList,     200, 201, 0,     0, 1),
  Row(kCheckBrightness,          B,  5,  3,  4, V,    kList,     202, 203, 0,     0, 0),
  Row(kSorting,                  B,  5, 12, 14, V,    kList,     281, 282, 0,     0, 0),
  Row(kImageRegistration,        B,  5, 15, 15, V,    kList,     300, 301, 0,     0, 1),
  Row(kContourRegistration,      B,  6,  1,  6, V,    kNumber,   204,   0, 0,    63, 20),
  Row(kThresholdAccuracy,        B,  6, 11, 12, V,    kList,     205, 206, 0,     0, 1),
  Row(kOutputPolarity,           B,  7,  0,  0, kV12, kList,     207, 321, 0,     0, N),
  Row(kOutputPolarity,           B,  7,  4,  5, kV3,  kList,     207, 321, 0,     0, 0),
  Row(kImageDirection,           B,  7,  1,  3, V,    kList,     208, 209, 0,     0, 0),
  Row(kCorrelationLimit,         B,  7,  6, 15, V,    kTenths,   210,   0, 0,  1000, 0),
  Row(kVariableShutter,          B,  8,  0,  1, V,    kList,     211, 212, 0,     0, 0),
  Row(kErrorContour,             B,  8,  7, 11, V,    kList,     213, 214, 0,     0, 0),
  Row(kAngleStep,                B,  9,  0,  2, V,    kList,     215, 216, 0,     0, 0),
  Row(kAngleTargetWindow1,       B,  9,  6, 10, kV3,  kList,     311, 313, 0,     0, 0),
  Row(kAngleTargetWindow2,       B,  9, 11, 15, kV3,  kList,     312, 313, 0,     0, 0),
  Row(kContinuousShots,          B, 10,  0,  2, V,    kList,     217, 218, 0,     0, 0),
  Row(kMagnifyRetry,             B, 10,  3,  4, V,    kList,     219, 220, 0,     0, 0),
  Row(kSearchAngle,              B, 10,  8, 11, V,    kList,     221, 222, 0,     0, 0),
  Row(kProcessTimeLimit,         B, 11,  0, 15, V,    kNumber,   223,   0, 0,    60, 20),
  Row(kXCcdPosition,             B, 12,  0,  7, V,    kNumber,   224,   0, 0,    59, 30),
  Row(kYCcdPosition,             B, 12,  8, 15, V,    kNumber,   225,   0, 0,    17, 9),
  Row(kTargetBrightness,         B, 13,  0,  5, V,    kNumber,   226,   0, 0,    40, 16),
  Row(kLightOutputs,             B, 13,  8, 11, V,    kList,     227, 278, 0,     0, 1),
  Row(kTargetWindow,             B, 13, 12, 15, kV3,  kNumber,   175,   0, -1,   15, 0),
  Row(kShutterTargetBrightness,  B, 14,  0,  6, V,    kNumber,   229,   0, 0,   100, 50),
  Row(kSaturateLimit,            B, 14,  8, 14, V,    kNumber,   230,   0, 0,   100, 3),
  Row(kShutterLimit,             B, 15,  0, 15, V,    kNumber,   231,   0, 0,  4095, 4095),
  Row(kTriggerDelay,             B, 16,  0, 15, V,    kNumber,   284,   0, 0, 20000, 0),
  Row(kBankWord17,               B, 17,  0, 15, V,    kHidden,     0,   0, 0,     0, 0),
  Row(kBankComment,              B, 18,  0, 15, V,    kComment,  192,   0, 0,     0, N, kFnAll, false, 10),
  Row(kSearchFunction,           B, 28,  1,  1, V,    kList,     232, 146, 0,     0, 1),
  Row(kSearchImage,              B, 28,  2,  2, V,    kList,     233, 234, 0,     0, 0),
  Row(kProcessConstant,          B, 28,  6,  7, kV3,  kList,     310, 322, 0,     0, 0),
  Row(kSearchDiffCut,            B, 28,  8, 11, kV3,  kNumber,   309,   0, 0,    15, 5),
  Row(kSearchAccuracy,           B, 28, 12, 13, kV12, kList,     235, 236, 0,     0, N),
  Row(kSearchAccuracy,           B, 28, 12, 14, kV3,  kList,     235, 236, 0,     0, 4),
  Row(kSearchXRange,             B, 29,  0,  7, V,    kNumber,   237,   0, 0,   255, 30),
  Row(kSearchYRange,             B, 29,  8, 15, V,    kNumber,   238,   0, 0,   255, 30),
  Row(kSearchXPos,               B, 30,  0,  7, V,    kNumber,   239,   0, 0,   255, 50),
  Row(kSearchWidth,              B, 30,  8, 15, V,    kNumber,   240,   0, 0,   255, 40),
  Row(kSearchYPos,               B, 31,  0,  7, V,    kNumber,   241,   0, 0,   255, 100),
  Row(kSearchHeight,             B, 31,  8, 15, V,    kNumber,   242,   0, 0,   255, 40),
  // Window block.
  Row(kInspectXPos,              W,  0,  0,  7, V,    kNumber,   243,   0, 0,   255, 50),
  Row(kInspectWidth,             W,  0,  8, 15, V,    kNumber,   244,   0, 0,   255, 100),
  Row(kInspectYPos,              W,  1,  0,  7, V,    kNumber,   245,   0, 0,   255, 100),
  Row(kInspectHeight,            W,  1,  8, 15, V,    kNumber,   246,   0, 0,   255, 50),
  Row(kWindowUsing,              W,  2,  0,  0, V,    kList,     297, 298, 0,     0, 0, kFnAll, true),
  Row(kMaskLogic,                W,  2,  1,  1, V,    kList,     324, 156, 0,     0, 0, kFnAll, true),
  Row(kNoiseFilter,              W,  2,  2,  3, V,    kList,     249, 250, 0,     0, 1, kFnDiff),
  Row(kInspectFunction,          W,  2,  4,  6, V,    kList,     247, 248, 0,     0, 5),
  Row(kJudgmentPolarity,         W,  2,  7,  7, V,    kList,     276, 156, 0,     0, 0),
  Row(kDiffCutoff,               W,  2,  8, 11, V,    kNumber,   251,   0, 0,    15, 5, kFnDiff),
  Row(kColorExtractionAccuracy,  W,  2, 12, 14, V,    kList,     252, 253, 0,     0, 2, kFnColor),
  Row(kFreeMask,                 W,  2, 15, 15, V,    kList,     323, 146, 0,     0, 0, kFnAll, true),
  Row(kBlueLower,                W,  3,  0,  5, V,    kNumber,   254,   0, 0,    63, 0, kFnColor),
  Row(kBlueUpper,                W,  3,  6, 11, V,    kNumber,   255,   0, 0,    63, 30, kFnColor),
  Row(kColorSelectionNo,         W,  3, 12, 15, V,    kNumber,   260,   0, 0,    15, 0, kFnColor),
  Row(kRedLower,                 W,  4,  0,  5, V,    kNumber,   256,   0, 0,    63, 0, kFnColor),
  Row(kRedUpper,                 W,  4,  6, 11, V,    kNumber,   257,   0, 0,    63, 30, kFnColor),
  Row(kEllipseMask,              W,  4, 12, 15, kV12, kList,     261, 262, 0,     0, N),
  Row(kContourExpansion,         W,  4, 12, 15, kV3,  kNumber,   271,   0, 0,     8, 3, kFnShape),
  Row(kColorExpansion,           W,  4, 12, 15, kV3,  kNumber,   295,   0, 0,     8, 3, kFnColorArea, true),
  Row(kGreenLower,               W,  5,  0,  5, V,    kNumber,   258,   0, 0,    63, 0, kFnColor),
  Row(kGreenUpper,               W,  5,  6, 11, V,    kNumber,   259,   0, 0,    63, 30, kFnColor),
  Row(kUnitSelector,             W,  5, 12, 13, V,    kList,     327, 328, 0,     0, 0),
  Row(kWindowCalc,               W,  5, 12, 13, kV3,  kList,     314, 315, 0,     0, 0),
  Row(kStainThreshold,           W,  6,  0,  9, V,    kThreshold, 267,  0, 0,  1000, 1000, kFnShape),
  Row(kUpperAreaThreshold,       W,  6,  0,  9, V,    kThreshold, 265,  0, 0,  1000, 1000, kFnArea),
  Row(kDarkCompensation,         W,  6, 11, 15, V,    kNumber,   266,   0, 0,    31, 27, kFnColor),
  Row(kContourThreshold,         W,  7,  0,  9, V,    kThreshold, 263,  0, 0,  1000, 20, kFnShape),
  Row(kDiffThreshold,            W,  7,  0,  9, V,    kThreshold, 264,  0, 0,  1000, 20, kFnDiff),
  Row(kLowerAreaThreshold,       W,  7,  0,  9, V,    kThreshold, 268,  0, 0,  1000, 20, kFnArea),
  Row(kContourJudgment,          W,  7, 10, 15, V,    kNumber,   269,   0, 0,    63, 20, kFnShape),
  Row(kStainBinarized,           W,  7, 10, 15, V,    kNumber,   296,   0, 0,    63, 20, kFnStain, true),
  Row(kBlindBandWidth,           W,  8,  0,  2, V,    kNumber,   270,   0, 0,     7, 2, kFnShape),
  Row(kContourExpansion,         W,  8,  4,  7, kV12, kNumber,   271,   0, 0,     8, N, kFnShape),
  Row(kColorExpansion,           W,  8,  4,  7, kV12, kNumber,   295,   0, 0,     8, N, kFnColorArea, true),
  Row(kCoordLimitX,              W,  8,  3,  9, kV3,  kNumber,   316,   0, 0,   127, 0),
  Row(kCoordLimitY,              W,  8, 10, 15, kV3,  kNumber,   317,   0, 0,    63, 0),
  Row(kColorAdjust,              W,  9,  0,  4, V,    kNumber,   274,   0, 10,   20, 10, kFnColor),
  Row(kPositionAdjust,           W,  9,  5,  7, kV1,  kNumber,   275,   0, 0,     7, N, kFnNotArea),
  Row(kPositionAdjust,           W,  9,  5,  8, kV23, kNumber,   275,   0, 0,    15, 2, kFnNotArea),
  Row(kEllipseMask,              W,  9,  9, 15, kV3,  kNumber,   261,   0, 0,   100, 0),
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
