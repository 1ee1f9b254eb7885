#pragma once
// File names of images read from a head.
//
// The user picks one name (ending in .kimg); every image read then rewrites that name:
// bank, memory and taken images get their number (bank.kimg -> bank.05.kimg), NG images
// the date, time and identification of their NG record.
#include <array>
#include <cstdint>
#include <string>

#include "strings/strings.h"

namespace kyr::images {

enum class ImageType { Bank = 0, Memory = 1, Shoot = 2, Ng = 3 };

inline constexpr int kNgRecordCount = 63;

// One record of the head's NG table, the words as received.
struct NgRecord {
  std::uint16_t r0 = 0;  // high byte: second time field, low byte: third time field
  std::uint16_t r1 = 0;  // low byte: first time field, high byte: day position date field
  std::uint16_t r2 = 0;  // high byte: year position, low byte: month position
  std::uint16_t r3 = 0;  // identification; non-zero when the record holds an image
};

using NgRecords = std::array<NgRecord, kNgRecordCount>;

// The language mark of the tool's strings: 'J' in Japanese, 'E' in English.
char LanguageMark(Lang lang);
char LanguageMark();

// Index of the record of NG image `ng_number` (0 = newest) when the ring position is
// `ring_position`: (ring_position - ng_number - 1) modulo 63, always 0 to 62.
int NgRecordIndex(int ring_position, int ng_number);

// The suffix that ends an NG image's name, e.g. ".100512_134501_1_07.kimg" (24 characters
// for fields below 100 and an identification high byte below 10; longer otherwise, never
// cut). Japanese orders the date year-month-day, English day-month-year.
std::string NgNameSuffix(const NgRecord& record, char language_mark);

// Puts the two-digit number before ".kimg", or replaces the two characters of a name
// already ending in ".XX.kimg".
void SetImageNumberInName(std::string& name, int number);

// Replaces an NG suffix already at the end of the name, or else the final ".kimg", by the
// suffix of `record`.
void SetNgSuffixInName(std::string& name, const NgRecord& record, char language_mark);

// Rewrites the current image name for image `number` of `type`; NG images take their
// record from `records` by `ring_position`.
void MakeImageFileName(std::string& name, ImageType type, int number, int ring_position,
                       const NgRecords& records, char language_mark);

}  // namespace kyr::images
