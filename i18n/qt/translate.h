#pragma once
// Translating a dialog from the current language file: every direct child,
// in child order, whose key "IDD_<dialog>_<control ID>" has a non-empty value
// in section "CDialog" gets that value as its text. UI thread.
class QWidget;
void TranslateDialog(QWidget* dialog, int dialogNumber);
