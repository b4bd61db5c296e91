// A build step, not shipped: draws the program's scalable icon as the PNG
// files that icon themes without SVG support look for.
//
//   contigra_render_icon ICON.svg FOLDER SIZE...
//
// writes FOLDER/<size>x<size>/apps/contigra.png for each size; exit code 1
// when the icon cannot be read or a file cannot be written.
#include <cstdio>
#include <cstdlib>

#include <QDir>
#include <QImage>
#include <QPainter>
#include <QString>
#include <QSvgRenderer>

int main(int argc, char** argv) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: %s ICON.svg FOLDER SIZE...\n", argv[0]);
    return 1;
  }
  QSvgRenderer icon(QString::fromLocal8Bit(argv[1]));
  if (!icon.isValid()) return 1;
  for (int i = 3; i < argc; ++i) {
    const int size = std::atoi(argv[i]);
    if (size <= 0) return 1;
    const QString folder = QStringLiteral("%1/%2x%2/apps").arg(QString::fromLocal8Bit(argv[2])).arg(size);
    QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    icon.render(&painter);
    painter.end();
    if (!QDir().mkpath(folder) || !image.save(folder + QStringLiteral("/contigra.png"))) return 1;
  }
  return 0;
}
