#pragma once
// The message boxes of the image transfers: tool string ids and how each box is shown.
#include "tool/tool_host.h"

namespace kyr::images {

inline constexpr int kMsgWriteUsbFailed = 137;      // "Fail to write USB."
inline constexpr int kMsgWritePartial = 136;        // "The number of written USB data ..."
inline constexpr int kMsgCannotCreate = 142;        // "Fail to create the file."
inline constexpr int kMsgFileExists = 143;          // "File already exists. Overwrite?"
inline constexpr int kMsgCommunicationError = 147;  // "Communication error is occurred."
inline constexpr int kMsgNameWithoutNumber = 149;   // several files, one without a number
inline constexpr int kMsgNumberTooLarge = 150;      // number in a name not below the count
inline constexpr int kMsgCannotReload = 152;        // "Fail to re-open the red image file."
inline constexpr int kMsgReadComplete = 153;        // "Complete to read image."
inline constexpr int kMsgCannotOpenFile = 155;      // "Fail to open the file."
inline constexpr int kMsgOnlyBankAndMemory = 157;   // "The target are only Bank and Memory."
inline constexpr int kMsgCannotOpenImage = 158;     // "Fail to open the image file."
inline constexpr int kMsgOverwriteImage = 159;      // "Specified KYR image will be overwritten..."
inline constexpr int kMsgWriteComplete = 160;       // "Complet to write the image."
inline constexpr int kMsgBadExtension = 162;        // "The specified file has illegal extension..."
inline constexpr int kMsgBadBitmap = 163;           // "Illegal bitmap file header or image size."
inline constexpr int kMsgColoursChange = 164;       // "Color of image will be changed ..."
inline constexpr int kMsgHeadAbsent = 168;          // "Selected KYR head is not exist."
inline constexpr int kMsgAborted = 720;             // "aborted"

// "Error" box with the stop icon.
tool::Message ErrorBox(int id);
// Error box without a caption of its own (the box shows the program's title): link open
// failures and frames that could not be sent.
tool::Message TitleErrorBox(int id);
// "Finish" box with the information icon.
tool::Message FinishBox(int id);
// "Warning" question with Yes and No and the warning icon.
tool::Message WarningQuestion(int id);

// Shows the message of a failed OpenLink or of a CloseLink whose closing frame did not go out
// (nothing for 0).
void ShowLinkFailure(tool::ToolHost& host, int code);

}  // namespace kyr::images
