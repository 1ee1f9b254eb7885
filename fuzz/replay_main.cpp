// Replays inputs through a fuzz target's entry point without the fuzzer, so that the normal
// build and the sanitizer build run every seed (and every input that once crashed) as a test.
// Each argument is a file or a folder whose files are replayed in name order. A crash or an
// abort in the target fails the run; so does finding no input at all, so that a misplaced
// corpus cannot pass unnoticed.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);

namespace {

namespace fs = std::filesystem;

std::vector<fs::path> InputsOf(const fs::path& argument) {
  if (!fs::is_directory(argument)) return {argument};
  std::vector<fs::path> files;
  for (const auto& entry : fs::directory_iterator(argument)) {
    if (entry.is_regular_file()) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

bool ReadInput(const fs::path& path, std::vector<std::uint8_t>& bytes) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  bytes.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  return !in.bad();
}

}  // namespace

int main(int argc, char** argv) {
  std::size_t replayed = 0;
  std::vector<std::uint8_t> bytes;
  for (int i = 1; i < argc; ++i) {
    for (const fs::path& input : InputsOf(argv[i])) {
      if (!ReadInput(input, bytes)) {
        std::cerr << "cannot read " << input << '\n';
        return 1;
      }
      // Announced first, so that the input of a crash is the last name printed.
      std::cout << input.filename().string() << '\n' << std::flush;
      LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
      ++replayed;
    }
  }
  if (replayed == 0) {
    std::cerr << "no inputs to replay\n";
    return 1;
  }
  std::cout << "replayed " << replayed << " inputs\n";
  return 0;
}
