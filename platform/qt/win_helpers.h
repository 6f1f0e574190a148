#pragma once
// Small helpers with the semantics of the Win32 calls the dialogs use, over
// the child that carries a control ID. Texts are byte strings in the current
// code page; they become QStrings only here. UI thread only.
#include <string>

class QRect;
class QWidget;

namespace win {

// First child of `parent` (direct children, in child order) with this ID.
QWidget* GetDlgItem(QWidget* parent, int id);

std::string GetWindowText(const QWidget* w);
void SetWindowText(QWidget* w, const std::string& text);
std::string GetDlgItemText(QWidget* parent, int id);
void SetDlgItemText(QWidget* parent, int id, const std::string& text);
// GetDlgItemInt, signed: leading blanks, optional sign, digits up to the
// first other character; 0 when there are none or the number does not fit
// an int (Windows then reports a failed translation).
int GetDlgItemInt(QWidget* parent, int id);
// atoi: the same reading, but a number beyond the int range saturates at
// INT_MIN / INT_MAX instead of being undefined.
int AtoiText(const std::string& text);
void EnableWindow(QWidget* w, bool enable);
bool IsWindowEnabled(const QWidget* w);
void CheckDlgButton(QWidget* parent, int id, bool checked);
bool IsDlgButtonChecked(QWidget* parent, int id);
// MoveWindow with repaint.
void MoveWindow(QWidget* w, int x, int y, int cx, int cy);
// InvalidateRect with erasing: the area is repainted, background first, at
// the next paint. `r` is in the window's client pixels.
void InvalidateRect(QWidget* w, const QRect& r);

// List box lines by index.
int ListBoxCount(QWidget* lb);
std::string ListBoxText(QWidget* lb, int index);
void ListBoxAppend(QWidget* lb, const std::string& text);
void ListBoxDelete(QWidget* lb, int index);

// Progress bar position (range 0..100).
void ProgressSetPos(QWidget* bar, int pos);
int ProgressGetPos(QWidget* bar);

}  // namespace win
