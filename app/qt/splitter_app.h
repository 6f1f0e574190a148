#pragma once
// The application object: finds the program folder and the settings
// folder, chooses the language, reads the saved skin, starts the skin engine
// and runs the main dialog modally. The dialog's modal run is the program's
// whole life. UI thread.
#include <string>
#include <vector>
#include "app/qt/qt_translations.h"

class CSplitterApp {
 public:
  // `args`: the command line without the program name, after Qt has taken
  // its own options. A file named there is chosen as the source once the
  // dialog runs; no file, no change.
  explicit CSplitterApp(std::vector<std::string> args = {}) : m_args(std::move(args)) {}

  // Always false, after the main dialog has closed and been destroyed.
  bool InitInstance();
  // Shuts the skin engine down; returns the exit code.
  int ExitInstance();

 private:
  QtTranslations m_qtTranslations;  // Qt's own texts, following the language
  std::vector<std::string> m_args;
};
