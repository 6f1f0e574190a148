#include <clocale>

#include <QApplication>

#include "app/qt/quit_on_signal.h"
#include "app/qt/splitter_app.h"

int main(int argc, char** argv) {
  QApplication qapp(argc, argv);
  // libmpv needs C number formatting; Qt has just set the locale from the
  // environment.
  std::setlocale(LC_NUMERIC, "C");
  QuitOnSignal quitOnSignal;

  CSplitterApp app;
  app.InitInstance();
  return app.ExitInstance();
}
