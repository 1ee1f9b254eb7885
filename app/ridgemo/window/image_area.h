#pragma once
// The picture area of the tool window: the display canvas stretched, without smoothing,
// over the window's width and the window's height less the tool bar and a bottom margin.
#include <QImage>
#include <QWidget>

#include "images/canvas.h"

namespace kyr::ridgemo {

class ImageArea : public QWidget {
  Q_OBJECT

 public:
  ImageArea(const images::Canvas& canvas, QWidget* parent);

  // The painted size: the window's client width, and its height less `height_reduction`.
  QRect PaintedRect() const;
  void SetHeightReduction(int pixels) { height_reduction_ = pixels; }

 signals:
  // A left click, in the coordinates of the main window's client area.
  void Clicked(QPoint window_position);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  QImage image_;  // wraps the canvas bytes; the canvas never moves
  int height_reduction_ = 78;
};

}  // namespace kyr::ridgemo
