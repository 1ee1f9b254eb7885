#pragma once
// The choices of the settings write dialog (CPrmWriteDlg): which banks go where, and which
// of the common parameters, the alphabet table and the expansion dictionary are written.
// They are remembered for the life of the process, never stored on disk.
namespace kyr::tool {

inline constexpr int kLastBank = 31;

struct WriteChoices {
  int start_bank = 0;
  int end_bank = kLastBank;
  int target_bank = 0;  // where the start bank lands; the following banks follow it
  bool common = true;
  bool alphabet = true;
  bool dictionary = true;

  bool operator==(const WriteChoices&) const = default;
};

// The dialog's working copy: it opens on the remembered choices and follows the user's
// edits; the caller remembers Shown() only when the user presses WRITE.
class WriteDialogModel {
 public:
  explicit WriteDialogModel(const WriteChoices& remembered) : shown_(remembered) {}

  // Choosing a start bank moves the destination with it, so that a bank is written onto
  // itself unless the user asks otherwise.
  void ChooseStartBank(int bank) {
    shown_.start_bank = bank;
    shown_.target_bank = bank;
  }
  void ChooseEndBank(int bank) { shown_.end_bank = bank; }
  void ChooseTargetBank(int bank) { shown_.target_bank = bank; }
  void SetCommon(bool ticked) { shown_.common = ticked; }
  void SetAlphabet(bool ticked) { shown_.alphabet = ticked; }
  void SetDictionary(bool ticked) { shown_.dictionary = ticked; }

  const WriteChoices& Shown() const { return shown_; }

 private:
  WriteChoices shown_;
};

}  // namespace kyr::tool
