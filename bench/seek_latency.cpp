// Seek latency of the preview player: how long from a setToPar request (a
// slider move) to the target frame painted in the widget.
//
//   seek_latency <clip> [seeks] [seed]
//
// The clip must carry its frame number in its top third as 16 bars (bit 0
// on the left; white over black = 1, black over white = 0), as made by
// bench/seek-latency.sh. Prints the median, p90 and extremes in ms.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
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

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  if (qEnvironmentVariableIsEmpty("ZANTREL_AO")) qputenv("ZANTREL_AO", "null");
  QApplication app(argc, argv);
  if (argc < 2) {
    std::fprintf(stderr, "usage: seek_latency <clip> [seeks] [seed]\n");
    return 2;
  }
  const std::string clip = argv[1];
  const int seeks = argc > 2 ? std::atoi(argv[2]) : 30;
  const unsigned seed = argc > 3 ? unsigned(std::atoi(argv[3])) : 1;

  // As the dialog has it: a 320x240 player, loaded, paused, then slider moves.
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

  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> pick(1, 99);
  std::vector<double> ms;
  int misses = 0, previous = -1;
  for (int i = 0; i < seeks; ++i) {
    int p;
    do p = pick(rng);
    while (p == previous);
    previous = p;
    const int before = int(total * p / 100.0 * kFps + 1e-6);
    player.CallFunction(CFlashPlayer::SetToParRequest(std::to_string(p)));
    const double t =
        WaitPainted(player, [&](int f) { return f == before || f == before + 1; }, 5000);
    if (t < 0) {
      ++misses;
      std::fprintf(stderr, "  seek to %d%% (frame %d): not shown within 5 s (showing %d)\n", p,
                   before, DecodeFrame(player.CurrentFrame()));
      continue;
    }
    ms.push_back(t);
    // A pause between moves, as a hand on the slider gives.
    QEventLoop idle;
    QTimer::singleShot(100, &idle, &QEventLoop::quit);
    idle.exec();
  }
  if (ms.empty()) return 1;
  std::printf("%s: %zu seeks, median %.1f ms, p90 %.1f ms, min %.1f ms, max %.1f ms, misses %d\n",
              clip.c_str(), ms.size(), Percentile(ms, 0.5), Percentile(ms, 0.9),
              *std::min_element(ms.begin(), ms.end()), *std::max_element(ms.begin(), ms.end()),
              misses);
  return misses ? 1 : 0;
}
