// The ridgemo executable's image commands, run as a user runs them.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "common/temp_folder.h"

namespace {

namespace fs = std::filesystem;

class RidgemoImages : public ::testing::Test {
 protected:
  // A folder of its own for each run, so that two builds running this program at once (the
  // normal and the sanitizer suite) never share files.
  std::string File(const std::string& name) const { return folder_.File(name); }

  // Exit status of ridgemo with `args`; no terminal, so questions are answered No.
  int Run(const std::string& args) const {
    const std::string command = std::string(KYR_BINARY_DIR) + "/app/ridgemo/ridgemo --lang en " +
                                args + " </dev/null >" + File("out.txt") + " 2>" + File("err.txt");
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  }

  std::string Err() const {
    std::ifstream in(File("err.txt"));
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }

  void WriteFile(const std::string& name, std::size_t size, char fill) const {
    std::ofstream(File(name), std::ios::binary) << std::string(size, fill);
  }

  kyr::test_common::TempFolder folder_;
};

TEST_F(RidgemoImages, ToBmpWritesTheCanvasBitmapAndRefusesIncompleteImages) {
  WriteFile("grey.kimg", 131072, '\x80');
  ASSERT_EQ(Run("to-bmp " + File("grey.kimg") + " " + File("grey.bmp")), 0) << Err();
  ASSERT_EQ(fs::file_size(File("grey.bmp")), 391734u);
  std::ifstream bmp(File("grey.bmp"), std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(bmp)),
                                std::istreambuf_iterator<char>());
  // Canvas row 0 is the last file row; its first pixel is grey 96, its pixel 256 black.
  const std::size_t top = 54 + 271 * 1440;
  EXPECT_EQ(bytes[top], 96);
  EXPECT_EQ(bytes[top + 256 * 3], 0);

  WriteFile("short.kimg", 131071, '\x80');
  EXPECT_EQ(Run("to-bmp " + File("short.kimg") + " " + File("short.bmp")), 1);
  EXPECT_NE(Err().find("Fail to open the image file."), std::string::npos);
  EXPECT_FALSE(fs::exists(File("short.bmp")));
  EXPECT_EQ(Run("to-bmp " + File("absent.kimg") + " " + File("x.bmp")), 1);
}

// A link failure prints the message's own text, then the port or unit and the reason.
TEST_F(RidgemoImages, LinkFailuresSayWhichPortAndWhy) {
  struct Case {
    std::string args;
    std::string printed;
  };
  const Case cases[] = {
      {"--port /dev/kyr-no-such-port read-settings " + File("a.kdta"),
       "Fail to open Port.\n/dev/kyr-no-such-port: No such file or directory\n"},
      {"--port " + File("plain") + " read-images --type bank " + File("b.kimg"),
       "Fail to open Port.\n" + File("plain") + ": not a serial port\n"},
  };
  WriteFile("plain", 1, 'x');
  for (const Case& c : cases) {
    EXPECT_EQ(Run(c.args), 1) << c.args;
    EXPECT_NE(Err().find(c.printed), std::string::npos) << Err();
  }
}

TEST_F(RidgemoImages, ExistingBitmapNeedsYesAndUsageErrorsExitWithTwo) {
  WriteFile("grey.kimg", 131072, '\x80');
  WriteFile("old.bmp", 3, 'x');
  EXPECT_EQ(Run("to-bmp " + File("grey.kimg") + " " + File("old.bmp")), 1);
  EXPECT_NE(Err().find("Overwrite? no (use --yes to answer yes)\n"), std::string::npos) << Err();
  EXPECT_EQ(fs::file_size(File("old.bmp")), 3u);
  EXPECT_EQ(Run("to-bmp --yes " + File("grey.kimg") + " " + File("old.bmp")), 0);
  EXPECT_EQ(fs::file_size(File("old.bmp")), 391734u);

  EXPECT_EQ(Run("to-bmp " + File("grey.kimg")), 2);
  EXPECT_EQ(Run("no-such-command"), 2);
  EXPECT_EQ(Run("--lang fr to-bmp a b"), 2);
  EXPECT_NE(Err().find("--lang"), std::string::npos);
  EXPECT_EQ(Run("--head 4 to-bmp a b"), 2);
  EXPECT_EQ(Run("--help"), 0);
}

TEST_F(RidgemoImages, ImageTransfersAgainstTheSimulatedHead) {
  // NG pictures of the built-in head land in files named after their records.
  ASSERT_EQ(Run("--simulate read-images --type ng " + File("ng.kimg")), 0) << Err();
  std::vector<std::string> ng_files;
  for (const auto& entry : fs::directory_iterator(folder_.path())) {
    const std::string name = entry.path().filename().string();
    if (name.starts_with("ng.")) {
      ng_files.push_back(name);
      EXPECT_EQ(entry.file_size(), 131072u) << name;
    }
  }
  EXPECT_FALSE(ng_files.empty());
  ASSERT_EQ(Run("--simulate read-images --type bank " + File("b.kimg") + " --only 2,5"), 0)
      << Err();
  EXPECT_TRUE(fs::exists(File("b.02.kimg")));
  EXPECT_TRUE(fs::exists(File("b.05.kimg")));
  // Writing asks for confirmation: No without --yes.
  EXPECT_EQ(Run("--simulate write-images --type memory " + File("b.02.kimg")), 1);
  EXPECT_EQ(Run("--simulate --yes write-images --type memory " + File("b.02.kimg") + " " +
                File("b.05.kimg")),
            0)
      << Err();
  EXPECT_EQ(Run("--simulate --yes write-images --type shoot " + File("b.02.kimg")), 1);
  EXPECT_NE(Err().find("The target are only Bank and Memory."), std::string::npos);

  // Usage errors: a name without .kimg, numbers out of range, a file without a number.
  EXPECT_EQ(Run("--simulate read-images --type bank " + File("b.bin")), 2);
  EXPECT_EQ(Run("--simulate read-images --type shoot " + File("s.kimg") + " --only 6"), 2);
  EXPECT_EQ(Run("--simulate read-images " + File("s.kimg")), 2);
  WriteFile("plain.kimg", 131072, 0);
  EXPECT_EQ(Run("--simulate write-images --type bank " + File("plain.kimg")), 2);
  EXPECT_EQ(Run("--simulate write-images --type memory " + File("plain.kimg") + " --number 20"), 2);
}

// A simulated line of N units: devices lists N serial numbers; a count out of range is a
// usage error.
TEST_F(RidgemoImages, SimulatedLineHasTheUnitsAsked) {
  const struct {
    std::string options;
    int status;
    int units;
  } cases[] = {{"--simulate", 0, 1},           {"--simulate=3", 0, 3},
               {"--simulate --units 2", 0, 2}, {"--units 4 --simulate", 0, 4},
               {"--simulate=0", 2, 0},         {"--simulate=17", 2, 0},
               {"--simulate --units x", 2, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(Run(c.options + " devices"), c.status) << c.options << Err();
    std::ifstream out(File("out.txt"));
    const std::string text((std::istreambuf_iterator<char>(out)), std::istreambuf_iterator<char>());
    EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), c.units == 0 ? 0 : c.units + 1)
        << c.options;
    if (c.units > 1) {
      EXPECT_NE(text.find("KYRD000" + std::to_string(c.units)), std::string::npos);
    }
  }
}

}  // namespace

TEST_F(RidgemoImages, MonitorCommandGrabsTheSimulatedScreenAndIsUsbOnly) {
  ASSERT_EQ(Run("--simulate monitor --frames 2 --bmp " + File("screen")), 0) << Err();
  ASSERT_EQ(fs::file_size(File("screen")), 391734u);  // the path is used as given
  std::ifstream bmp(File("screen"), std::ios::binary);
  const std::vector<char> bytes((std::istreambuf_iterator<char>(bmp)),
                                std::istreambuf_iterator<char>());
  std::size_t lit = 0;
  for (std::size_t i = 54; i < bytes.size(); ++i) lit += bytes[i] != 0;
  EXPECT_GT(lit, bytes.size() / 4);  // a whole frame, bottom rows included

  EXPECT_EQ(Run("--simulate --port COM1 monitor --frames 1 --bmp " + File("com.bmp")), 1);
  EXPECT_NE(Err().find("ImageMonitor is USB only."), std::string::npos);
  EXPECT_FALSE(fs::exists(File("com.bmp")));
  EXPECT_EQ(Run("monitor --frames 0 --bmp " + File("x.bmp")), 2);
}
