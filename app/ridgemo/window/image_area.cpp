#include "window/image_area.h"

#include <QMouseEvent>
#include <QPainter>
#include <algorithm>
#include <cstdint>

namespace kyr::ridgemo {

ImageArea::ImageArea(const images::Canvas& canvas, QWidget* parent)
    : QWidget(parent),
      canvas_(canvas),
      image_(images::kCanvasWidth, images::kCanvasHeight, QImage::Format_RGB32) {
  setAttribute(Qt::WA_OpaquePaintEvent, false);
  setFocusPolicy(Qt::ClickFocus);
}

QRect ImageArea::PaintedRect() const {
  const QWidget* client = ClientArea();
  return {0, 0, client->width(), std::max(0, client->height() - height_reduction_)};
}

QRect ImageArea::ShownRect() const {
  const QRect space = PaintedRect();
  const QSize shown =
      QSize(images::kCanvasWidth, images::kCanvasHeight).scaled(space.size(), Qt::KeepAspectRatio);
  return {space.left() + (space.width() - shown.width()) / 2,
          space.top() + (space.height() - shown.height()) / 2, shown.width(), shown.height()};
}

QPoint ImageArea::StretchedPoint(QPoint position) const {
  const QRect space = PaintedRect();
  const QRect shown = ShownRect();
  if (shown.isEmpty()) return position;
  // Edge pixels of the shown picture go to the edge pixels of the space, so both ends of the
  // head's pointer range stay reachable.
  auto along = [](int at, int shown_from, int shown_length, int space_from, int space_length) {
    const int offset = std::clamp(at - shown_from, 0, shown_length - 1);
    if (shown_length <= 1) return space_from;
    return space_from + offset * (space_length - 1) / (shown_length - 1);
  };
  return {along(position.x(), shown.left(), shown.width(), space.left(), space.width()),
          along(position.y(), shown.top(), shown.height(), space.top(), space.height())};
}

void ImageArea::CopyCanvas() {
  // The canvas's pixels are blue, green, red and a zero byte; RGB32 is the same little-endian
  // layout with the fourth byte 0xff. Painters copy RGB32 rows as they are, so a zero there
  // reaches the window as transparent, which a compositor honouring alpha shows as nothing.
  for (int row = 0; row < images::kCanvasHeight; ++row) {
    const std::uint8_t* from = canvas_.bytes.data() + canvas_.Offset(row, 0);
    auto* to = reinterpret_cast<QRgb*>(image_.scanLine(row));
    for (int column = 0; column < images::kCanvasWidth;
         ++column, from += images::kCanvasPixelBytes) {
      to[column] = qRgb(from[2], from[1], from[0]);
    }
  }
}

void ImageArea::paintEvent(QPaintEvent* /*event*/) {
  CopyCanvas();
  QPainter painter(this);
  painter.fillRect(rect(), palette().window());
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(ShownRect(), image_);
}

void ImageArea::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    emit Clicked(mapTo(ClientArea(), StretchedPoint(event->position().toPoint())));
  }
  QWidget::mousePressEvent(event);
}

}  // namespace kyr::ridgemo
