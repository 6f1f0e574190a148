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

// Start refused, and what the plan, the folder and the replace checks say.
// The folder reasons (IDS_WHY_*) go into IDS_FOLDER_NOT_WRITABLE's %1 and
// IDS_PATH_REASON's %2.
inline constexpr Message IDS_NO_SOURCE{"IDS_NO_SOURCE", "请选择要分割的文件！"};
inline constexpr Message IDS_NO_OUTPUT{"IDS_NO_OUTPUT", "请选择文件的保存位置！"};
inline constexpr Message IDS_READ_FAILED{"IDS_READ_FAILED", "文件读取失败，请重新添加文件!"};
inline constexpr Message IDS_NO_DURATION{"IDS_NO_DURATION", "无法得知源文件的时长，请通过“浏览”重新添加文件，等时长显示后再开始分割！"};
inline constexpr Message IDS_TOO_MANY_PARTS{"IDS_TOO_MANY_PARTS", "分割段数（%1）超过了视频的秒数（%2），每段至少要有一秒，请减少段数！"};
inline constexpr Message IDS_SECONDS_ZERO{"IDS_SECONDS_ZERO", "每段秒数必须大于0，请重新输入！"};
inline constexpr Message IDS_UNKNOWN_MODE{"IDS_UNKNOWN_MODE", "未知的分割方式！"};
inline constexpr Message IDS_FOLDER_NOT_CREATED{"IDS_FOLDER_NOT_CREATED", "无法创建输出文件夹：\n%1\n请选择其他保存位置！"};
inline constexpr Message IDS_FOLDER_NOT_WRITABLE{"IDS_FOLDER_NOT_WRITABLE", "无法写入输出文件夹（%1）：\n%2\n请选择其他保存位置！"};
inline constexpr Message IDS_WHY_NO_PERMISSION{"IDS_WHY_NO_PERMISSION", "没有写入权限"};
inline constexpr Message IDS_WHY_READ_ONLY{"IDS_WHY_READ_ONLY", "磁盘是只读的"};
inline constexpr Message IDS_WHY_NO_SPACE{"IDS_WHY_NO_SPACE", "磁盘空间不足"};
inline constexpr Message IDS_WHY_NO_FOLDER{"IDS_WHY_NO_FOLDER", "文件夹不存在"};
inline constexpr Message IDS_WHY_IS_FOLDER{"IDS_WHY_IS_FOLDER", "这是一个文件夹"};

// The replace question: %1 the names, one per line, each after a line
// break, then IDS_REPLACE_MORE when some are left out.
inline constexpr Message IDS_REPLACE_QUESTION{"IDS_REPLACE_QUESTION", "输出文件夹中已有同名的文件：%1\n\n是否替换这些文件？"};
inline constexpr Message IDS_REPLACE_MORE{"IDS_REPLACE_MORE", "\n……（共 %1 个）"};
inline constexpr Message IDS_CANNOT_REPLACE{"IDS_CANNOT_REPLACE", "无法替换已有的文件：\n%1"};
inline constexpr Message IDS_PATH_REASON{"IDS_PATH_REASON", "%1：%2"};
inline constexpr Message IDS_STOP_QUESTION{"IDS_STOP_QUESTION", "正在分割视频。确定要停止分割并退出吗？\n已完成的片段会保留。"};
inline constexpr Message IDS_HOME_FAILED{"IDS_HOME_FAILED", "无法打开主页：没有可用的浏览器。\n主页文件位于：\n%1"};

// The status line (1022) and the bar's counts after a job.
inline constexpr Message IDS_STATUS_PROGRESS{"IDS_STATUS_PROGRESS", "完成 %1%"};
inline constexpr Message IDS_STATUS_PAUSED{"IDS_STATUS_PAUSED", "暂停分割"};
inline constexpr Message IDS_STATUS_STOPPING{"IDS_STATUS_STOPPING", "正在停止"};
inline constexpr Message IDS_STATUS_STOPPED{"IDS_STATUS_STOPPED", "已停止"};
inline constexpr Message IDS_STATUS_FAILED{"IDS_STATUS_FAILED", "分割失败"};
inline constexpr Message IDS_STATUS_DONE{"IDS_STATUS_DONE", "分割完成"};
inline constexpr Message IDS_STATUS_WRITTEN{"IDS_STATUS_WRITTEN", "已写入 %1/%2 段"};
inline constexpr Message IDS_STATUS_EMPTY{"IDS_STATUS_EMPTY", "，%1 段为空"};

// The failure report: the summary (%1 pieces, %2 failed, %3 written), then
// IDS_PIECE_FAILED per piece with one of the reasons IDS_FAIL_*.
inline constexpr Message IDS_FAILURE_SUMMARY{"IDS_FAILURE_SUMMARY", "共 %1 段，其中 %2 段分割失败；已写入的 %3 段已保留。"};
inline constexpr Message IDS_PIECE_FAILED{"IDS_PIECE_FAILED", "第%1段：%2"};
inline constexpr Message IDS_FAIL_TOOL_MISSING{"IDS_FAIL_TOOL_MISSING", "找不到分割工具 ZantrelCore，或无法启动它"};
inline constexpr Message IDS_FAIL_EXISTS{"IDS_FAIL_EXISTS", "同名文件已存在"};
inline constexpr Message IDS_FAIL_NO_SPACE{"IDS_FAIL_NO_SPACE", "磁盘空间不足"};
inline constexpr Message IDS_FAIL_NO_PERMISSION{"IDS_FAIL_NO_PERMISSION", "没有写入输出文件夹的权限"};
inline constexpr Message IDS_FAIL_UNREADABLE{"IDS_FAIL_UNREADABLE", "无法读取源文件"};
inline constexpr Message IDS_FAIL_SOURCE_GONE{"IDS_FAIL_SOURCE_GONE", "源文件已不存在（被移走或删除）"};
inline constexpr Message IDS_FAIL_SOURCE_CHANGED{"IDS_FAIL_SOURCE_CHANGED", "源文件在分割过程中被改动"};
inline constexpr Message IDS_FAIL_FOLDER_GONE{"IDS_FAIL_FOLDER_GONE", "输出文件夹已不存在"};
inline constexpr Message IDS_FAIL_KILLED{"IDS_FAIL_KILLED", "分割工具意外终止（信号 %1）"};
inline constexpr Message IDS_FAIL_EXIT_CODE{"IDS_FAIL_EXIT_CODE", "分割工具出错（退出码 %1）"};
inline constexpr Message IDS_FAIL_NO_OUTPUT{"IDS_FAIL_NO_OUTPUT", "没有生成输出文件"};
inline constexpr Message IDS_FAIL_OTHER{"IDS_FAIL_OTHER", "分割出错（%1）"};

// The slider's accessible name: %1 the preview's.
inline constexpr Message IDS_SLIDER_NAME{"IDS_SLIDER_NAME", "%1 播放位置"};

}  // namespace msg
