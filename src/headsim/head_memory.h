#pragma once
// The memory of one simulated head: its settings words, its pictures (registered bank
// images, memory images, taken images and, on the first head, the NG images with their
// table), the shoot status and the answers to the poll after an image write.
#include <array>
#include <cstdint>
#include <memory>
#include <vector>

namespace kyr::headsim {

inline constexpr int kSettingsWords = 8192;  // byte addresses 0x0000 to 0x3FFF
inline constexpr int kImageWords = 65536;    // 256 rows of 256 cells
inline constexpr int kBankImages = 32;
inline constexpr int kMemoryImages = 20;
inline constexpr int kShootImages = 6;
inline constexpr int kNgRecords = 63;
inline constexpr int kNgTableWords = 259;  // six spare words, the ring position, the records

// Settings word indexes the head itself consults.
inline constexpr int kVersionWord = 8128;         // low byte model code, high byte version
inline constexpr int kMemoryPresenceWord = 8138;  // two words, bit clear = image stored
inline constexpr int kBankWords = 192;
inline constexpr int kBankRegistrationWord = 5;  // bit 15 clear = bank image registered

enum class ImageKind : std::uint8_t { kBank, kMemory, kShoot, kNg };

using SettingsWords = std::array<std::uint16_t, kSettingsWords>;
using RawImage = std::array<std::uint16_t, kImageWords>;

// Where a word of image memory lives.
struct ImageWordRef {
  ImageKind kind = ImageKind::kBank;
  int number = -1;  // -1: the address holds no image
  int word = 0;
  bool valid() const { return number >= 0; }
};

class HeadMemory {
 public:
  explicit HeadMemory(int head_index);

  int head_index() const { return head_index_; }

  SettingsWords settings{};
  // Words S0 to S3 of the shoot status: bank of the last shot, two spare words, and a
  // non-zero S3 when the shot was taken on a trigger.
  std::array<std::uint16_t, 4> shoot_status{0, 0, 0, 1};
  // First words of the answers to the polls that follow an image write, in order; once
  // they are used up the head answers 0 (idle). The other four words are always 0.
  std::vector<std::uint16_t> poll_busy_answers{15, 5};

  std::uint16_t SettingsWord(std::uint32_t byte_address) const;
  void SetSettingsWord(std::uint32_t byte_address, std::uint16_t value);

  // Pictures. An image never written shows a generated picture that names its kind and
  // number, so that a read can be recognised by eye.
  const RawImage& Image(ImageKind kind, int number) const;
  bool IsImageStored(ImageKind kind, int number) const;
  std::uint16_t ImageWord(const ImageWordRef& ref) const;
  // Stores one word; writing a bank or memory image also marks it present in the settings
  // words that report image presence.
  void WriteImageWord(const ImageWordRef& ref, std::uint16_t value);
  // Registers the generated picture of a bank or memory image as stored, as if the head
  // had taken it: what a demo head shows without any image written first.
  void RegisterImage(ImageKind kind, int number);

  // The NG table: `count` most recent NG pictures, the newest just before ring position `e`.
  void SetNgImages(int ring_position, int count);
  std::uint16_t NgTableWord(int index) const;
  int NgRingPosition() const { return ng_table_[6] & 0xFF; }
  int NgRecordOfNumber(int ng_number) const;

  // Image writes and polls.
  void NoteImageWrite();
  std::array<std::uint16_t, 5> NextPollAnswer();

 private:
  std::unique_ptr<RawImage>& Slot(ImageKind kind, int number) const;
  // Notes the image as stored, in the memory and in the settings words that report it.
  void MarkStored(ImageKind kind, int number);
  void GeneratePicture(ImageKind kind, int number, RawImage& out) const;

  int head_index_;
  mutable std::array<std::unique_ptr<RawImage>, kBankImages> bank_;
  mutable std::array<std::unique_ptr<RawImage>, kMemoryImages> memory_;
  mutable std::array<std::unique_ptr<RawImage>, kShootImages> shoot_;
  mutable std::array<std::unique_ptr<RawImage>, kNgRecords> ng_;
  std::array<bool, kBankImages + kMemoryImages + kShootImages + kNgRecords> stored_{};
  std::array<std::uint16_t, kNgTableWords> ng_table_{};
  std::size_t polls_since_write_ = 0;
  bool write_seen_ = false;
};

// Raw image cell for a colour: the sensor's two-row colour coding, as produced when a
// picture is taken (even rows carry one pair of colour sums, odd rows the other).
std::uint16_t CellFromColour(int blue, int green, int red, bool odd_row);

}  // namespace kyr::headsim
