#include "backup/record.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "backup/sha256.h"
#include "common/temp_folder.h"

namespace kyr::backup {
namespace {

namespace fs = std::filesystem;
using test_common::ReadAll;
using test_common::TempFolder;
using test_common::WriteAll;

// Lengths around the block and padding boundaries (55/56, 63/64, 119/120 bytes).
TEST(Sha256, MatchesKnownDigests) {
  const struct {
    std::string data;
    const char* digest;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
      {std::string(63, 'a'), "7d3e74a05d7db15bce4ad9ec0658ea98e3f06eeecf16b4c6fff2da457ddc2f34"},
      {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
      {std::string(119, 'a'), "31eba51c313a5c08226adf18d4a359cfdfd8d2e816b13f4af952f7ea6584dcfb"},
      {std::string(120, 'a'), "2f3d335432c70b580af0e8e1b3674a7c020d683aa5f73aaaedfdc55af904c21c"},
  };
  TempFolder folder;
  for (const auto& c : cases) {
    EXPECT_EQ(Sha256Hex(c.data), c.digest) << c.data.size();
    WriteAll(folder.File("f"), c.data);
    EXPECT_EQ(Sha256OfFile(folder.File("f")), c.digest);
  }
  EXPECT_FALSE(Sha256OfFile(folder.File("none")));
}

Manifest Sample() {
  Manifest manifest;
  manifest.program = "ridgemo 1.0";
  manifest.time = "2026-12-07T14:40:05Z";
  manifest.port = "USB";
  manifest.unit_serial = "KYRD0001";
  manifest.heads.push_back({2,
                            1,
                            3,
                            {{"head2/settings.kdta", "settings", -1, 41984, "ab"},
                             {"head2/bank.04.kimg", "bank", 4, 131072, "cd"}}});
  return manifest;
}

TEST(Manifest, ReadsBackWhatItWroteAndRefusesWhatItCannotTrust) {
  const std::string text = ManifestText(Sample());
  std::string problem;
  const auto parsed = ParseManifest(text, problem);
  ASSERT_TRUE(parsed) << problem;
  EXPECT_EQ(ManifestText(*parsed), text);
  EXPECT_EQ(parsed->heads[0].files[1].number, 4);

  const struct {
    std::string from;
    std::string to;
  } damages[] = {
      {"\"format\": 1", "\"format\": 2"},
      {"\"head\": 2", "\"head\": 4"},
      {"head2/bank.04.kimg", "../bank.04.kimg"},
      {"head2/bank.04.kimg", "/etc/passwd"},
      {"\"size\": 41984", "\"size\": \"big\""},
      {"\"sha256\": \"ab\",", ""},
      {"{", "["},
  };
  for (const auto& damage : damages) {
    std::string bad = text;
    bad.replace(bad.find(damage.from), damage.from.size(), damage.to);
    EXPECT_FALSE(ParseManifest(bad, problem)) << damage.to;
    EXPECT_FALSE(problem.empty());
  }
}

TEST(IndexPage, ShowsUnitHeadsAndEveryImageEscaped) {
  Manifest manifest = Sample();
  manifest.port = "/dev/<pty>";
  const std::string en = IndexHtml(manifest, Lang::En);
  for (const char* part :
       {"<!DOCTYPE html>", "KYRD0001", "/dev/&lt;pty&gt;", "2026-12-07T14:40:05Z", "Head 2",
        "KYR-TC", "<img src=\"head2/bank.04.bmp\"", "Bank image 4"}) {
    EXPECT_NE(en.find(part), std::string::npos) << part;
  }
  EXPECT_NE(IndexHtml(manifest, Lang::Ja).find("バンク画像 4"), std::string::npos);
}

// The staging folder is the only thing that appears until the commit, and a target is
// replaced only when asked, after the new folder stands.
TEST(StagingFolder, AppearsUnderItsNameOnlyWhenCommitted) {
  TempFolder folder;
  const std::string target = folder.File("backup");
  {
    StagingFolder dropped(target);
    ASSERT_TRUE(dropped.Created());
    WriteAll(dropped.path() + "/x", "1");
  }
  EXPECT_TRUE(folder.Names().empty());

  std::string problem;
  StagingFolder first(target + "/");
  WriteAll(first.path() + "/x", "1");
  ASSERT_TRUE(first.Commit(false, problem, Lang::En)) << problem;
  EXPECT_EQ(ReadAll(target + "/x"), "1");

  {
    StagingFolder refused(target);
    EXPECT_FALSE(refused.Commit(false, problem, Lang::En));
    EXPECT_EQ(ReadAll(target + "/x"), "1");
  }

  StagingFolder second(target);
  WriteAll(second.path() + "/x", "2");
  ASSERT_TRUE(second.Commit(true, problem, Lang::En)) << problem;
  EXPECT_EQ(ReadAll(target + "/x"), "2");
  EXPECT_EQ(folder.Names(), std::vector<std::string>{"backup"});
}

}  // namespace
}  // namespace kyr::backup
