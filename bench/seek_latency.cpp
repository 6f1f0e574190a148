// Seek latency of the preview player: how long from a request to the frame
// it asks for painted in the widget, for each way of moving, side by side in
// one run (each round makes one move of every kind, to fresh targets):
//   setToPar   today's slider seek: an exact seek to a whole percent
//   keyframe   SeekTo(KeyFrame): the key frame at or before the target (drag)
//   exact      SeekTo(Exact): the frame at the target (drag end, click)
//   step+1     StepFrame(+1) from the exact frame: one decode
//   step-1     StepFrame(-1) from there: an exact seek to the frame before
//
//   seek_latency <clip> <gop frames> [rounds] [seed]
//
// The clip must carry its frame number in its top third as 16 bars (bit 0
// on the left; white over black = 1, black over white = 0), as made by
// bench/seek-latency.sh. Prints the median, p90 and extremes in ms.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "preview/flash_player.h"
#include "preview/mpv_player_widget.h"

namespace {

constexpr int kFps = 25;

int DecodeFrame(const QImage& img) {
  if (img.isNull()) return -1;
  const auto bitAt = [&](int x, int y) {
    const int level = qGray(img.pixel(x, y));
    return level > 200 ? 1 : level < 55 ? 0 : -1;
  };
  const int top = img.height() / 12, bottom = img.height() * 3 / 12;
  int n = 0;
  for (int bit = 0; bit < 16; ++bit) {
    const int x = img.width() * (2 * bit + 1) / 32;
    const int upper = bitAt(x, top), lower = bitAt(x, bottom);
    if (upper < 0 || lower < 0 || upper == lower) return -1;
    n |= upper << bit;
  }
  return n;
}

// Waits, running the event loop, until the painted frame satisfies ok(), or
// timeoutMs passed. Returns the elapsed ms, or -1 on timeout.
template <typename Ok>
double WaitPainted(MpvPlayerWidget& w, Ok ok, int timeoutMs) {
  QElapsedTimer clock;
  clock.start();
  QEventLoop loop;
  double hit = -1;
  auto conn = QObject::connect(&w, &MpvPlayerWidget::framePainted, [&] {
    if (ok(DecodeFrame(w.CurrentFrame()))) {
      hit = clock.nsecsElapsed() / 1e6;
      loop.quit();
    }
  });
  QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
  loop.exec();
  QObject::disconnect(conn);
  return hit;
}

double Percentile(std::vector<double> v, double q) {
  std::sort(v.begin(), v.end());
  const std::size_t i = std::min(v.size() - 1, std::size_t(q * (v.size() - 1) + 0.5));
  return v[i];
}

void Report(const char* clip, const char* what, const std::vector<double>& ms, int misses) {
  if (ms.empty()) {
    std::printf("%s %-9s no seek landed, misses %d\n", clip, what, misses);
    return;
  }
  std::printf("%s %-9s %3zu moves, median %6.1f ms, p90 %6.1f ms, min %6.1f, max %6.1f, misses %d\n",
              clip, what, ms.size(), Percentile(ms, 0.5), Percentile(ms, 0.9),
              *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()),
              misses);
}

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("ZANTREL_AO")) qputenv("ZANTREL_AO", "null");
  QApplication app(argc, argv);
  if (argc < 3) {
    std::fprintf(stderr, "usage: seek_latency <clip> <gop frames> [rounds] [seed]\n");
    return 2;
  }
  const std::string clip = argv[1];
  const int gop = std::max(1, std::atoi(argv[2]));
  const int rounds = argc > 3 ? std::atoi(argv[3]) : 30;
  const unsigned seed = argc > 4 ? unsigned(std::atoi(argv[4])) : 1;

  // As the dialog has it: a 320x240 player, loaded, paused, then moves.
  MpvPlayerWidget player;
  player.resize(320, 240);
  player.show();
  player.CallFunction(CFlashPlayer::LoadAndPlayVideoRequest(clip));
  player.CallFunction(CFlashPlayer::PauseVideoRequest());
  const double total =
      std::atof(ExtractReplyValue(player.CallFunction(CFlashPlayer::GetTotalTimeRequest())).c_str());
  if (total <= 0 || WaitPainted(player, [](int f) { return f >= 0; }, 10000) < 0) {
    std::fprintf(stderr, "seek_latency: %s did not load or carries no frame pattern\n",
                 clip.c_str());
    return 1;
  }

  enum { kPercent, kKey, kExact, kForward, kBack, kKinds };
  const char* names[kKinds] = {"setToPar", "keyframe", "exact", "step+1", "step-1"};
  std::vector<double> ms[kKinds];
  int misses[kKinds] = {};
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> pick(1, 99);
  const auto frameAt = [&](double seconds) { return int(seconds * kFps + 1e-6); };
  // Makes a move and times it to the first painted frame that satisfies ok.
  const auto timed = [&](int kind, auto move, auto ok) {
    move();
    const double t = WaitPainted(player, ok, 5000);
    if (t < 0) {
      ++misses[kind];
      std::fprintf(stderr, "  %s: not shown within 5 s (showing %d)\n", names[kind],
                   DecodeFrame(player.CurrentFrame()));
    } else {
      ms[kind].push_back(t);
    }
    // A pause between moves, as a hand on the slider gives; lets a move
    // still settling (a step's trailing work) end before the next.
    player.ShownFrameTimeUs();
    QEventLoop idle;
    QTimer::singleShot(100, &idle, &QEventLoop::quit);
    idle.exec();
  };
  int previous = -1;
  const auto fresh = [&] {
    int p;
    do p = pick(rng);
    while (p == previous);
    previous = p;
    return p;
  };
  for (int i = 0; i < rounds; ++i) {
    int p = fresh();
    const int before = frameAt(total * p / 100.0);
    timed(kPercent, [&] { player.CallFunction(CFlashPlayer::SetToParRequest(std::to_string(p))); },
          [&](int f) { return f == before || f == before + 1; });

    p = fresh();
    const double keyTarget = total * p / 100.0;
    const int key = frameAt(keyTarget) / gop * gop;
    timed(kKey,
          [&] { player.SeekTo(std::int64_t(keyTarget * 1e6), MpvPlayerWidget::SeekKind::KeyFrame); },
          [&](int f) { return f == key; });

    p = fresh();
    const double target = total * p / 100.0;
    const int exact = frameAt(target);
    timed(kExact,
          [&] { player.SeekTo(std::int64_t(target * 1e6), MpvPlayerWidget::SeekKind::Exact); },
          [&](int f) { return f == exact || f == exact + 1; });
    const int at = DecodeFrame(player.CurrentFrame());
    timed(kForward, [&] { player.StepFrame(+1); }, [&](int f) { return f == at + 1; });
    timed(kBack, [&] { player.StepFrame(-1); }, [&](int f) { return f == at; });
  }
  int missed = 0;
  for (int k = 0; k < kKinds; ++k) {
    Report(clip.c_str(), names[k], ms[k], misses[k]);
    missed += misses[k];
  }
  return missed ? 1 : 0;
}
