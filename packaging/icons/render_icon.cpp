// Renders an SVG icon into square PNG files, one per size, for the hicolor icon theme:
//   kyr-render-icon IN.svg OUT_PREFIX SIZE...   writes OUT_PREFIX-SIZE.png
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QSvgRenderer>
#include <cstdio>
#include <string>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: kyr-render-icon IN.svg OUT_PREFIX SIZE...\n");
    return 2;
  }
  QGuiApplication application(argc, argv);
  QSvgRenderer renderer(QString::fromLocal8Bit(argv[1]));
  if (!renderer.isValid()) {
    std::fprintf(stderr, "kyr-render-icon: cannot read %s\n", argv[1]);
    return 1;
  }
  for (int i = 3; i < argc; ++i) {
    const int size = std::stoi(argv[i]);
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    renderer.render(&painter);
    painter.end();
    const QString out = QStringLiteral("%1-%2.png").arg(QString::fromLocal8Bit(argv[2])).arg(size);
    if (!image.save(out, "PNG")) {
      std::fprintf(stderr, "kyr-render-icon: cannot write %s\n", qPrintable(out));
      return 1;
    }
  }
  return 0;
}
