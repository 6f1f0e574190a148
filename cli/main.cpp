// zantrel-split: cuts many files from the command line with the window's
// plan, job and cutting tool. See HelpText() in cli/options.cpp.
#include <fcntl.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/batch.h"
#include "cli/options.h"
#include "cli/report.h"
#include "platform/fs.h"
#include "platform/module.h"

namespace {

// The write end of the pipe the batch loop watches; set once before the
// handlers are installed.
int g_signalPipe = -1;

void OnStopSignal(int sig) {
  const int saved = errno;
  const unsigned char byte = static_cast<unsigned char>(sig);
  [[maybe_unused]] ssize_t n = ::write(g_signalPipe, &byte, 1);
  errno = saved;
}

int TerminalColumns() {
  winsize ws{};
  if (::ioctl(STDERR_FILENO, TIOCGWINSZ, &ws) == 0 && ws.ws_col > 0) return ws.ws_col;
  return 80;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace zantrel::cli;
  std::vector<std::string> args(argv + 1, argv + argc);
  Options options;
  std::string error;
  if (!ParseOptions(args, &options, &error)) {
    std::fprintf(stderr, "zantrel-split: %s\n%s\n", error.c_str(), UsageLine());
    return kExitUsage;
  }
  if (options.help) {
    std::printf("%s\n\n%s", UsageLine(), HelpText());
    return kExitOk;
  }

  int fds[2];
  if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0) {
    std::perror("zantrel-split: pipe");
    return kExitFailed;
  }
  zantrel::UniqueFd signalRead(fds[0]), signalWrite(fds[1]);
  g_signalPipe = signalWrite.get();
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  for (int sig : {SIGINT, SIGTERM, SIGHUP}) {
    // A signal the caller ignored (nohup, a background job) stays ignored.
    struct sigaction old {};
    if (sigaction(sig, nullptr, &old) == 0 && old.sa_handler == SIG_IGN) continue;
    sigaction(sig, &sa, nullptr);
  }
  // A closed reader of the results must not kill the loop that ends the
  // running pieces cleanly.
  signal(SIGPIPE, SIG_IGN);

  const bool terminal = ::isatty(STDERR_FILENO) == 1;
  Reporter reporter(options, stdout, stderr, terminal, terminal ? TerminalColumns() : 80);
  return RunBatch(options, zantrel::GetModuleDir(), reporter, signalRead.get());
}
