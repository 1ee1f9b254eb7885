#include "transfer/write_plan.h"

namespace kyr::transfer {
namespace {

constexpr int kBankBlocks = (tool::kLastBank + 1) * kBlocksPerBank;

bool IsBank(int bank) {
  return bank >= 0 && bank <= tool::kLastBank;
}

}  // namespace

int DestinationBlock(int block, const tool::WriteChoices& choices, int head_model) {
  if (block >= 0 && block < kBankBlocks) {
    const int bank = block / kBlocksPerBank;
    if (bank < choices.start_bank || bank > choices.end_bank) return kNotWritten;
    return block + kBlocksPerBank * (choices.target_bank - choices.start_bank);
  }
  const bool tables = head_model == kModelWithTables;
  if (block >= kFirstDictionaryBlock && block <= kLastDictionaryBlock) {
    return tables && choices.dictionary ? block : kNotWritten;
  }
  if (block >= kFirstAlphabetBlock && block <= kLastAlphabetBlock) {
    return tables && choices.alphabet ? block : kNotWritten;
  }
  if (block == kCommonBlock) return choices.common ? block : kNotWritten;
  return kNotWritten;
}

bool BankRangeFits(const tool::WriteChoices& choices) {
  if (!IsBank(choices.start_bank) || !IsBank(choices.end_bank) || !IsBank(choices.target_bank)) {
    return false;
  }
  if (choices.start_bank > choices.end_bank) return true;
  return choices.target_bank + (choices.end_bank - choices.start_bank) <= tool::kLastBank;
}

}  // namespace kyr::transfer
