// The program's signal handling: what it was started with is respected and
// put back, and the handler leaves errno as it found it. The test main
// provides the application object.
#include <errno.h>
#include <signal.h>

#include <gtest/gtest.h>

#include "app/qt/quit_on_signal.h"

namespace {

void Custom(int) {}

using Handler = void (*)(int);

Handler HandlerOf(int sig) {
  struct sigaction sa {};
  sigaction(sig, nullptr, &sa);
  return sa.sa_handler;
}

// Sets the three dispositions for one test and puts the defaults back.
class SignalScope {
 public:
  SignalScope(Handler term, Handler intr, Handler hup) {
    signal(SIGTERM, term);
    signal(SIGINT, intr);
    signal(SIGHUP, hup);
  }
  ~SignalScope() {
    signal(SIGTERM, SIG_DFL);
    signal(SIGINT, SIG_DFL);
    signal(SIGHUP, SIG_DFL);
  }
};

}  // namespace

TEST(AppQuitOnSignal, IgnoredSignalStaysIgnoredAndPreviousHandlersComeBack) {
  SignalScope scope(Custom, SIG_DFL, SIG_IGN);
  {
    QuitOnSignal quit;
    EXPECT_NE(HandlerOf(SIGTERM), Custom);
    EXPECT_NE(HandlerOf(SIGINT), SIG_DFL);
    EXPECT_EQ(HandlerOf(SIGHUP), SIG_IGN);  // as nohup left it
    raise(SIGHUP);                          // and so it changes nothing
  }
  EXPECT_EQ(HandlerOf(SIGTERM), Custom);
  EXPECT_EQ(HandlerOf(SIGINT), SIG_DFL);
  EXPECT_EQ(HandlerOf(SIGHUP), SIG_IGN);
}

TEST(AppQuitOnSignal, HandlerKeepsErrnoEvenWhenItsPipeIsFull) {
  SignalScope scope(SIG_DFL, SIG_DFL, SIG_DFL);
  QuitOnSignal quit;
  // Nothing reads the pipe here (no event loop runs), so it fills up and
  // the handler's own write starts failing with EAGAIN.
  int changed = 0;
  for (int i = 0; i < 20000; ++i) {
    errno = EDOM;
    raise(SIGINT);
    if (errno != EDOM) ++changed;
  }
  EXPECT_EQ(changed, 0);
}
