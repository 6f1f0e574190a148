#pragma once
// The application object: finds the program folder, chooses the language,
// reads the saved skin, starts the skin engine and runs the main dialog
// modally. The dialog's modal run is the program's whole life. UI thread.
#include <QTranslator>
#include <memory>

class CSplitterApp {
 public:
  // Always false, after the main dialog has closed and been destroyed.
  bool InitInstance();
  // Shuts the skin engine down; returns the exit code.
  int ExitInstance();

 private:
  std::unique_ptr<QTranslator> m_qtTranslator;  // Qt's own texts; may be none
};
