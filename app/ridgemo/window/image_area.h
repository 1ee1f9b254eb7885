#pragma once
// The picture area of the tool window: the display canvas scaled, without smoothing, into the
// window's width and the window's height less the tool bar and a bottom margin, keeping the
// canvas's shape (bars fill the rest).
#include <QImage>
#include <QWidget>

#include "images/canvas.h"

namespace kyr::ridgemo {

class ImageArea : public QWidget {
  Q_OBJECT

 public:
  ImageArea(const images::Canvas& canvas, QWidget* parent);

  // The space for the picture: the window's client width, and its height less
  // `height_reduction`.
  QRect PaintedRect() const;
  // Where the picture is shown: the largest rectangle of the canvas's shape centred in
  // PaintedRect.
  QRect ShownRect() const;
  // `position` (in this widget) taken through the shown picture to the point it stands for
  // in PaintedRect, as if the picture filled that space; clicks beside the picture go to its
  // nearest edge.
  QPoint StretchedPoint(QPoint position) const;
  void SetHeightReduction(int pixels) { height_reduction_ = pixels; }
  // The widget that stands for the window's client area (the window less its menu bar);
  // the window itself until set.
  void SetClientArea(QWidget* client) { client_ = client; }
  QWidget* ClientArea() const { return client_ != nullptr ? client_ : window(); }

 signals:
  // A left click, in the coordinates of the main window's client area, as the picture
  // filling PaintedRect would have taken it.
  void Clicked(QPoint window_position);

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  // The canvas copied into image_ with every pixel opaque; image_ is allocated once.
  void CopyCanvas();

  const images::Canvas& canvas_;  // the canvas never moves
  QImage image_;
  int height_reduction_ = 78;
  QWidget* client_ = nullptr;
};

}  // namespace kyr::ridgemo
