#pragma once
// Which 64-word blocks of a settings image a write sends, and where they land in the head.
//
// Blocks 0 to 95 hold the 32 banks (three blocks a bank), 108 to 123 the expansion
// dictionary, 124 and 125 the alphabet table, 127 the common parameters with the version
// word; the rest is never written.
#include <cstdint>

#include "tool/write_choices.h"

namespace kyr::transfer {

inline constexpr int kWriteBlocks = 128;
inline constexpr int kWriteBlockWords = 64;
inline constexpr int kBlocksPerBank = 3;
inline constexpr int kFirstDictionaryBlock = 108;
inline constexpr int kLastDictionaryBlock = 123;
inline constexpr int kFirstAlphabetBlock = 124;
inline constexpr int kLastAlphabetBlock = 125;
inline constexpr int kCommonBlock = 127;
// Only heads of this model code hold an alphabet table and an expansion dictionary.
inline constexpr int kModelWithTables = 2;

inline constexpr int kNotWritten = -1;

// Destination block of source block `block`, or kNotWritten. A bank block moves by the
// distance from the start bank to the target bank.
int DestinationBlock(int block, const tool::WriteChoices& choices, int head_model);

// False when a bank of the chosen range would land beyond bank 31 (or a bank number is out
// of range). A start bank above the end bank chooses no bank at all and fits; the write
// refuses such a range before this check.
bool BankRangeFits(const tool::WriteChoices& choices);

// Byte address of write block `block` in the head.
constexpr std::uint32_t WriteBlockAddress(int block) {
  return static_cast<std::uint32_t>(block) * 2u * kWriteBlockWords;
}

}  // namespace kyr::transfer
