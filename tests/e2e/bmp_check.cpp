// Reads a BMP file with Qt's own image reader, as Qt-based viewers do, and
// prints its size and the colour of one pixel: "WIDTHxHEIGHT #RRGGBB".
// Exit status 1 when Qt cannot read it.
#include <QImage>
#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: bmp_check FILE [X Y]\n");
    return 2;
  }
  QImage image;
  if (!image.load(QString::fromLocal8Bit(argv[1]), "BMP")) return 1;
  int x = argc > 3 ? std::atoi(argv[2]) : 0;
  int y = argc > 3 ? std::atoi(argv[3]) : 0;
  QRgb pixel = image.valid(x, y) ? image.pixel(x, y) : 0;
  std::printf("%dx%d #%02X%02X%02X\n", image.width(), image.height(), qRed(pixel), qGreen(pixel),
              qBlue(pixel));
  return 0;
}
