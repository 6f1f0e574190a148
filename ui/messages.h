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

// The source chooser's filter names (the patterns are added to them).
inline constexpr Message IDS_VIDEO_FILES{"IDS_VIDEO_FILES", "网络视频文件"};
inline constexpr Message IDS_ALL_VIDEOS{"IDS_ALL_VIDEOS", "所有支持的视频"};
inline constexpr Message IDS_ALL_FILES{"IDS_ALL_FILES", "所有文件"};
// A recent file that is gone: %1 the path.
inline constexpr Message IDS_RECENT_MISSING{"IDS_RECENT_MISSING", "文件不存在，已从最近打开的文件中移除：\n%1"};

// A source that cannot be cut: %1 why (IDS_SRC_*), %2 the path.
inline constexpr Message IDS_SOURCE_PROBLEM{"IDS_SOURCE_PROBLEM", "文件读取失败（%1）：\n%2\n请重新添加文件!"};
inline constexpr Message IDS_SRC_MISSING{"IDS_SRC_MISSING", "文件不存在"};
inline constexpr Message IDS_SRC_UNREADABLE{"IDS_SRC_UNREADABLE", "无法读取文件"};
inline constexpr Message IDS_SRC_NOT_VIDEO{"IDS_SRC_NOT_VIDEO", "不是视频文件"};
inline constexpr Message IDS_SRC_NO_STREAMS{"IDS_SRC_NO_STREAMS", "文件中没有画面和声音"};
inline constexpr Message IDS_SRC_NO_DURATION{"IDS_SRC_NO_DURATION", "无法得知视频的时长"};

// The preview's card for a source it cannot show.
inline constexpr Message IDS_NO_PREVIEW{"IDS_NO_PREVIEW", "无法预览"};

// Start refused, and what the plan, the folder and the replace checks say.
// The folder reasons (IDS_WHY_*) go into IDS_FOLDER_NOT_WRITABLE's %1 and
// IDS_PATH_REASON's %2.
inline constexpr Message IDS_NO_SOURCE{"IDS_NO_SOURCE", "请选择要分割的文件！"};
inline constexpr Message IDS_NO_OUTPUT{"IDS_NO_OUTPUT", "请选择文件的保存位置！"};
inline constexpr Message IDS_NO_DURATION{"IDS_NO_DURATION", "无法得知源文件的时长，请通过“浏览”重新添加文件，等时长显示后再开始分割！"};
inline constexpr Message IDS_TOO_MANY_PARTS{"IDS_TOO_MANY_PARTS", "分割段数（%1）超过了视频的秒数（%2），每段至少要有一秒，请减少段数！"};
inline constexpr Message IDS_SECONDS_ZERO{"IDS_SECONDS_ZERO", "每段秒数必须大于0，请重新输入！"};
inline constexpr Message IDS_UNKNOWN_MODE{"IDS_UNKNOWN_MODE", "未知的分割方式！"};
inline constexpr Message IDS_FOLDER_UNUSABLE{"IDS_FOLDER_UNUSABLE", "无法使用输出文件夹（%1）：\n%2\n请选择其他保存位置！"};
inline constexpr Message IDS_FOLDER_CANNOT_CREATE{"IDS_FOLDER_CANNOT_CREATE", "无法创建输出文件夹（%1）：\n%2\n请选择其他保存位置！"};
inline constexpr Message IDS_FOLDER_NOT_WRITABLE{"IDS_FOLDER_NOT_WRITABLE", "无法写入输出文件夹（%1）：\n%2\n请选择其他保存位置！"};
inline constexpr Message IDS_WHY_NO_PERMISSION{"IDS_WHY_NO_PERMISSION", "没有写入权限"};
inline constexpr Message IDS_WHY_READ_ONLY{"IDS_WHY_READ_ONLY", "磁盘是只读的"};
inline constexpr Message IDS_WHY_NO_SPACE{"IDS_WHY_NO_SPACE", "磁盘空间不足"};
inline constexpr Message IDS_WHY_NO_RIGHTS{"IDS_WHY_NO_RIGHTS", "没有权限"};
inline constexpr Message IDS_WHY_NOT_FOLDER{"IDS_WHY_NOT_FOLDER", "不是文件夹"};
inline constexpr Message IDS_WHY_PARENT_TAKES_NO_FILES{"IDS_WHY_PARENT_TAKES_NO_FILES", "上级文件夹不能存放文件"};
inline constexpr Message IDS_WHY_TAKES_NO_FILES{"IDS_WHY_TAKES_NO_FILES", "此文件夹不能存放文件"};
inline constexpr Message IDS_WHY_PATH_TOO_LONG{"IDS_WHY_PATH_TOO_LONG", "路径太长"};
inline constexpr Message IDS_WHY_NO_FOLDER{"IDS_WHY_NO_FOLDER", "文件夹不存在"};

// The replace question: %1 the names, one per line, each after a line
// break, then IDS_REPLACE_MORE when some are left out.
inline constexpr Message IDS_REPLACE_QUESTION{"IDS_REPLACE_QUESTION", "输出文件夹中已有同名的文件：%1\n\n是否替换这些文件？"};
inline constexpr Message IDS_REPLACE_MORE{"IDS_REPLACE_MORE", "\n……（共 %1 个）"};
inline constexpr Message IDS_PATH_REASON{"IDS_PATH_REASON", "%1：%2"};
inline constexpr Message IDS_STOP_QUESTION{"IDS_STOP_QUESTION", "正在分割视频。确定要停止分割并退出吗？\n已完成的片段会保留。"};
inline constexpr Message IDS_NO_FILE_MANAGER{"IDS_NO_FILE_MANAGER", "无法打开输出文件夹：没有可用的文件管理器。\n分割好的视频位于：\n%1"};
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
inline constexpr Message IDS_FAILURE_OLD_KEPT{"IDS_FAILURE_OLD_KEPT", "有 %1 段仍是之前的文件，没有被替换。"};
inline constexpr Message IDS_PIECE_OLD_KEPT{"IDS_PIECE_OLD_KEPT", "；之前的文件仍保留，未被替换"};
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

// The completion dialog's account: %1 pieces written, %2 the folder; then
// IDS_DONE_EMPTY with the empty pieces named (IDS_SEGMENT_NAME, joined by
// IDS_LIST_SEPARATOR).
inline constexpr Message IDS_DONE_RESULT{"IDS_DONE_RESULT", "已写入 %1 段，保存在：\n%2"};
inline constexpr Message IDS_DONE_EMPTY{"IDS_DONE_EMPTY", "%1长度为 0，没有生成文件"};
inline constexpr Message IDS_SEGMENT_NAME{"IDS_SEGMENT_NAME", "第%1段"};
inline constexpr Message IDS_LIST_SEPARATOR{"IDS_LIST_SEPARATOR", "、"};

// The slider's accessible name: %1 the preview's.
inline constexpr Message IDS_SLIDER_NAME{"IDS_SLIDER_NAME", "%1 播放位置"};

}  // namespace msg
