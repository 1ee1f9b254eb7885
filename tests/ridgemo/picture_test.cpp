// What the picture area really paints, and what a screenshot of the monitor holds, on
// whichever platform the run chose (offscreen, xcb, or Wayland under a headless compositor):
// the canvas's colours, fully opaque.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <QImage>
#include <cstdlib>
#include <string>

#include "images/canvas.h"
#include "ridgemo/window_support.h"
#include "window/image_area.h"

namespace kyr::ridgemo::testing {
namespace {

// A colour of its own for every canvas column and row band; the fourth byte stays zero, as the
// canvas keeps it.
images::Pixel PatternAt(int row, int column) {
  return {static_cast<std::uint8_t>(column), static_cast<std::uint8_t>(row),
          static_cast<std::uint8_t>(60 + 100 * (column >> 8))};
}

// The pixels of `image` that are not fully opaque.
int TransparentPixels(const QImage& image) {
  int count = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) count += qAlpha(image.pixel(x, y)) != 255;
  }
  return count;
}

TEST(RidgemoPicture, PaintsTheCanvasColoursOpaque) {
  WindowRig rig;
  images::Canvas& canvas = rig.window->Canvas();
  for (int row = 0; row < images::kCanvasHeight; ++row) {
    for (int column = 0; column < images::kCanvasWidth; ++column) {
      const images::Pixel colour = PatternAt(row, column);
      const std::size_t at = canvas.Offset(row, column);
      canvas.bytes[at] = colour.blue;
      canvas.bytes[at + 1] = colour.green;
      canvas.bytes[at + 2] = colour.red;
    }
  }
  rig.window->PaintCanvas();
  auto* picture = static_cast<ImageArea*>(rig.Control(kIdPicture));
  const QImage painted = picture->grab().toImage();
  const QRect shown = picture->ShownRect();
  ASSERT_FALSE(shown.isEmpty());
  EXPECT_EQ(TransparentPixels(painted.copy(shown)), 0)
      << qPrintable(QGuiApplication::platformName());
  struct Point {
    int row, column;
  };
  for (const Point p : {Point{0, 0}, Point{0, 479}, Point{271, 0}, Point{271, 479}, Point{136, 255},
                        Point{136, 256}, Point{100, 300}}) {
    // The middle of the shown cell of canvas pixel p (the picture is scaled without smoothing).
    const int x = shown.left() + (2 * p.column + 1) * shown.width() / (2 * images::kCanvasWidth);
    const int y = shown.top() + (2 * p.row + 1) * shown.height() / (2 * images::kCanvasHeight);
    const QRgb seen = painted.pixel(x, y);
    const images::Pixel expected = PatternAt(p.row, p.column);
    EXPECT_EQ((images::Pixel{static_cast<std::uint8_t>(qBlue(seen)),
                             static_cast<std::uint8_t>(qGreen(seen)),
                             static_cast<std::uint8_t>(qRed(seen))}),
              expected)
        << "canvas row " << p.row << " column " << p.column;
  }
}

// The program itself, as `ridgemo --simulate --screenshot m.png --scene monitor` on the run's
// platform: the head's frames in the picture, and no pixel of the window transparent.
TEST(RidgemoPicture, MonitorScreenshotIsOpaqueAndShowsTheHeadsScreen) {
  EnsureApplication();
  TempFolder folder;
  const std::string png = folder.File("m.png");
  const std::string command = std::string(KYR_BINARY_DIR) +
                              "/app/ridgemo/ridgemo --lang en --simulate --screenshot " + png +
                              " --scene monitor >" + folder.File("out.txt") + " 2>&1";
  const int status = std::system(command.c_str());
  ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << command;
  const QImage shot(QString::fromStdString(png));
  ASSERT_FALSE(shot.isNull());
  EXPECT_EQ(TransparentPixels(shot), 0);
  // The picture area (below the tool bar) holds more than one colour: frames were painted.
  const QImage area = shot.copy(0, 65, shot.width(), shot.height() - 65 - 13);
  const QRgb first = area.pixel(area.width() / 2, area.height() / 2);
  bool varied = false;
  for (int y = 0; y < area.height() && !varied; y += 7) {
    for (int x = 0; x < area.width() && !varied; x += 7) varied = area.pixel(x, y) != first;
  }
  EXPECT_TRUE(varied);
}

}  // namespace
}  // namespace kyr::ridgemo::testing
