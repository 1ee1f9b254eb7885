#pragma once
// The settings file: 512 lines of 16 words, each word as four upper-case hex digits and a
// blank ("%04X "), lines ended by CR LF, 41,984 bytes in all. Line L, field j holds image
// word 16*L + j; bank b's comment lies on line 12*b+1, fields 2 to 11.
//
// Parsing and formatting work on text so that they can be tested and fuzzed without files;
// the file functions only add the I/O.
#include <cstddef>
#include <string>
#include <string_view>

#include "settings/settings_image.h"
#include "strings/text_ids.h"

namespace kyr::settings {

constexpr int kFileLines = 512;
constexpr int kWordsPerLine = 16;
constexpr int kFieldWidth = 5;  // four digits and a blank
constexpr std::size_t kFileBytes = 512 * 82;

// Results of reading a settings file (the dialog's cancel, 1, belongs to the caller). The
// numbers are the ones the editor's messages are chosen by.
enum class [[nodiscard]] ReadResult : int{
    kComplete = 0,
    kCancelled = 1,
    kOpenFailed = 2,
    kShortFile = 3,
};
std::string_view ReadResultName(ReadResult result);

// The editor's reader. Lines are read as by a 90-byte line buffer: at most 89 characters,
// the line end included, so a longer line continues as the next one. CR LF and LF both end
// a line. Field j is the hex number starting at column 5*j (see ParseHexField). The image is
// replaced only when all 512 lines were read; otherwise it is left untouched.
ReadResult ParseSettingsText(std::string_view text, SettingsImage& image);
ReadResult ReadSettingsFile(const std::string& path, SettingsImage& image);

// The communication tool's reader: lines of at most 99 characters and no check for a short
// file. Words of lines the text does not have are 0. Returns the number of lines read
// (0 to 512); a caller that must not act on a short file compares it with kFileLines.
int ParseToolSettingsText(std::string_view text, SettingsImage& image);
// As above from a file; -1 when the file cannot be opened or read. `first_incomplete_line`
// gets the number (0 to 511) of the first line the reader finds missing or too short to
// hold 16 four-digit fields (kMinToolLineChars before the line end), or -1 when every line
// is complete. A writer must not act on such a file: the missing fields would read as 0.
constexpr int kMinToolLineChars = kFieldWidth * (kWordsPerLine - 1) + 4;
int ReadToolSettingsFile(const std::string& path, SettingsImage& image, int& first_incomplete_line);
int FirstIncompleteToolLine(std::string_view text);

// A field as the reader takes it: white space skipped, optional sign and "0x", hex digits
// of either case up to the first other character (or the end of `text`), negative values
// wrapped in 32 bits, values beyond 32 bits saturated, the low 16 bits kept.
std::uint16_t ParseHexField(std::string_view text);

// The editor's file text: the bank comment fields come from `comments` (a comment starting
// with two blanks is written as 0000 in field 2), every other field from the image.
std::string FormatSettingsText(const SettingsImage& image, const CommentTexts& comments);
// The file text of the image alone, as the communication tool writes it.
std::string FormatSettingsText(const SettingsImage& image);

// Whether a settings file was written; when not, the old file is untouched. A path that is a
// link to no file or not a regular file is refused before anything is written.
enum class [[nodiscard]] WriteResult{kWritten, kCannotCreate, kDanglingLink, kNotRegular};
std::string_view WriteResultName(WriteResult result);

// The message that tells the user why a file was not written (no text for kWritten).
EditorText WriteProblemText(WriteResult result);

// Writes the editor's file text through files::WriteFileAtomically.
[[nodiscard]] WriteResult WriteSettingsFile(const std::string& path, const SettingsImage& image,
                                            const CommentTexts& comments);

// A path chosen in a file dialog gets `extension` appended unless it already ends in it
// exactly (compared case-sensitively): set1 -> set1.kdta, set1.KDTA -> set1.KDTA.kdta.
std::string WithExtension(std::string_view path, std::string_view extension);
std::string WithKdtaExtension(std::string_view path);

}  // namespace kyr::settings
