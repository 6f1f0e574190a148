#pragma once
// The program's own sentences, each with its key in section [CString] of the
// language files and its built-in (Simplified Chinese) text. Every text the
// windows show that is not a control's or a menu item's template text comes
// from here through zantrel::Say, so a language file can give all of them.
// tests/check_language_files.py reads this table: each key must be used in
// the code and carried by every shipped language file.
#include "i18n/strings.h"

namespace msg {
using zantrel::Message;

// Captions. The main dialog's own caption is never translated.
inline constexpr Message IDS_MSG_CAPTION{"IDS_MSG_CAPTION", "Tesmor提示"};
inline constexpr Message IDS_DONE_CAPTION{"IDS_DONE_CAPTION", "Tesmor视频分割"};

// The About box.
inline constexpr Message IDS_ABOUT_CAPTION{"IDS_ABOUT_CAPTION", "关于 Zantrel"};
inline constexpr Message IDS_ABOUT_PRODUCT{"IDS_ABOUT_PRODUCT", "Tesmor视频分割 Version 1.0"};
inline constexpr Message IDS_ABOUT_BLURB{"IDS_ABOUT_BLURB", "逐帧精确地分割你的视频。"};
inline constexpr Message IDS_ABOUT_OK{"IDS_ABOUT_OK", "确定"};

// The completion dialog's line naming the source: %1 the file name.
inline constexpr Message IDS_DONE_SOURCE{"IDS_DONE_SOURCE", "%1"};

// The source chooser's filter name (the patterns are added to it).
inline constexpr Message IDS_VIDEO_FILES{"IDS_VIDEO_FILES", "网络视频文件"};

// The preview's card for a source it cannot show.
inline constexpr Message IDS_NO_PREVIEW{"IDS_NO_PREVIEW", "无法预览"};

}  // namespace msg
