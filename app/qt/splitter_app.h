#pragma once
// The application object: finds the program folder, chooses the language,
// reads the saved skin, starts the skin engine and runs the main dialog
// modally. The dialog's modal run is the program's whole life. UI thread.
class CSplitterApp {
 public:
  // Always false, after the main dialog has closed and been destroyed.
  bool InitInstance();
  // Shuts the skin engine down; returns the exit code.
  int ExitInstance();
};
