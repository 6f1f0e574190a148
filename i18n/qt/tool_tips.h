#pragma once
// Tool tips from the current language file: section "CToolTip", keys
// "IDD_<dialog>_<control ID>" (the keys of section "CDialog", kept apart so
// a tip never becomes a control's text). Every direct child that is a button
// gets the value as its tool tip; a button without a non-empty value, or a
// missing file, gets none, so a language without tips shows none rather
// than another language's. UI thread.
class QWidget;

inline constexpr const char* kToolTipSection = "CToolTip";

void TranslateToolTips(QWidget* dialog, int dialogNumber);
