#include "ui/words.h"

#include <cerrno>
#include <cstring>

#include "platform/codepage.h"
#include "platform/path.h"

namespace words {

namespace {
// The output names listed in the replace question; the rest are counted.
constexpr std::size_t kNamesShown = 5;

std::string BaseName(const std::string& path) {
  const std::size_t sep = zantrel::MbsRChr(path, zantrel::kPathSep);
  return sep == std::string::npos ? path : path.substr(sep + 1);
}

std::string Shown(const std::string& folder) { return folder.empty() ? std::string(".") : folder; }
}  // namespace

std::string MessageCaption() { return "Tesmor提示"; }
std::string SourceFilter() { return "网络视频文件(*.flv;*.mp4;*.3gp;*.avi)|*.flv;*.mp4;*.3gp;*.avi|"; }

std::string StartRefusal(const zantrel::StartCheck& c) {
  using zantrel::StartProblem;
  switch (c.problem) {
    case StartProblem::kNone:
    case StartProblem::kJobRunning:
      return std::string();
    case StartProblem::kNoSource:
      return "请选择要分割的文件！";
    case StartProblem::kDurationUnknown:
      return "无法得知源文件的时长，请通过“浏览”重新添加文件，等时长显示后再开始分割！";
    case StartProblem::kPlanInvalid:
      return PlanError(c.plan);
    case StartProblem::kNoOutputFolder:
      return "请选择文件的保存位置！";
    case StartProblem::kFolderNotCreated:
      return "无法创建输出文件夹：\n" + Shown(c.folder) + "\n请选择其他保存位置！";
    case StartProblem::kFolderNotWritable:
      return "无法写入输出文件夹（" + ErrnoWords(c.errnoValue) + "）：\n" + Shown(c.folder) + "\n请选择其他保存位置！";
  }
  return std::string();
}

std::string PlanError(const zantrel::SplitPlan& plan) {
  switch (plan.error) {
    case zantrel::PlanError::kNone:
      return std::string();
    case zantrel::PlanError::kTooManyParts:
      return "分割段数（" + std::to_string(plan.parts) + "）超过了视频的秒数（" + std::to_string(plan.seconds) +
             "），每段至少要有一秒，请减少段数！";
    case zantrel::PlanError::kNoSecondsPerPart:
      return "每段秒数必须大于0，请重新输入！";
    case zantrel::PlanError::kUnknownMode:
      return "未知的分割方式！";
  }
  return std::string();
}

std::string ErrnoWords(int err) {
  switch (err) {
    case EACCES:
    case EPERM:
      return "没有写入权限";
    case EROFS:
      return "磁盘是只读的";
    case ENOSPC:
    case EDQUOT:
      return "磁盘空间不足";
    case ENOENT:
    case ENOTDIR:
      return "文件夹不存在";
    default:
      return std::strerror(err);
  }
}

std::string ReplaceQuestion(const std::vector<std::string>& existing) {
  std::string names;
  for (std::size_t i = 0; i < existing.size() && i < kNamesShown; ++i) names += "\n" + BaseName(existing[i]);
  if (existing.size() > kNamesShown) names += "\n……（共 " + std::to_string(existing.size()) + " 个）";
  return "输出文件夹中已有同名的文件：" + names + "\n\n是否替换这些文件？";
}

std::string ReplaceFailed(const std::string& path, int err) {
  return "无法替换已有的文件：\n" + path + "：" + (err == EISDIR ? std::string("这是一个文件夹") : ErrnoWords(err));
}

std::string CloseDuringJobQuestion() { return "正在分割视频。确定要停止分割并退出吗？\n已完成的片段会保留。"; }
std::string SourceUnreadable() { return "文件读取失败，请重新添加文件!"; }
std::string NoBrowser(const std::string& page) { return "无法打开主页：没有可用的浏览器。\n主页文件位于：\n" + page; }

std::string Progress(int percent) { return "完成 " + std::to_string(percent) + "%"; }
std::string Paused() { return "暂停分割"; }
std::string Stopping() { return "正在停止"; }
std::string Stopped() { return "已停止"; }
std::string Failed() { return "分割失败"; }
std::string Done() { return "分割完成"; }

std::string JobCounts(const zantrel::JobSummary& s) {
  return "已写入 " + std::to_string(s.written) + "/" + std::to_string(s.pieces) + " 段" +
         (s.empty > 0 ? "，" + std::to_string(s.empty) + " 段为空" : std::string());
}

std::string FailureSummary(const zantrel::JobSummary& s) {
  return "共 " + std::to_string(s.pieces) + " 段，其中 " + std::to_string(s.failed) + " 段分割失败；已写入的 " +
         std::to_string(s.written) + " 段已保留。";
}

std::string PieceFailure(const zantrel::PieceFailure& f) {
  using zantrel::FailureReason;
  const std::string head = "第" + std::to_string(f.segment) + "段：";
  switch (f.reason) {
    case FailureReason::kNone:
      return std::string();
    case FailureReason::kToolMissing:
      return head + "找不到分割工具 ZantrelCore，或无法启动它";
    case FailureReason::kAlreadyExists:
      return head + "同名文件已存在";
    case FailureReason::kDiskFull:
      return head + "磁盘空间不足";
    case FailureReason::kPermissionDenied:
      return head + "没有写入输出文件夹的权限";
    case FailureReason::kUnreadableSource:
      return head + "无法读取源文件";
    case FailureReason::kSourceMissing:
      return head + "源文件已不存在（被移走或删除）";
    case FailureReason::kSourceChanged:
      return head + "源文件在分割过程中被改动";
    case FailureReason::kFolderMissing:
      return head + "输出文件夹已不存在";
    case FailureReason::kToolKilled:
      return head + "分割工具意外终止（信号 " + std::to_string(f.signal) + "）";
    case FailureReason::kOther:
      break;
  }
  // The tool's own sentence, when it gave one, is the best we have; it is
  // shown, never read.
  std::string detail = f.toolLine;
  const std::string prefix = "ZantrelCore: ";
  if (detail.rfind(prefix, 0) == 0) detail.erase(0, prefix.size());
  if (detail.empty()) {
    if (f.exitCode > 0) return head + "分割工具出错（退出码 " + std::to_string(f.exitCode) + "）";
    return head + "没有生成输出文件";
  }
  return head + "分割出错（" + detail + "）";
}

std::string PlayingPosition() { return " 播放位置"; }

}  // namespace words
