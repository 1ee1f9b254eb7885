#pragma once
// Tool string ids only the settings transfers show; the shared ones and the boxes are in
// tool/messages.h.
#include "tool/messages.h"

namespace kyr::transfer {

inline constexpr int kMsgReadComplete = 148;        // "Complete to read all setting values."
inline constexpr int kMsgUnknownHeadType = 151;     // head's model code out of range
inline constexpr int kMsgWriteComplete = 156;       // "Complete to write all setting values."
inline constexpr int kMsgUnknownHeadVersion = 165;  // settings version not writable
inline constexpr int kMsgOtherModel = 166;          // file of another model
inline constexpr int kMsgIncompleteFile = 710;      // a settings file with a missing or short line
inline constexpr int kMsgBanksPastEnd = 711;        // destination banks beyond bank 31
inline constexpr int kMsgUnknownFileVersion = 712;  // a file version that cannot be converted
inline constexpr int kMsgVerifyDifference = 713;    // a written word reads back differently
inline constexpr int kMsgEmptyBankRange = 714;      // start bank after end bank: nothing to write
inline constexpr int kMsgAborted = 720;             // "aborted"

}  // namespace kyr::transfer
