#pragma once
// Editor string resources used by the settings file and conversion flows.
namespace kyr::settings {

constexpr int kMsgFailToOpenSettings = 129;  // read result 2
constexpr int kMsgIllegalContents = 130;     // read result 3
constexpr int kMsgOverwrite = 131;           // question before replacing a file
constexpr int kMsgFailToCreate = 132;        // the file could not be written
constexpr int kMsgDanglingLink = 2320;       // the path is a link to no file
constexpr int kMsgNotRegularFile = 2321;     // the path is a folder, device or FIFO
constexpr int kMsgResetBank = 302;
constexpr int kMsgResetAllBanks = 303;
constexpr int kMsgResetCommon = 304;
constexpr int kMsgNotKyrTc = 305;         // foreign model read
constexpr int kMsgConvertToLatest = 319;  // question before the version 3 conversion

// Message box captions.
constexpr int kCaptionError = 900;
constexpr int kCaptionWarning = 901;
constexpr int kCaptionFinish = 902;

}  // namespace kyr::settings
