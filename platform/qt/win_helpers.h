#pragma once
// Small helpers with the semantics of the Win32 calls the dialogs use, over
// the child that carries a control ID. Texts are byte strings in the current
// code page; they become QStrings only here. UI thread only.
#include <string>

class QWidget;

namespace win {

// First child of `parent` (direct children, in child order) with this ID.
QWidget* GetDlgItem(QWidget* parent, int id);

std::string GetWindowText(const QWidget* w);
void SetWindowText(QWidget* w, const std::string& text);
std::string GetDlgItemText(QWidget* parent, int id);
void SetDlgItemText(QWidget* parent, int id, const std::string& text);
// GetDlgItemInt, signed: leading blanks, optional sign, digits; 0 when none.
int GetDlgItemInt(QWidget* parent, int id);
int AtoiText(const std::string& text);
void EnableWindow(QWidget* w, bool enable);
bool IsWindowEnabled(const QWidget* w);
void CheckDlgButton(QWidget* parent, int id, bool checked);
bool IsDlgButtonChecked(QWidget* parent, int id);
// MoveWindow with repaint.
void MoveWindow(QWidget* w, int x, int y, int cx, int cy);

// List box lines by index.
int ListBoxCount(QWidget* lb);
std::string ListBoxText(QWidget* lb, int index);
void ListBoxAppend(QWidget* lb, const std::string& text);
void ListBoxDelete(QWidget* lb, int index);

// Progress bar position (range 0..100).
void ProgressSetPos(QWidget* bar, int pos);
int ProgressGetPos(QWidget* bar);

}  // namespace win
