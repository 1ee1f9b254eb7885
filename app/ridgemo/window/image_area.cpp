#include "window/image_area.h"

#include <QMouseEvent>
#include <QPainter>

namespace kyr::ridgemo {

ImageArea::ImageArea(const images::Canvas& canvas, QWidget* parent)
    : QWidget(parent),
      // Blue, green, red and an unused byte: the little-endian layout of RGB32.
      image_(canvas.bytes.data(), images::kCanvasWidth, images::kCanvasHeight,
             static_cast<qsizetype>(images::kCanvasRowBytes), QImage::Format_RGB32) {
  setAttribute(Qt::WA_OpaquePaintEvent, false);
  setFocusPolicy(Qt::ClickFocus);
}

QRect ImageArea::PaintedRect() const {
  const QWidget* client = window();
  return {0, 0, client->width(), std::max(0, client->height() - height_reduction_)};
}

void ImageArea::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
  painter.drawImage(PaintedRect(), image_);
}

void ImageArea::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    emit Clicked(mapTo(window(), event->position().toPoint()));
  }
  QWidget::mousePressEvent(event);
}

}  // namespace kyr::ridgemo
