#pragma once
// Shell and common-dialog equivalents. Paths are byte strings in the current
// code page. UI thread only.
#include <optional>
#include <string>

class QWidget;

namespace win {

// MessageBoxA with MB_OK: a modal box with one OK button, owned by `owner`.
void MessageBox(QWidget* owner, const std::string& text, const std::string& caption);

// MessageBoxA with MB_YESNO: true when the user answers Yes.
bool AskYesNo(QWidget* owner, const std::string& text, const std::string& caption);

// The choosers are Qt's own, never the desktop's: they speak the language of
// the Qt catalogue the program installed, and follow it when it changes.
//
// The file-open dialog with a Windows filter ("desc|patterns|..."), opened in
// `startDir` ("": Qt's choice); the chosen file must exist. nullopt when
// cancelled.
std::optional<std::string> BrowseForFile(QWidget* owner, const std::string& winFilter,
                                         const std::string& startDir = std::string());
// Converts "desc|*.a;*.b|" to Qt's "desc (*.a *.b)" filter list.
std::string QtFilterFromWin(const std::string& winFilter);

// The folder dialog, opened in `startDir`; "" when cancelled.
std::string BrowseForFolder(QWidget* owner, const std::string& startDir = std::string());

// Opens a URL, a file or a folder with the desktop's default handler; false
// when none took it.
bool OpenWithDesktop(const std::string& pathOrUrl);

// Starts a program detached (it outlives us); false when it cannot start.
bool StartDetached(const std::string& program);

// PostQuitMessage: leaves every running event loop, so the modal main
// dialog's run returns and the program ends.
void PostQuitMessage(int code);

}  // namespace win
