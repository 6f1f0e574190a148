#include <clocale>
#include <string>
#include <vector>

#include <QApplication>

#include "app/qt/quit_on_signal.h"
#include "app/qt/splitter_app.h"

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  // Lets the desktop match our windows to the installed entry and its icon.
  QGuiApplication::setDesktopFileName(QStringLiteral("org.zantrel.Zantrel"));
  // libmpv needs C number formatting; Qt has just set the locale from the
  // environment.
  std::setlocale(LC_NUMERIC, "C");
  QuitOnSignal quitOnSignal;

  // Qt has removed its own options from argv; the rest are ours, as bytes.
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  CSplitterApp app(std::move(args));
  app.InitInstance();
  return app.ExitInstance();
}
