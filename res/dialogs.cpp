#include "res/dialogs.h"

#include <QtGlobal>

// The pictures live in a static library, whose resource initialiser the
// linker would drop; the templates pull them in on first use. Outside any
// namespace, as the macro requires.
static void InitPictureResources() {
  static const bool done = [] {
    Q_INIT_RESOURCE(zantrel);
    return true;
  }();
  (void)done;
}

namespace res {
using namespace dlg;
using C = dlg::Cls;

namespace {
constexpr std::uint32_t kLabel = kGroup;
constexpr std::uint32_t kEditBox = kBorder | kTabStop | kAutoScroll;
constexpr std::uint32_t kButton = kPush | kTabStop;
}  // namespace

const DialogTemplate& MainDialog() {
  InitPictureResources();
  static const DialogTemplate t{
      IDD_SPLITTER_DIALOG, "网络视频分割器", 365, 277,
      {
          {1023, C::Static, "源文件:", 11, 15, 24, 8, kLabel},
          {1000, C::Edit, "", 39, 13, 275, 14, kEditBox},
          {1001, C::Button, "浏览", 319, 13, 39, 14, kButton},
          {1031, C::Static, "视频预览:", 11, 32, 31, 8, kLabel},
          {1002, C::Trackbar, "", 11, 190, 184, 23, kTicksBoth | kTabStop | kTransparent},
          {1032, C::Static, "0:00:00", 11, 183, 26, 8, kLabel},
          {1003, C::Static, "0:00:00", 165, 183, 30, 8, kLabel | kExRight},
          {1004, C::Button, "添加分割点", 46, 238, 50, 14, kButton},
          {1005, C::Button, "删除分割点", 105, 238, 50, 14, kButton},
          {1006, C::Static, "00:00", 13, 219, 27, 8, kLabel},
          {-1, C::Button, "选择分割模式", 202, 43, 156, 140, kGroupBox},
          // The three modes and the "段" label reach into the free room on
          // their right: translated texts are longer than the Chinese ones.
          {1007, C::Button, "自定义分割", 209, 103, 90, 10, kAutoRadio | kGroup},
          {1008, C::Button, "平均分割", 209, 55, 90, 10, kAutoRadio},
          {1009, C::Button, "等时间分割", 209, 77, 90, 10, kAutoRadio},
          {1026, C::Static, "平均分割成", 220, 66, 35, 8, kLabel},
          {1010, C::Edit, "", 255, 65, 31, 13, kEditBox | kNumber},
          {1011, C::UpDown, "", 285, 65, 7, 13, kBuddyInt | kArrowKeys | kAutoBuddy},
          {1027, C::Static, "段", 313, 68, 30, 8, kLabel},
          {1028, C::Static, "每", 220, 90, 8, 8, kLabel},
          {1012, C::Edit, "", 230, 88, 31, 13, kEditBox | kNumber},
          {1029, C::Static, "秒分割成一段", 264, 90, 42, 8, kLabel},
          {1030, C::Static, "添加的分割点为:", 220, 115, 51, 8, kLabel},
          {1013, C::ListBox, "", 220, 126, 127, 52,
           kNotify | kSort | kNoIntegralHeight | kVScroll | kBorder | kTabStop},
          {1024, C::Static, "选择输出路径 :", 202, 189, 48, 9, kLabel},
          {1014, C::Edit, "", 202, 203, 114, 14, kEditBox},
          {1015, C::Button, "浏览", 319, 203, 39, 14, kButton},
          {1016, C::Button, "开始", 202, 237, 50, 14, kButton},
          {1017, C::Button, "停止", 308, 237, 50, 14, kButton},
          {1018, C::Button, "暂停", 255, 237, 50, 14, kButton},
          {1025, C::Static, "分割状态:", 9, 248, 31, 8, kLabel},
          {1019, C::Progress, "", 46, 258, 312, 14, kBorder},
          {1021, C::Button, " 输出到源文件所在的文件夹", 202, 222, 101, 10, kAutoCheck | kTabStop},
          {1022, C::Static, "准备就绪", 9, 261, 36, 8, kLabel},
      }};
  return t;
}

const DialogTemplate& AboutDialog() {
  InitPictureResources();
  static const DialogTemplate t{
      IDD_ABOUTBOX, "关于 Zantrel", 177, 66,
      {
          {-1, C::Static, kIconPath, 11, 14, 21, 20, kIcon},
          // Wider than the original's 85 units: the CJK font needs the room.
          {-1, C::Static, "Tesmor视频分割 Version 1.0", 46, 10, 125, 8, kLabel},
          {-1, C::Static, "逐帧精确地分割你的视频。", 40, 25, 119, 8, kLabel},
          {1, C::Button, "确定", 63, 40, 50, 16, kDefPush | kTabStop | kGroup},
      }};
  return t;
}

const DialogTemplate& SplitDoneDialog() {
  InitPictureResources();
  static const DialogTemplate t{
      IDD_SPLIT_DONE, "Tesmor视频分割", 167, 117,
      {
          {1033, C::Button, "继续分割视频", 91, 90, 66, 14, kButton},
          {1001, C::Button, "查看分割视频", 7, 90, 66, 14, kButton},
          {-1, C::Static, kBitmap140Path, 12, 18, 33, 31, kBitmap},
          {1035, C::Static, "静态", 54, 22, 103, 8, kLabel},
          {-1, C::Static, "分割完成!", 54, 37, 36, 8, kLabel},
          // What the job wrote and where, filled in at run time.
          {1036, C::Static, "", 7, 54, 153, 30, kLabel},
      }};
  return t;
}

}  // namespace res
