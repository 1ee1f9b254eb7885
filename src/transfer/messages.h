#pragma once
// The message boxes of the settings transfers: tool string ids and how each is shown.
#include <string>

#include "tool/tool_host.h"

namespace kyr::transfer {

inline constexpr int kMsgWriteUsbFailed = 137;      // "Fail to write USB."
inline constexpr int kMsgWritePartial = 136;        // "The number of written USB data ..."
inline constexpr int kMsgCannotCreate = 142;        // "Fail to create the file."
inline constexpr int kMsgOverwrite = 143;           // "File already exists. Overwrite?"
inline constexpr int kMsgCommunicationError = 147;  // "Communication error is occurred."
inline constexpr int kMsgReadComplete = 148;        // "Complete to read all setting values."
inline constexpr int kMsgUnknownHeadType = 151;     // head's model code out of range
inline constexpr int kMsgCannotOpen = 155;          // "Fail to open the file."
inline constexpr int kMsgWriteComplete = 156;       // "Complete to write all setting values."
inline constexpr int kMsgUnknownHeadVersion = 165;  // settings version not writable
inline constexpr int kMsgOtherModel = 166;          // file of another model
inline constexpr int kMsgHeadAbsent = 168;          // "Selected KYR head is not exist."
inline constexpr int kMsgIncompleteFile = 710;      // a settings file with a missing or short line
inline constexpr int kMsgBanksPastEnd = 711;        // destination banks beyond bank 31
inline constexpr int kMsgUnknownFileVersion = 712;  // a file version that cannot be converted
inline constexpr int kMsgVerifyDifference = 713;    // a written word reads back differently

// "Error" box with the stop icon.
tool::Message ErrorBox(int id);
tool::Message ErrorBox(int id, std::string text);
// Error box without a caption of its own (the box shows the program's title): link
// failures and failed command writes.
tool::Message TitleErrorBox(int id);
tool::Message TitleErrorBox(int id, std::string text);
// "Finish" box with the information icon.
tool::Message FinishBox(int id);
// "Warning" question, Yes and No, exclamation icon.
tool::Message OverwriteQuestion();

// The texts of tool string `id`, with its placeholders filled.
std::string ToolText(int id);

}  // namespace kyr::transfer
