#pragma once
// Tool string ids only the image transfers show; the shared ones and the boxes are in
// tool/messages.h.
#include "tool/messages.h"

namespace kyr::images {

inline constexpr int kMsgNameWithoutNumber = 149;  // several files, one without a number
inline constexpr int kMsgNumberTooLarge = 150;     // number in a name not below the count
inline constexpr int kMsgCannotReload = 152;       // "Fail to re-open the red image file."
inline constexpr int kMsgReadComplete = 153;       // "Complete to read image."
inline constexpr int kMsgOnlyBankAndMemory = 157;  // "The target are only Bank and Memory."
inline constexpr int kMsgCannotOpenImage = 158;    // "Fail to open the image file."
inline constexpr int kMsgOverwriteImage = 159;     // "Specified KYR image will be overwritten..."
inline constexpr int kMsgWriteComplete = 160;      // "Complet to write the image."
inline constexpr int kMsgBadExtension = 162;       // "The specified file has illegal extension..."
inline constexpr int kMsgBadBitmap = 163;          // "Illegal bitmap file header or image size."
inline constexpr int kMsgColoursChange = 164;      // "Color of image will be changed ..."
inline constexpr int kMsgAborted = 720;            // "aborted"

}  // namespace kyr::images
