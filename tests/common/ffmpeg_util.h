#pragma once
// Test media made with the ffmpeg command-line tool, started through our own
// launcher (no shell, so paths need no escaping beyond their quotes).
#include <sys/wait.h>

#include <string>

#include "platform/cmdline.h"
#include "platform/launcher.h"

namespace zantrel_test {

// Runs "ffmpeg <args>" quietly; true when it exits 0.
inline bool RunFfmpeg(const std::string& args) {
  zantrel::ChildProcess p;
  zantrel::LaunchOptions o;
  o.quiet = true;
  std::string err;
  if (!p.Start("ffmpeg -nostdin -v error -y " + args, o, &err)) return false;
  const int st = p.Wait();
  return WIFEXITED(st) && WEXITSTATUS(st) == 0;
}

// An MP4 of `seconds` s at 25 fps (H.264, key frame every 2 s) with a 440 Hz
// AAC tone, frames of `size` ("WxH"); true when it was written to `out`.
inline bool MakeToneClip(const std::string& out, int seconds, const std::string& size) {
  const std::string d = std::to_string(seconds);
  return RunFfmpeg("-f lavfi -i testsrc2=size=" + size + ":rate=25:duration=" + d +
                   " -f lavfi -i sine=frequency=440:duration=" + d +
                   " -c:v libx264 -preset ultrafast -g 50 -pix_fmt yuv420p -c:a aac -shortest " +
                   zantrel::QuoteArgument(out));
}

}  // namespace zantrel_test
