#pragma once
// The program's dialog templates, strings and picture resources.
#include "platform/qt/dialog_template.h"

namespace res {

inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDD_SPLITTER_DIALOG = 102;
inline constexpr int IDD_SPLIT_DONE = 142;
inline constexpr int IDR_MAINFRAME = 128;   // icon
inline constexpr int IDB_SPLIT_DONE = 140;  // bitmap
inline constexpr const char* kIconPath = ":/icon128.png";
inline constexpr const char* kBitmap140Path = ":/bitmap140.png";
inline constexpr const char* IDS_ABOUTBOX = "关于 Zantrel(&A)...";  // string 101

const dlg::DialogTemplate& MainDialog();      // 102
const dlg::DialogTemplate& AboutDialog();     // 100
const dlg::DialogTemplate& SplitDoneDialog(); // 142

}  // namespace res
