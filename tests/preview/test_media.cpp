#include "tests/preview/test_media.h"

#include <QColor>
#include <QTemporaryDir>

#include <cstdlib>

bool RunShell(const std::string& command) { return std::system(command.c_str()) == 0; }

namespace {

std::string PatternClip(const std::string& out, const std::string& codecs) {
  // The bars are drawn 8x2 (the bottom row inverted) and blown up without
  // smoothing, so each bit is a flat 40x120 block; -g keeps the whole clip in one group of pictures,
  // so only an exact seek finds a frame in the middle.
  const std::string video =
      "color=c=black:s=8x2:r=" + std::to_string(TestMedia::kFps) +
      ":d=" + std::to_string(TestMedia::kSeconds) +
      ",format=gray,geq=lum='if(eq(mod(floor(N/pow(2\\,X))\\,2)\\,Y)\\,16\\,235)',"
      "scale=320:240:flags=neighbor,setsar=1,format=yuv420p";
  return "ffmpeg -nostdin -loglevel error -y -f lavfi -i \"" + video +
         "\" -f lavfi -i \"sine=frequency=440:duration=" + std::to_string(TestMedia::kSeconds) +
         "\" " + codecs + " -g 1000 -shortest '" + out + "'";
}

}  // namespace

const TestMedia& Media() {
  static QTemporaryDir tmp;
  static TestMedia media = [] {
    TestMedia m;
    m.dir = tmp.path().toStdString();
    m.mp4 = m.dir + "/pattern.mp4";
    m.flv = m.dir + "/pattern.flv";
    m.ok = tmp.isValid() &&
           RunShell(PatternClip(m.mp4, "-c:v libx264 -preset veryfast -pix_fmt yuv420p -c:a aac")) &&
           RunShell(PatternClip(m.flv, "-c:v flv -q:v 3 -c:a libmp3lame -ar 44100"));
    return m;
  }();
  return media;
}

int DecodeFrameNumber(const QImage& image, const QRect& picture) {
  // Bit b is white in the top half and black in the bottom half when set,
  // the other way round when clear; anything else is not one of our frames.
  const auto bitAt = [&](int x, int y) {
    const int level = qGray(image.pixel(x, y));
    return level > 200 ? 1 : level < 55 ? 0 : -1;
  };
  int n = 0;
  const int top = picture.top() + picture.height() / 4;
  const int bottom = picture.top() + picture.height() * 3 / 4;
  for (int bit = 0; bit < 8; ++bit) {
    const int x = picture.left() + picture.width() * (2 * bit + 1) / 16;
    const int upper = bitAt(x, top), lower = bitAt(x, bottom);
    if (upper < 0 || lower < 0 || upper == lower) return -1;
    n |= upper << bit;
  }
  return n;
}
