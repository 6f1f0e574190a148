#pragma once
// Translating a dialog from the current language file: every direct child,
// in child order (windows created at run time included), whose key
// "IDD_<dialog>_<control ID>" has a non-empty value in section "CDialog" gets
// that value as its text. Children sharing an ID share the text.
//
// What the user typed is never replaced: edit boxes are skipped, and so are
// the children whose IDs are in `keep` (labels that show live values). A
// child without a visible text (picture, slider, list, bar, run-time
// windows) keeps the text but shows none. UI thread.
#include <vector>

class QWidget;
void TranslateDialog(QWidget* dialog, int dialogNumber, const std::vector<int>& keep = {});
