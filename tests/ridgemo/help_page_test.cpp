// Where the tool finds its help page, and that Help always shows it: through the desktop's
// opener when that works, in the program's own viewer when the opener fails or is missing.
#include <gtest/gtest.h>

#include <QAbstractTextDocumentLayout>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QUrl>
#include <QWidget>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "window/help_page.h"
#include "window_support.h"

namespace kyr::ridgemo::testing {
namespace {

void WriteFile(const std::filesystem::path& path, const std::string& text) {
  std::filesystem::create_directories(path.parent_path());
  std::ofstream(path) << text;
}

bool WaitFor(const std::function<bool()>& done, int milliseconds = 5000) {
  QElapsedTimer timer;
  timer.start();
  while (!done()) {
    if (timer.elapsed() > milliseconds) return false;
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
  }
  return true;
}

// A layout with the program in root/bin, an installed prefix root/share, a build-tree copy
// root/bin/help and a source folder root/src.
struct LookupCase {
  const char* name;
  std::vector<std::string> present;
  bool japanese;
  std::string expected;  // relative to root; empty: no page
  friend void PrintTo(const LookupCase& c, std::ostream* out) { *out << c.name; }
};

class HelpLookup : public ::testing::TestWithParam<LookupCase> {};

TEST_P(HelpLookup, FindsTheBestPagePresent) {
  const LookupCase& c = GetParam();
  TempFolder root;
  for (const std::string& relative : c.present) WriteFile(root.File(relative), "<html></html>");
  const QString found = FindHelpPage(QString::fromStdString(root.File("bin")),
                                     QString::fromStdString(root.File("src")), c.japanese);
  const QString expected = c.expected.empty()
                               ? QString()
                               : QDir::cleanPath(QString::fromStdString(root.File(c.expected)));
  EXPECT_EQ(found.toStdString(), expected.toStdString());
}

const char kInstalledEn[] = "share/kyr-tools/help/ridgemo.html";
const char kInstalledJa[] = "share/kyr-tools/help/ridgemo.ja.html";
const char kBuildEn[] = "bin/help/ridgemo.html";
const char kBuildJa[] = "bin/help/ridgemo.ja.html";
const char kSourceEn[] = "src/ridgemo.html";
const char kSourceJa[] = "src/ridgemo.ja.html";

INSTANTIATE_TEST_SUITE_P(
    Layouts, HelpLookup,
    ::testing::Values(
        LookupCase{"InstalledFirst", {kInstalledEn, kBuildEn, kSourceEn}, false, kInstalledEn},
        LookupCase{
            "InstalledJapanese", {kInstalledEn, kInstalledJa, kSourceJa}, true, kInstalledJa},
        LookupCase{"EnglishWhenNotAsked", {kInstalledEn, kInstalledJa}, false, kInstalledEn},
        LookupCase{"JapaneseFallsBackToEnglish", {kInstalledEn, kBuildJa}, true, kInstalledEn},
        LookupCase{"BuildTree", {kBuildEn, kBuildJa, kSourceEn}, true, kBuildJa},
        LookupCase{"SourceTreeLast", {kSourceEn, kSourceJa}, true, kSourceJa},
        LookupCase{
            "FolderIsNoPage", {"share/kyr-tools/help/ridgemo.html/x", kSourceEn}, false, kSourceEn},
        LookupCase{"Nothing", {}, true, ""}),
    [](const auto& test) { return std::string(test.param.name); });

// The Help command with a stand-in for the desktop's opener on PATH.
struct OpenerCase {
  const char* name;
  const char* opener;  // shell script body; nullptr: no opener on PATH at all
  bool viewer_shown;
  friend void PrintTo(const OpenerCase& c, std::ostream* out) { *out << c.name; }
};

class HelpShown : public ::testing::TestWithParam<OpenerCase>, public ApplicationFirst {
 protected:
  void SetUp() override {
    const char* path = std::getenv("PATH");
    saved_path_ = path != nullptr ? path : "";
    setenv("PATH", folder_.File("bin").c_str(), 1);
    std::filesystem::create_directories(folder_.File("bin"));
  }
  void TearDown() override { setenv("PATH", saved_path_.c_str(), 1); }

  void InstallOpener(const char* body) {
    const std::string script = folder_.File("bin/xdg-open");
    WriteFile(script, "#!/bin/sh\necho \"$1\" >> '" + folder_.File("opened") + "'\n" + body + "\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  }
  std::string Opened() const {
    std::ifstream in(folder_.File("opened"));
    std::string line;
    std::getline(in, line);
    return line;
  }

  TempFolder folder_;
  std::string saved_path_;
};

TEST_P(HelpShown, ByTheOpenerOrByItself) {
  const OpenerCase& c = GetParam();
  if (c.opener != nullptr) InstallOpener(c.opener);
  QWidget window;
  ShowHelp(&window);
  ShowHelp(&window);  // a second Help while the first is handled
  ASSERT_TRUE(WaitFor([&] { return window.findChildren<QProcess*>().isEmpty(); }));
  QCoreApplication::processEvents();

  const QString page = InstalledHelpPage();
  ASSERT_FALSE(page.isEmpty());
  if (c.opener != nullptr) {
    EXPECT_EQ(Opened(), QUrl::fromLocalFile(page).toString().toStdString());
  }
  const auto viewers = window.findChildren<HelpViewer*>();
  if (!c.viewer_shown) {
    EXPECT_TRUE(viewers.isEmpty());
    return;
  }
  ASSERT_EQ(viewers.size(), 1);  // one viewer however often Help was asked
  EXPECT_TRUE(viewers.front()->isVisible());
  EXPECT_EQ(viewers.front()->Browser()->source(), QUrl::fromLocalFile(page));
  EXPECT_TRUE(viewers.front()->Browser()->toPlainText().contains(QStringLiteral("Image Monitor")));
}

INSTANTIATE_TEST_SUITE_P(Openers, HelpShown,
                         ::testing::Values(OpenerCase{"BrowserOpened", "exit 0", false},
                                           OpenerCase{"NoBrowserFound", "exit 3", true},
                                           OpenerCase{"OpenerKilled", "kill -9 $$", true},
                                           OpenerCase{"NoOpenerInstalled", nullptr, true}),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(HelpViewerWithoutPage, SaysWhereItLooked) {
  EnsureApplication();
  HelpViewer viewer(QString(), nullptr);
  const QString text = viewer.Browser()->toPlainText();
  EXPECT_TRUE(text.contains(QStringLiteral("help page was not found")));
  EXPECT_TRUE(text.contains(QStringLiteral("share/kyr-tools/help/ridgemo.html")));
}

// The viewer gives each picture of both pages the height it is shown at, with no blank of
// most of a picture's height below it (a text line-height applied to the picture's line).
TEST(HelpViewerPages, PicturesTakeOnlyTheirOwnHeight) {
  EnsureApplication();
  for (const char* name : {"ridgemo.html", "ridgemo.ja.html"}) {
    HelpViewer viewer(QStringLiteral(KYR_HELP_SOURCE_DIR "/") + QLatin1String(name), nullptr);
    QTextDocument* document = viewer.Browser()->document();
    document->setTextWidth(740);
    int pictures = 0;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
      for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
        const QTextImageFormat image = fragment.fragment().charFormat().toImageFormat();
        if (!image.isValid()) continue;
        ++pictures;
        // From the picture's line to the next block's.
        const QAbstractTextDocumentLayout* layout = document->documentLayout();
        const qreal height =
            layout->blockBoundingRect(block.next()).top() - layout->blockBoundingRect(block).top();
        EXPECT_LT(height, image.height() * 1.15) << name << " " << image.name().toStdString();
      }
    }
    EXPECT_EQ(pictures, 2) << name;
  }
}

}  // namespace
}  // namespace kyr::ridgemo::testing
