#pragma once
// Clips made with the ffmpeg CLI once per test run, in a temporary folder.
// Every frame shows its own frame number as eight bars (bit 0 on the left,
// white over black = 1, black over white = 0), so a grabbed picture tells
// which frame is shown, and a blank picture decodes as none.
#include <QImage>
#include <QRect>
#include <QString>

#include <string>

struct TestMedia {
  static constexpr int kFps = 25;
  static constexpr int kSeconds = 8;
  std::string dir;  // ends without a slash
  std::string mp4;  // H.264 + AAC, a single key frame
  std::string flv;  // Sorenson Spark + MP3, a single key frame
  bool ok = false;
};

// Generated on first use; ok is false if ffmpeg failed.
const TestMedia& Media();

// Runs a shell command; true if it exited 0.
bool RunShell(const std::string& command);

// Frame number shown in `image` inside `picture` (the area the video fills);
// -1 if the picture is not one of these frames.
int DecodeFrameNumber(const QImage& image, const QRect& picture);
